#include <explicit/conflict_finder.hpp>

#include <algorithm>
#include <cmath>

#include <absl/container/inlined_vector.h>

#include <openorvane/basic/async.hpp>
#include <openorvane/geometry/aabb.hpp>
#include <openorvane/geometry/basic_objects.hpp>
#include <openorvane/geometry/distance.hpp>
#include <openorvane/geometry/separation.hpp>
#include <openorvane/inspector/parallel_box_pairs.hpp>
#include <openorvane/inspector/surface_curve_intersections.hpp>
#include <openorvane/inspector/triangulated_surface_intersections.hpp>
#include <openorvane/mesh/edged_curve.hpp>
#include <openorvane/mesh/edged_curve_aabb.hpp>
#include <openorvane/mesh/edged_curve_merger.hpp>
#include <openorvane/mesh/point_set.hpp>
#include <openorvane/mesh/surface_aabb.hpp>
#include <openorvane/mesh/surface_mesh_merger.hpp>
#include <openorvane/mesh/triangulated_surface.hpp>

namespace
{
    using namespace orvane;
    using internal::ConflictGraph;
    using internal::ModelerMeshes;

    const ComponentType SURFACE{ "Surface" };
    const ComponentType LINE{ "Line" };
    const ComponentType CORNER{ "Corner" };

    template < typename Elements >
    void split_unshared( const Elements& a,
        const Elements& b,
        absl::InlinedVector< index_t, 3 >& only_a,
        absl::InlinedVector< index_t, 3 >& only_b )
    {
        const auto contains = []( const Elements& list, index_t vertex ) {
            return std::find( list.begin(), list.end(), vertex ) != list.end();
        };
        for( const auto vertex : a )
        {
            if( !contains( b, vertex ) )
            {
                only_a.push_back( vertex );
            }
        }
        for( const auto vertex : b )
        {
            if( !contains( a, vertex ) )
            {
                only_b.push_back( vertex );
            }
        }
    }

    using PointList = absl::InlinedVector< Point< 3 >, 3 >;

    /// The distance beyond which two shapes are certainly not reported
    /// close: the tests below compute their distances in floating point
    /// from the coordinates, so their results may differ from the exact
    /// distances by rounding errors of the order of the unit roundoff times
    /// the coordinates' magnitude. The allowance added to the tolerance
    /// exceeds such errors by far, and remains far below any distance that
    /// matters between the elements of a mesh.
    double certainly_apart_distance(
        absl::Span< const Point< 3 > > first, absl::Span< const Point< 3 > > second )
    {
        double magnitude{ 0 };
        for( const auto shape : { first, second } )
        {
            for( const auto& point : shape )
            {
                for( const local_index_t axis : { 0, 1, 2 } )
                {
                    magnitude = std::max( magnitude, std::fabs( point.value( axis ) ) );
                }
            }
        }
        return 2 * GLOBAL_EPSILON + 0x1p-40 * magnitude;
    }

    /// Whether the shapes spanned by the points are proven too far apart for
    /// any distance test between them to answer close. It settles most of
    /// the pairs that the box searches give (neighbouring elements of one
    /// mesh, layers apart) at a small part of the cost of those tests,
    /// which decide the remaining pairs exactly as without it.
    bool certainly_apart(
        absl::Span< const Point< 3 > > first, absl::Span< const Point< 3 > > second )
    {
        return hulls_proven_farther_than(
            first, second, certainly_apart_distance( first, second ) );
    }

    /// A box tree of the elements of a mesh, each box grown by the length
    /// tolerance. Two elements closer than the tolerance may have boxes
    /// that do not meet (two parallel faces 1e-7 apart): the pair searches
    /// of the proximity tests reach only pairs whose boxes meet, so they
    /// search these grown boxes. Element i of the tree is element i of the
    /// mesh, as in the trees create_aabb_tree gives.
    template < typename Mesh, typename Vertices >
    AABBTree< 3 > grown_tree( const Mesh& mesh, index_t nb_elements, const Vertices& vertices )
    {
        std::vector< BoundingBox< 3 > > boxes( nb_elements );
        async::parallel_for( 0, nb_elements, [&mesh, &boxes, &vertices]( index_t e ) {
            for( const auto vertex : vertices( e ) )
            {
                boxes[e].add_point( mesh.point( vertex ) );
            }
            boxes[e].extends( GLOBAL_EPSILON );
        } );
        return AABBTree< 3 >{ boxes };
    }

