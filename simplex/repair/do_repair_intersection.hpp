#pragma once

#include <optional>
#include <vector>

#include <absl/container/flat_hash_set.h>

#include <openorvane/basic/uuid.hpp>
#include <openorvane/mesh/mesh_records.hpp>

#include <simplex/repair/repair_geometry.hpp>

namespace orvane
{
    struct BRepSplitEdgeInfo;

    namespace internal
    {
        class RepairBRepSurfaces;

        /// Repairs one defect found between two output surfaces d (first)
        /// and m (second): an edge of d crossing a triangle of m, or a model
        /// edge held by both and lying inside one of them. Edits go through
        /// the output model's geometric modifier only, splitting model edges
        /// at points taken from the input model (input surfaces for inner
        /// edges, input lines for border edges) and swapping edges. Each
        /// operation returns the output surfaces changed so far.
        ///
        /// Lives for one defect; every failure is an exception and the edits
        /// made before it stay in the model.
        class DoRepairIntersection
        {
        public:
            /// first.edges = [edge]; second.edges = the edges of m involved
            /// (the three edges of the crossed triangle, or the other surface's
            /// copy of the shared edge).
            DoRepairIntersection( RepairBRepSurfaces& repairer,
                const Surface< 3 >& surface_d,
                const PolygonEdge& edge,
                const Surface< 3 >& surface_m,
                std::vector< PolygonEdge > edges_m );

            /// Splits the edges involved in the crossing, longest first,
            /// until no listed edge of d crosses a listed triangle of m, or
            /// until a triangle facing against its input surface has been
            /// repaired. Throws OpenOrvaneException "[DoRepairIntersection::
            /// apply] Unable to find an operation" when no listed edge can be
            /// split, and "... Too many repair operations occurs" when the
            /// 99th iteration still leaves a crossing.
            absl::flat_hash_set< uuid > apply();

            /// Moves the shared edge off the other surface, side by side: a
            /// split towards the input surface, or a swap when the candidate
            /// point falls on an apex. A side whose edge is on its border, or
            /// whose split is not valid, is left unchanged.
            absl::flat_hash_set< uuid > repair_shared_edges();

            /// Repairs the listed triangles of the side that face against
            /// their input surface; true when this operation has changed any
            /// surface so far.
            bool process_inverted_edges( RepairSide& side );

            /// Splits an edge of the first side; false when no acceptable
            /// point was found (nothing changed).
            bool split_first_side_edge( PolygonEdge edge );

            /// The same on the second side.
            bool split_second_side_edge( PolygonEdge edge );

            /// Splits an inner edge of an inverted triangle at a point of the
            /// input surface found in the edge's median plane near the
            /// apex; nothing when no such point was found.
            std::optional< BRepSplitEdgeInfo > split_inverted_edge(
                const RepairSide& side, const PolygonEdge& edge );

            /// Keeps only the listed edges of d that still cross a listed
            /// triangle of m, and the entries of m whose triangle is still
            /// crossed.
            void update_crossing_edges();

            void add_touched_surfaces( const BRepSplitEdgeInfo& split );

            [[nodiscard]] const RepairSide& first() const
            {
                return first_;
            }

            [[nodiscard]] const RepairSide& second() const
            {
                return second_;
            }

        private:
            std::optional< Point< 3 > > split_point( RepairSide& side, const PolygonEdge& edge );
            BRepSplitEdgeInfo split( const RepairSide& side,
                const PolygonEdge& edge,
                const Point< 3 >& point );

        private:
            RepairBRepSurfaces& repairer_;
            RepairSide first_;
            RepairSide second_;
            absl::flat_hash_set< uuid > touched_surfaces_;
        };
    } // namespace internal
} // namespace orvane
