#pragma once

#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include <absl/container/flat_hash_map.h>

#include <openorvane/basic/progress_logger.hpp>
#include <openorvane/basic/uuid.hpp>
#include <openorvane/geometry/aabb.hpp>
#include <openorvane/geometry/point.hpp>
#include <openorvane/mesh/mesh_records.hpp>

namespace orvane
{
    class BRep;
    class BRepGeometricModifier;
    template < index_t dimension >
    class Line;
    template < index_t dimension >
    class Surface;
    template < typename Model >
    class RemeshingData;

    namespace internal
    {
        struct RepairSide;

        /// Finds and repairs the defects between the remeshed surfaces of a
        /// remeshing run: surfaces crossing each other, and surfaces holding
        /// the same model edge inside one of them. Every new vertex comes
        /// from the input model (input surfaces for inner edges and single
        /// triangles, input lines for border edges), and every edit goes
        /// through the output model's geometric modifier.
        ///
        /// Construction builds the caches: an empty input-tree slot per
        /// output surface and line, a tree per output surface, and for every
        /// input surface the list of input surfaces whose boxes, enlarged by
        /// the metric, meet its own (possibly empty). Every input surface
        /// starts flagged for checking.
        ///
        /// Used by one thread once built; the trees are cached without lock.
        class RepairBRepSurfaces
        {
        public:
            /// Rethrows the first failure of the set-up jobs.
            explicit RepairBRepSurfaces( RemeshingData< BRep >& data );
            ~RepairBRepSurfaces();

            RepairBRepSurfaces( const RepairBRepSurfaces& ) = delete;
            RepairBRepSurfaces& operator=( const RepairBRepSurfaces& ) = delete;

            /// Puts back onto its input surface every one-triangle surface
            /// bounding a block that has fewer than four boundary triangles
            /// in all: its triangle is split at the input point found along
            /// its normal (or the closest input point).
            void repair_small_blocks();

            /// Checks every flagged input surface against its candidates and
            /// repairs what it finds. True when something changed, so that
            /// another pass is needed.
            bool repair_pass();

            /// Repairs the output surface of the input surface against the
            /// output surfaces of its candidates; true when a defect was
            /// found. Throws OpenOrvaneException "[RepairBRepSurfaces::
            /// repair_surface] Too many surface repair occurs" when a pair
            /// still needs repairs after its ninth iteration.
            bool repair_surface( const Surface< 3 >& input_surface );

            /// The tree over the triangles of the output surface's input
            /// surface, built on first use.
            const AABBTree< 3 >& input_surface_tree( const Surface< 3 >& output_surface );

            /// The tree over the edges of the output line's input line,
            /// built on first use.
            const AABBTree< 3 >& input_line_tree( const Line< 3 >& output_line );

            /// The tree over the output surface's own triangles, rebuilt when
            /// stale.
            const AABBTree< 3 >& output_surface_tree( const Surface< 3 >& output_surface );

            /// Marks the output surface as changed: its tree goes stale and
            /// its input surface is checked in the next pass.
            void surface_changed( const uuid& output_surface );

            /// The projection of the edge's barycentre onto the closest
            /// triangle of the side's input surface, and that triangle.
            [[nodiscard]] std::pair< Point< 3 >, index_t > closest_input_point(
                const RepairSide& side, const PolygonEdge& edge );

            /// The triangle beside the edge (its own, then the one across
            /// it) that faces against the input surface near the edge's
            /// ends, if any. Nothing when the input normals there cancel.
            [[nodiscard]] std::optional< index_t > inverted_triangle(
                const Surface< 3 >& output_surface, const PolygonEdge& edge );

            /// Whether splitting the model edge at the point spoils no
            /// triangle of any surface that does not already face against
            /// its input surface.
            [[nodiscard]] bool is_split_acceptable( const Surface< 3 >& output_surface,
                const PolygonEdge& edge,
                const Point< 3 >& point );

            /// Where the input line of the border edge crosses the edge's
            /// median plane, first along the part of the line between the
            /// input edges closest to the edge's ends. Nothing when no edge
            /// of that part crosses it. Throws OpenOrvaneException
            /// "[RepairIntersetion] More than one Line found on border, not
            /// implemented yet" unless exactly one line holds the edge.
            [[nodiscard]] std::optional< Point< 3 > > line_split_point(
                const RepairSide& side, const PolygonEdge& edge );

            /// The side of an output surface, with the given edges.
            [[nodiscard]] RepairSide make_side(
                const Surface< 3 >& output_surface, std::vector< PolygonEdge > edges );

            /// Whether the output surface's triangle is live.
            [[nodiscard]] bool is_triangle_active(
                const Surface< 3 >& output_surface, index_t triangle );

            [[nodiscard]] const BRep& input() const
            {
                return input_;
            }

            [[nodiscard]] BRep& output()
            {
                return output_;
            }

            [[nodiscard]] BRepGeometricModifier& modifier()
            {
                return modifier_;
            }

            /// The input surfaces checked against the given one (input ids).
            [[nodiscard]] const std::vector< uuid >& candidate_surfaces(
                const uuid& input_surface ) const;

        private:
            void find_candidate_surfaces();
            void build_output_surface_trees();
            void add_line_tree_entries();
            void snap_single_triangle_surface( const Surface< 3 >& output_surface );
            void split_single_triangle(
                const Surface< 3 >& output_surface, const Point< 3 >& point );
            const Surface< 3 >& input_surface_of( const Surface< 3 >& output_surface ) const;

        private:
            RemeshingData< BRep >& data_;
            const BRep& input_;
            BRep& output_;
            BRepGeometricModifier& modifier_;
            ProgressLogger logger_;
            absl::flat_hash_map< uuid, std::optional< AABBTree< 3 > > > input_surface_trees_;
            absl::flat_hash_map< uuid, std::optional< AABBTree< 3 > > > output_surface_trees_;
            absl::flat_hash_map< uuid, std::optional< AABBTree< 3 > > > input_line_trees_;
            absl::flat_hash_map< uuid, std::vector< uuid > > candidate_surfaces_;
            absl::flat_hash_map< uuid, bool > surfaces_to_check_;
        };

        /// Calls `pass` while it reports a change, at most ten times. Throws
        /// OpenOrvaneException "[RepairBRepSurfaces::repair] Too many surface
        /// repair occurs" when the tenth pass still reports one; a run that
        /// settles on its tenth pass succeeds.
        void repeat_surface_repair_passes( const std::function< bool() >& pass );

        /// The surface-intersection repair stage of a remeshing run: the
        /// small blocks first, then the passes, then the output model's
        /// clean-up.
        void repair_surfaces( RemeshingData< BRep >& data );
    } // namespace internal
} // namespace orvane