    class ConflictFinder
    {
    public:
        explicit ConflictFinder( const ModelerMeshes& meshes )
            : meshes_( meshes ),
              surface_merger_( surface_span(), GLOBAL_EPSILON ),
              curve_merger_( curve_span(), GLOBAL_EPSILON ),
              merged_surface_( surface_merger_.merge() ),
              merged_curve_( curve_merger_.merge() ),
              graph_( std::make_unique< ConflictGraph >( meshes ) )
        {
        }

        std::optional< std::unique_ptr< ConflictGraph > > find()
        {
            // One box tree of the merged surface serves the intersection and
            // the proximity searches. Its boxes are grown, so that no pair
            // within the tolerance escapes the proximity searches; the
            // intersection search only gets a few more candidate pairs,
            // which its exact tests settle.
            const auto& surface = *merged_surface_;
            const auto surface_tree =
                grown_tree( surface, surface.nb_polygons(), [&surface]( index_t p ) {
                    return surface.polygon_vertices( p );
                } );
            auto intersections = async::spawn( [this, &surface_tree] {
                auto graph = std::make_unique< ConflictGraph >( meshes_ );
                find_intersections( *graph, surface_tree );
                return graph;
            } );
            auto proximity = async::spawn( [this, &surface_tree] {
                auto graph = std::make_unique< ConflictGraph >( meshes_ );
                const auto& curve = *merged_curve_;
                const auto curve_tree =
                    grown_tree( curve, curve.nb_edges(), [&curve]( index_t e ) {
                        return curve.edge_vertices( e );
                    } );
                find_close_polygons( *graph, surface_tree );
                find_corners_close_to_polygons( *graph, surface_tree );
                find_corners_close_to_edges( *graph, curve_tree );
                find_edges_close_to_polygons( *graph, surface_tree );
                find_close_edges( *graph, curve_tree );
                return graph;
            } );
            auto lost = async::spawn( [this] {
                auto graph = std::make_unique< ConflictGraph >( meshes_ );
                find_polygons_lost_in_merge( *graph );
                return graph;
            } );
            // Merged in a fixed order so that the vertex numbering does not
            // depend on which task ends first.
            bool found{ false };
            for( auto* task : { &intersections, &proximity, &lost } )
            {
                task->wait();
            }
            for( auto* task : { &intersections, &proximity, &lost } )
            {
                const auto graph = task->get();
                found = graph_->merge( *graph ) || found;
            }
            if( !found )
            {
                return std::nullopt;
            }
            return std::move( graph_ );
        }

    private:
        std::vector< const SurfaceMesh< 3 >* > surface_span() const
        {
            return { meshes_.surfaces.begin(), meshes_.surfaces.end() };
        }

        std::vector< const EdgedCurve< 3 >* > curve_span() const
        {
            return { meshes_.curves.begin(), meshes_.curves.end() };
        }

        ComponentMeshElement surface_element( const detail::MergeOrigin& origin ) const
        {
            return { ComponentID{ SURFACE, meshes_.surfaces[origin.mesh_index]->id() },
                origin.element };
        }

        ComponentMeshElement line_element( const detail::MergeOrigin& origin ) const
        {
            return { ComponentID{ LINE, meshes_.curves[origin.mesh_index]->id() },
                origin.element };
        }

        void add_polygon_pair( ConflictGraph& graph, index_t a, index_t b ) const
        {
            for( const auto& first : surface_merger_.polygon_origins( a ) )
            {
                for( const auto& second : surface_merger_.polygon_origins( b ) )
                {
                    if( first == second )
                    {
                        continue;
                    }
                    graph.add_conflict(
                        surface_element( first ), surface_element( second ) );
                }
            }
        }

        void add_edge_pair( ConflictGraph& graph, index_t a, index_t b ) const
        {
            for( const auto& first : curve_merger_.edge_origins( a ) )
            {
                for( const auto& second : curve_merger_.edge_origins( b ) )
                {
                    if( first == second )
                    {
                        continue;
                    }
                    graph.add_conflict( line_element( first ), line_element( second ) );
                }
            }
        }

