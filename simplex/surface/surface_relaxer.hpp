#pragma once

#include <deque>
#include <memory>
#include <optional>
#include <utility>

#include <openorvane/basic/types.hpp>
#include <openorvane/geometry/point.hpp>
#include <openorvane/mesh/mesh_records.hpp>
#include <openorvane/mesh/surface_mesh.hpp>

#include <simplex/surface/surface_stages.hpp>

namespace orvane
{
    template < index_t dimension >
    class Surface;
    template < index_t dimension >
    class TriangulatedSurface;
    template < typename T >
    class VariableAttribute;

    namespace internal
    {
        /// Twice the inradius over the circumradius of the triangle,
        /// 4 s0 s1 s2 / (s0 + s1 + s2) with si the sines of its angles: 1 for
        /// an equilateral triangle, towards 0 as it flattens. NaN when an
        /// angle cannot be computed (two corners at one point).
        [[nodiscard]] double triangle_quality(
            const Point< 3 >& a, const Point< 3 >& b, const Point< 3 >& c );

        /// One edge of a triangle seen from that triangle.
        struct TriangleEdgeInfo
        {
            PolygonEdge edge;
            /// The vertex at which the edge starts, and its position.
            index_t vertex{ NO_ID };
            const Point< 3 >* point{ nullptr };
            /// The polygon across the edge.
            std::optional< index_t > adjacent;
        };

        /// The three edges of one triangle taken for one of its edges: the
        /// edge ending where it starts, the edge starting where it ends, and
        /// the edge itself. For the edge A -> B of (A, B, C) they start at
        /// C, B and A.
        struct FlipSide
        {
            TriangleEdgeInfo previous;
            TriangleEdgeInfo next;
            TriangleEdgeInfo edge;
        };

        /// A flip of the edge A -> B of P = (A, B, C), Q = (B, A, D) being
        /// the triangle across, into F = (C, A, D) and G = (D, B, C).
        struct FlipCandidate
        {
            FlipSide edge_side;
            FlipSide adjacent_side;
            /// Quality of F.
            double first_quality{ 0. };
            /// Quality of G.
            double second_quality{ 0. };
        };

        template < typename Model >
        class SurfaceRelaxer;

        /// Improves the triangles of one surface of a model without moving
        /// its lines and corners: flips edges that raise the worse quality
        /// of their two triangles by at least 1 %, removes interior vertices
        /// of valence 3, 4 and 5 (and, with a metric, the ends of edges
        /// shorter than half of it) by collapses, and moves interior
        /// vertices towards the mean of the equilateral apexes of their ring
        /// when that raises the ring's worst quality. Every edit is a
        /// model-wide edit through the modifier, so that lines and blocks
        /// sharing the surface's vertices follow.
        ///
        /// Two stamped first-in first-out queues drive the work (polygons
        /// for flips, vertices for collapses and moves); an entry is stale
        /// when its element was pushed again since. The working attributes
        /// ("stamp" on vertices and polygons, "quality" on polygons,
        /// "fixed" on vertices) exist while the relaxer does.
        ///
        /// Derived classes give the local flat picture of a vertex's ring
        /// and the final shape test of a flip.
        template <>
        class SurfaceRelaxer< BRep >
        {
        public:
            /// Throws std::bad_cast when the surface's mesh is not a
            /// TriangulatedSurface<3>. The options must outlive the relaxer.
            SurfaceRelaxer( BRep& model,
                BRepGeometricModifier& modifier,
                const Surface< 3 >& surface,
                const SurfaceRelaxerOptions& options );
            SurfaceRelaxer( const SurfaceRelaxer& ) = delete;
            SurfaceRelaxer& operator=( const SurfaceRelaxer& ) = delete;
            virtual ~SurfaceRelaxer();

            /// Queues every polygon and every free vertex and stores the
            /// polygon qualities. Border, line and corner vertices, and
            /// vertices without unique vertex, are fixed. Call once, on a
            /// mesh with at least one polygon.
            void initialize();

            /// Flip pass until the polygon queue is empty.
            void process_polygon_queue();

            /// Collapse and smoothing pass until the vertex queue is empty.
            void process_vertex_queue();

            [[nodiscard]] bool polygon_queue_empty() const
            {
                return polygon_queue_.empty();
            }

            [[nodiscard]] bool vertex_queue_empty() const
            {
                return vertex_queue_.empty();
            }

            /// Runs the passes the options switch on until their queues are
            /// empty (initialising first when the mesh has polygons).
            void relax();

        protected:
            /// Lays the vertex and its ring into a local plane; false when no
            /// plane can be made (the vertex is then not smoothed). The
            /// polygons run counter-clockwise in that plane.
            virtual bool compute_2d_projection(
                index_t vertex, const PolygonsAroundVertex& polygons ) = 0;

            /// The vertex's position in the plane last computed.
            [[nodiscard]] virtual const Point< 2 >& point_2d( index_t vertex ) const = 0;

            /// The shape test a flip passes last.
            [[nodiscard]] virtual bool is_flip_valid( const FlipCandidate& candidate ) const = 0;

            [[nodiscard]] const TriangulatedSurface< 3 >& mesh() const
            {
                return *mesh_;
            }

        private:
            void delete_attributes();
            void push_vertex( index_t vertex );
            void push_polygon( index_t polygon );
            void store_quality( index_t polygon );
            [[nodiscard]] double polygon_quality( index_t polygon ) const;
            [[nodiscard]] TriangleEdgeInfo edge_info( const PolygonEdge& edge ) const;
            [[nodiscard]] FlipSide flip_side( const PolygonEdge& edge ) const;
            [[nodiscard]] std::optional< FlipCandidate > evaluate_flip(
                const PolygonEdge& edge ) const;
            void process_polygon( index_t polygon );
            void process_vertex( index_t vertex );
            [[nodiscard]] bool remove_low_valence_vertex(
                index_t vertex, const PolygonsAroundVertex& polygons );
            [[nodiscard]] bool collapse_short_edge(
                index_t vertex, const PolygonsAroundVertex& polygons );
            [[nodiscard]] bool can_collapse_edge(
                const PolygonEdge& edge, const Point< 3 >& point ) const;
            void collapse_onto( const PolygonEdge& edge, index_t kept );
            void smooth_vertex( index_t vertex, const PolygonsAroundVertex& polygons );
            /// The mean of the equilateral apexes erected on the ring's
            /// outer edges in the plane; none when two ring vertices share a
            /// plane position.
            [[nodiscard]] std::optional< Point< 2 > > ideal_position(
                const PolygonsAroundVertex& polygons ) const;
            [[nodiscard]] std::optional< Point< 3 > > find_new_position( index_t vertex,
                const PolygonsAroundVertex& polygons,
                const Point< 2 >& target,
                double mean_ring_length ) const;
            void requeue_ring( index_t vertex );

        private:
            BRep& model_;
            BRepGeometricModifier& modifier_;
            const Surface< 3 >& surface_;
            const TriangulatedSurface< 3 >* mesh_;
            const SurfaceRelaxerOptions* options_;
            std::shared_ptr< VariableAttribute< index_t > > vertex_stamps_;
            std::deque< std::pair< index_t, index_t > > vertex_queue_;
            std::shared_ptr< VariableAttribute< index_t > > polygon_stamps_;
            std::deque< std::pair< index_t, index_t > > polygon_queue_;
            std::shared_ptr< VariableAttribute< double > > polygon_quality_;
            std::shared_ptr< VariableAttribute< bool > > vertex_fixed_;
        };
    } // namespace internal
} // namespace orvane