        void find_intersections(
            ConflictGraph& graph, const AABBTree< 3 >& surface_tree ) const
        {
            const TriangulatedSurfaceIntersections< 3 > inspector{ *merged_surface_,
                surface_tree };
            for( const auto& [a, b] : inspector.intersecting_elements() )
            {
                add_polygon_pair( graph, a, b );
            }
            for( const auto* curve : meshes_.curves )
            {
                const SurfaceCurveIntersections< 3 > crossings{ *merged_surface_, *curve };
                for( const auto& [polygon, edge] : crossings.intersecting_elements() )
                {
                    for( const auto& origin : surface_merger_.polygon_origins( polygon ) )
                    {
                        graph.add_conflict( surface_element( origin ),
                            { ComponentID{ LINE, curve->id() }, edge } );
                    }
                }
            }
        }

        bool close_polygons( index_t a, index_t b ) const
        {
            const auto& surface = *merged_surface_;
            absl::InlinedVector< index_t, 3 > only_a;
            absl::InlinedVector< index_t, 3 > only_b;
            split_unshared(
                surface.polygon_vertices( a ), surface.polygon_vertices( b ), only_a, only_b );
            const auto triangle_a = surface.triangle( a );
            const auto triangle_b = surface.triangle( b );
            if( tests_certainly_fail( a, only_a, only_b, triangle_a, triangle_b ) )
            {
                return false;
            }
            if( only_a.size() == 1 )
            {
                return std::get< 0 >( point_triangle_distance(
                           surface.point( only_a[0] ), triangle_b ) )
                           <= GLOBAL_EPSILON
                       || ( only_b.size() == 1
                            && std::get< 0 >( point_triangle_distance(
                                   surface.point( only_b[0] ), triangle_a ) )
                                   <= GLOBAL_EPSILON );
            }
            const auto segments_close = [&surface]( const auto& only,
                                            const Triangle< 3 >& triangle ) {
                for( const auto u : only )
                {
                    for( const auto v : only )
                    {
                        if( u != v
                            && std::get< 0 >( segment_triangle_distance(
                                   Segment< 3 >{ surface.point( u ), surface.point( v ) },
                                   triangle ) )
                                   <= GLOBAL_EPSILON )
                        {
                            return true;
                        }
                    }
                }
                return false;
            };
            return segments_close( only_a, triangle_b )
                   || segments_close( only_b, triangle_a );
        }

        /// Whether every test of close_polygons is proven to answer no: the
        /// tests of one triangle's unshared vertices against the other
        /// triangle all look at points of the hull of those vertices. One
        /// direction settles both sides of most neighbouring triangles;
        /// otherwise each side is tried on its own.
        bool tests_certainly_fail( index_t a,
            const absl::InlinedVector< index_t, 3 >& only_a,
            const absl::InlinedVector< index_t, 3 >& only_b,
            const Triangle< 3 >& triangle_a,
            const Triangle< 3 >& triangle_b ) const
        {
            const auto points = [this]( const absl::InlinedVector< index_t, 3 >& vertices ) {
                PointList result;
                for( const auto vertex : vertices )
                {
                    result.push_back( merged_surface_->point( vertex ) );
                }
                return result;
            };
            const auto points_a = points( only_a );
            const auto points_b = points( only_b );
            if( only_a.size() == 3 )
            {
                // No shared vertex: the tests look at points of both triangles.
                if( certainly_apart( triangle_a.vertices(), triangle_b.vertices() ) )
                {
                    return true;
                }
            }
            else if( !only_a.empty() && !only_b.empty() )
            {
                PointList shared;
                absl::InlinedVector< index_t, 3 > shared_vertices;
                for( const auto vertex : merged_surface_->polygon_vertices( a ) )
                {
                    if( std::find( only_a.begin(), only_a.end(), vertex ) == only_a.end()
                        && std::find( shared_vertices.begin(), shared_vertices.end(), vertex )
                               == shared_vertices.end() )
                    {
                        shared_vertices.push_back( vertex );
                        shared.push_back( merged_surface_->point( vertex ) );
                    }
                }
                if( proven_apart_around( shared, points_a, points_b,
                        certainly_apart_distance( triangle_a.vertices(), triangle_b.vertices() ) ) )
                {
                    return true;
                }
            }
            if( !only_a.empty() && !certainly_apart( points_a, triangle_b.vertices() ) )
            {
                return false;
            }
            const auto b_tested = only_a.size() == 1 ? only_b.size() == 1 : !only_b.empty();
            return !b_tested || certainly_apart( points_b, triangle_a.vertices() );
        }

        bool close_edges( index_t a, index_t b ) const
        {
            const auto& curve = *merged_curve_;
            const auto vertices_a = curve.edge_vertices( a );
            const auto vertices_b = curve.edge_vertices( b );
            absl::InlinedVector< index_t, 3 > only_a;
            absl::InlinedVector< index_t, 3 > only_b;
            split_unshared( vertices_a, vertices_b, only_a, only_b );
            const auto segment_a = curve.segment( a );
            const auto segment_b = curve.segment( b );
            if( certainly_apart( segment_a.vertices(), segment_b.vertices() ) )
            {
                // Every test below measures from points of one segment to
                // the other segment.
                return false;
            }
            if( only_a.size() != 1 )
            {
                return std::get< 0 >( segment_segment_distance( segment_a, segment_b ) )
                       <= GLOBAL_EPSILON;
            }
            return std::get< 0 >(
                       point_segment_distance( curve.point( only_a[0] ), segment_b ) )
                       <= GLOBAL_EPSILON
                   || ( only_b.size() == 1
                        && std::get< 0 >( point_segment_distance(
                               curve.point( only_b[0] ), segment_a ) )
                               <= GLOBAL_EPSILON );
        }

        /// The pairs of close polygons are found on the pool and recorded in
        /// ascending order, so the graph does not depend on the number of
        /// threads.
        void find_close_polygons(
            ConflictGraph& graph, const AABBTree< 3 >& tree ) const
        {
            const auto pairs = internal::ParallelBoxPairs< 3 >{ tree }.accepted_pairs(
                [this]( index_t a, index_t b ) { return close_polygons( a, b ); } );
            for( const auto& [a, b] : pairs )
            {
                add_polygon_pair( graph, a, b );
            }
        }

        void find_close_edges( ConflictGraph& graph, const AABBTree< 3 >& tree ) const
        {
            const auto pairs = internal::ParallelBoxPairs< 3 >{ tree }.accepted_pairs(
                [this]( index_t a, index_t b ) { return close_edges( a, b ); } );
            for( const auto& [a, b] : pairs )
            {
                add_edge_pair( graph, a, b );
            }
        }

        static BoundingBox< 3 > point_box( const Point< 3 >& point )
        {
            BoundingBox< 3 > box;
            box.add_point( point );
            box.extends( GLOBAL_EPSILON );
            return box;
        }

        /// The first element whose box meets `box` and that `accept`s, if
        /// any: the search stops at it.
        template < typename Accept >
        static std::optional< index_t > first_accepted(
            const AABBTree< 3 >& tree, const BoundingBox< 3 >& box, const Accept& accept )
        {
            std::optional< index_t > hit;
            tree.visit_boxes_intersecting_box( box, [&]( index_t element ) {
                if( !accept( element ) )
                {
                    return false;
                }
                hit = element;
                return true;
            } );
            return hit;
        }

        /// Whether `point` lies within GLOBAL_EPSILON of `simplex` without
        /// being at one of its vertices (a corner on a vertex is shared, not
        /// in conflict).
        template < typename Simplex, typename Distance >
        static bool close_away_from_vertices(
            const Point< 3 >& point, const Simplex& simplex, const Distance& distance )
        {
            if( certainly_apart( { point }, simplex.vertices() ) )
            {
                return false;
            }
            for( const auto& vertex : simplex.vertices() )
            {
                if( point_point_distance( point, vertex ) <= GLOBAL_EPSILON )
                {
                    return false;
                }
            }
            return std::get< 0 >( distance( point, simplex ) ) <= GLOBAL_EPSILON;
        }

        /// For each corner vertex, hands the first element of `tree` it is
        /// close to (as `close` tells) and the corner to `origins`, which
        /// records the conflicts.
        template < typename Close, typename Origins >
        void find_corners_close_to(
            const AABBTree< 3 >& tree, const Close& close, const Origins& origins ) const
        {
            for( const auto* points : meshes_.point_sets )
            {
                const auto hits = hits_on_pool( points->nb_vertices(), [&]( index_t vertex ) {
                    const auto& point = points->point( vertex );
                    return first_accepted( tree, point_box( point ),
                        [&]( index_t element ) { return close( point, element ); } );
                } );
                for( index_t vertex = 0; vertex < points->nb_vertices(); vertex++ )
                {
                    if( hits[vertex] != NO_ID )
                    {
                        origins( hits[vertex],
                            ComponentMeshElement{ ComponentID{ CORNER, points->id() }, vertex } );
                    }
                }
            }
        }

        /// search( i ) for every i in [0, nb) on the pool, each search on
        /// its own, gathered by index (NO_ID where nothing was found), so
        /// the findings can be recorded in index order afterwards.
        template < typename Search >
        static std::vector< index_t > hits_on_pool( index_t nb, const Search& search )
        {
            std::vector< index_t > hits( nb, NO_ID );
            async::parallel_for( 0, nb, [&hits, &search]( index_t i ) {
                if( const auto hit = search( i ) )
                {
                    hits[i] = *hit;
                }
            } );
            return hits;
        }

        void find_corners_close_to_polygons(
            ConflictGraph& graph, const AABBTree< 3 >& tree ) const
        {
            const auto& surface = *merged_surface_;
            find_corners_close_to(
                tree,
                [&]( const Point< 3 >& point, index_t polygon ) {
                    return close_away_from_vertices( point, surface.triangle( polygon ),
                        []( const Point< 3 >& p, const Triangle< 3 >& triangle ) {
                            return point_triangle_distance( p, triangle );
                        } );
                },
                [&]( index_t polygon, const ComponentMeshElement& corner ) {
                    for( const auto& origin : surface_merger_.polygon_origins( polygon ) )
                    {
                        graph.add_conflict( surface_element( origin ), corner );
                    }
                } );
        }

        void find_corners_close_to_edges(
            ConflictGraph& graph, const AABBTree< 3 >& tree ) const
        {
            const auto& curve = *merged_curve_;
            find_corners_close_to(
                tree,
                [&]( const Point< 3 >& point, index_t edge ) {
                    return close_away_from_vertices( point, curve.segment( edge ),
                        []( const Point< 3 >& p, const Segment< 3 >& segment ) {
                            return point_segment_distance( p, segment );
                        } );
                },
                [&]( index_t edge, const ComponentMeshElement& corner ) {
                    for( const auto& origin : curve_merger_.edge_origins( edge ) )
                    {
                        graph.add_conflict( line_element( origin ), corner );
                    }
                } );
        }

        void find_edges_close_to_polygons(
            ConflictGraph& graph, const AABBTree< 3 >& tree ) const
        {
            const auto& surface = *merged_surface_;
            for( const auto* curve : meshes_.curves )
            {
                const auto hits = hits_on_pool( curve->nb_edges(), [&]( index_t edge ) {
                    const auto segment = curve->segment( edge );
                    BoundingBox< 3 > box;
                    for( const auto& end : segment.vertices() )
                    {
                        box.add_point( end );
                    }
                    box.extends( GLOBAL_EPSILON );
                    return first_accepted( tree, box, [&]( index_t polygon ) {
                        const auto triangle = surface.triangle( polygon );
                        if( certainly_apart( segment.vertices(), triangle.vertices() ) )
                        {
                            return false;
                        }
                        return std::get< 0 >( segment_triangle_distance(
                                   segment, triangle ) )
                               <= GLOBAL_EPSILON;
                    } );
                } );
                for( index_t edge = 0; edge < curve->nb_edges(); edge++ )
                {
                    if( hits[edge] == NO_ID )
                    {
                        continue;
                    }
                    for( const auto& origin : surface_merger_.polygon_origins( hits[edge] ) )
                    {
                        graph.add_conflict( surface_element( origin ),
                            { ComponentID{ LINE, curve->id() }, edge } );
                    }
                }
            }
        }

        void find_polygons_lost_in_merge( ConflictGraph& graph ) const
        {
            for( index_t s = 0; s < meshes_.surfaces.size(); s++ )
            {
                const auto& surface = *meshes_.surfaces[s];
                for( index_t polygon = 0; polygon < surface.nb_polygons(); polygon++ )
                {
                    if( surface_merger_.polygon_in_merged( s, polygon ) == NO_ID )
                    {
                        graph.find_or_create_vertex(
                            { ComponentID{ SURFACE, surface.id() }, polygon } );
                    }
                }
            }
        }

    private:
        const ModelerMeshes& meshes_;
        detail::SurfaceMeshMerger< 3 > surface_merger_;
        detail::EdgedCurveMerger< 3 > curve_merger_;
        std::unique_ptr< TriangulatedSurface< 3 > > merged_surface_;
        std::unique_ptr< EdgedCurve< 3 > > merged_curve_;
        std::unique_ptr< ConflictGraph > graph_;
    };
} // namespace

namespace orvane
{
    namespace internal
    {
        std::optional< std::unique_ptr< ConflictGraph > > find_conflicts(
            const ModelerMeshes& meshes )
        {
            ConflictFinder finder{ meshes };
            return finder.find();
        }
    } // namespace internal
} // namespace orvane
