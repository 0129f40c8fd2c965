#include <tests/support/surface_modifier_checks.hpp>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numeric>

#include <absl/container/flat_hash_map.h>
#include <absl/container/flat_hash_set.h>

#include <absl/strings/str_cat.h>

#include <openorvane/basic/attribute_manager.hpp>
#include <openorvane/basic/variable_attribute.hpp>
#include <openorvane/geometry/predicates.hpp>
#include <openorvane/mesh/edges.hpp>

#include <tests/support/active_flags.hpp>
#include <tests/support/surface_checks.hpp>
#include <tests/support/surface_fixtures.hpp>

namespace orvane::test
{
    namespace
    {
        template < index_t dimension >
        Point< dimension > make_point( const std::array< double, 3 >& values )
        {
            Point< dimension > point;
            for( local_index_t axis = 0; axis < dimension; axis++ )
            {
                point.set_value( axis, values[axis] );
            }
            return point;
        }

        /// Collects problems, keeping the first few for the failure message.
        class Problems
        {
        public:
            template < typename... Pieces >
            void add( const Pieces&... pieces )
            {
                if( count_++ < MAX_REPORTED )
                {
                    absl::StrAppend( &text_, "\n  ", pieces... );
                }
            }

            ::testing::AssertionResult result() const
            {
                if( count_ == 0 )
                {
                    return ::testing::AssertionSuccess();
                }
                return ::testing::AssertionFailure()
                       << count_ << " invariant violation(s):" << text_;
            }

        private:
            static constexpr index_t MAX_REPORTED = 12;
            index_t count_{ 0 };
            std::string text_;
        };
    } // namespace

    template < index_t dimension >
    EditableSurface< dimension > make_surface(
        const std::vector< std::array< double, 3 > >& points,
        const std::vector< std::array< index_t, 3 > >& triangles )
    {
        EditableSurface< dimension > surface;
        surface.mesh =
            std::make_unique< OpenOrvaneTriangulatedSurface< dimension > >();
        surface.builder =
            std::make_unique< OpenOrvaneTriangulatedSurfaceBuilder< dimension > >(
                *surface.mesh );
        for( const auto& point : points )
        {
            surface.builder->create_point( make_point< dimension >( point ) );
        }
        for( const auto& triangle : triangles )
        {
            surface.builder->create_triangle( triangle );
        }
        surface.builder->compute_polygon_adjacencies();
        return surface;
    }

    template < index_t dimension >
    EditableSurface< dimension > make_square()
    {
        return make_surface< dimension >(
            { { 0, 0, 0 }, { 1, 0, 0 }, { 1, 1, 0 }, { 0, 1, 0 } },
            { { 0, 1, 2 }, { 0, 2, 3 } } );
    }

    template < index_t dimension >
    EditableSurface< dimension > make_hexagonal_fan()
    {
        std::vector< std::array< double, 3 > > points{ { 0, 0, 0 } };
        std::vector< std::array< index_t, 3 > > triangles;
        for( index_t k = 0; k < 6; k++ )
        {
            const auto angle = static_cast< double >( k ) * M_PI / 3.;
            points.push_back( { std::cos( angle ), std::sin( angle ), 0.1 * k } );
            triangles.push_back( { 0, k + 1, ( k + 1 ) % 6 + 1 } );
        }
        return make_surface< dimension >( points, triangles );
    }

    template < index_t dimension >
    EditableSurface< dimension > make_strip( index_t nb_quads )
    {
        std::vector< std::array< double, 3 > > points;
        for( const double y : { 0., 1. } )
        {
            for( index_t i = 0; i <= nb_quads; i++ )
            {
                points.push_back( { static_cast< double >( i ), y, 0.2 * y } );
            }
        }
        return make_surface< dimension >( points, grid_triangles( nb_quads, 1 ) );
    }

    template < index_t dimension >
    EditableSurface< dimension > make_grid( index_t nx, index_t ny )
    {
        std::vector< std::array< double, 3 > > points;
        for( index_t j = 0; j <= ny; j++ )
        {
            for( index_t i = 0; i <= nx; i++ )
            {
                const auto x = static_cast< double >( i );
                const auto y = static_cast< double >( j );
                points.push_back(
                    { x, y, 0.3 * std::sin( 0.4 * x ) * std::cos( 0.3 * y ) } );
            }
        }
        return make_surface< dimension >( points, grid_triangles( nx, ny ) );
    }

    EditableSurface< 3 > make_pillow()
    {
        EditableSurface< 3 > surface;
        surface.mesh = std::make_unique< OpenOrvaneTriangulatedSurface< 3 > >();
        surface.builder =
            std::make_unique< OpenOrvaneTriangulatedSurfaceBuilder< 3 > >(
                *surface.mesh );
        auto& builder = *surface.builder;
        builder.create_point( Point< 3 >{ { 0, 0, 0 } } );
        builder.create_point( Point< 3 >{ { 1, 0, 0 } } );
        builder.create_point( Point< 3 >{ { 0.5, 1, 0 } } );
        const auto first = builder.create_triangle( { 0, 1, 2 } );
        const auto second = builder.create_triangle( { 1, 0, 2 } );
        // {a, b}: first's edge 0 and second's edge 0; {b, c}: first's edge 1
        // and second's edge 2.
        builder.set_polygon_adjacent( { first, 0 }, second );
        builder.set_polygon_adjacent( { second, 0 }, first );
        builder.set_polygon_adjacent( { first, 1 }, second );
        builder.set_polygon_adjacent( { second, 2 }, first );
        return surface;
    }

    template < index_t dimension >
    index_t nb_active_polygons( const TriangulatedSurface< dimension >& mesh )
    {
        const ActiveFlags active{ mesh.polygon_attribute_manager() };
        index_t count{ 0 };
        for( index_t polygon = 0; polygon < mesh.nb_polygons(); polygon++ )
        {
            if( active( polygon ) )
            {
                count++;
            }
        }
        return count;
    }

    namespace
    {
        /// The invariant checks over a set of polygons and a set of
        /// vertices: the whole surface, or the neighbourhood of an edit.
        template < index_t dimension >
        class SurfaceChecker
        {
        public:
            SurfaceChecker( const TriangulatedSurface< dimension >& mesh,
                const SurfaceEditCheckOptions& options )
                : mesh_( mesh ),
                  options_( options ),
                  polygon_flags_( mesh.polygon_attribute_manager() )
            {
            }

            bool is_live( index_t polygon ) const
            {
                return polygon_flags_( polygon );
            }

            /// Checks the live polygons of the list, each once, and counts
            /// their corners per vertex.
            void check_polygons( const std::vector< index_t >& polygons )
            {
                pair_uses_.reserve( 3 * polygons.size() );
                for( const auto polygon : polygons )
                {
                    if( is_live( polygon ) )
                    {
                        check_polygon( polygon );
                    }
                }
            }

            /// Checks the edge pairs met in the polygons; with `around`, only
            /// the pairs with an end in it (all their uses are then in the
            /// checked fans).
            void check_pairs( const absl::flat_hash_set< index_t >* around )
            {
                std::sort( pair_uses_.begin(), pair_uses_.end(),
                    []( const PairUse& left, const PairUse& right ) {
                        return left.key < right.key;
                    } );
                const auto edge_flags = mesh_.are_edges_enabled()
                                            ? ActiveFlags{ mesh_.edges().edge_attribute_manager() }
                                            : ActiveFlags{};
                for( std::size_t first = 0; first < pair_uses_.size(); )
                {
                    auto last = first + 1;
                    while( last < pair_uses_.size()
                           && pair_uses_[last].key == pair_uses_[first].key )
                    {
                        last++;
                    }
                    const auto count = last - first;
                    const auto& use = pair_uses_[first].edge;
                    const auto ends = mesh_.polygon_edge_vertices( use );
                    first = last;
                    if( around != nullptr && !around->contains( ends[0] )
                        && !around->contains( ends[1] ) )
                    {
                        continue;
                    }
                    if( options_.linked_shared_edges )
                    {
                        if( count > 2 )
                        {
                            problems_.add( "polygon edge ", use.string(),
                                " is one of ", count,
                                " live polygon edges on the same vertices" );
                        }
                        else if( count == 2
                                 && mesh_.polygon_adjacent( use )
                                        != pair_uses_[last - 1].edge.polygon_id )
                        {
                            problems_.add( "polygon edges ", use.string(), " and ",
                                pair_uses_[last - 1].edge.string(),
                                " share vertices but are not linked" );
                        }
                    }
                    if( !mesh_.are_edges_enabled() )
                    {
                        continue;
                    }
                    const auto edge = mesh_.edges().edge_from_vertices( ends );
                    if( !edge )
                    {
                        problems_.add( "edge table misses vertices ", ends[0],
                            " and ", ends[1] );
                    }
                    else if( !edge_flags( edge.value() ) )
                    {
                        problems_.add( "edge ", edge.value(),
                            " of live polygon edge ", use.string(),
                            " is flagged inactive" );
                    }
                }
            }

            /// Checks the association and fan of each vertex.
            template < typename Vertices >
            void check_vertices( const Vertices& vertices )
            {
                for( const auto vertex : vertices )
                {
                    check_vertex( vertex );
                }
            }

            void add_problem( const std::string& problem )
            {
                problems_.add( problem );
            }

            ::testing::AssertionResult result() const
            {
                return problems_.result();
            }

        private:
            struct PairUse
            {
                std::uint64_t key;
                PolygonEdge edge;
            };

            static std::uint64_t pair_key( index_t v0, index_t v1 )
            {
                return ( static_cast< std::uint64_t >( std::min( v0, v1 ) ) << 32 )
                       | std::max( v0, v1 );
            }

            void check_polygon( index_t polygon )
            {
                const auto vertices = mesh_.polygon_vertices( polygon );
                if( vertices[0] == vertices[1] || vertices[1] == vertices[2]
                    || vertices[0] == vertices[2] )
                {
                    problems_.add( "polygon ", polygon, " repeats a vertex" );
                    return;
                }
                for( const auto vertex : vertices )
                {
                    if( vertex >= mesh_.nb_vertices() )
                    {
                        problems_.add(
                            "polygon ", polygon, " has invalid vertex ", vertex );
                        return;
                    }
                }
                for( local_index_t local = 0; local < 3; local++ )
                {
                    live_corners_[vertices[local]]++;
                    const PolygonEdge edge{ polygon, local };
                    const auto start = vertices[local];
                    const auto end = vertices[( local + 1 ) % 3];
                    pair_uses_.push_back( { pair_key( start, end ), edge } );
                    check_adjacency( edge, start, end );
                }
                if constexpr( dimension == 2 )
                {
                    if( triangle_area_sign( mesh_.triangle( polygon ) )
                        != SIDE::positive )
                    {
                        problems_.add( "polygon ", polygon, " is not positive" );
                    }
                }
            }

            void check_adjacency(
                const PolygonEdge& edge, index_t start, index_t end )
            {
                const auto adjacent = mesh_.polygon_adjacent( edge );
                if( !adjacent )
                {
                    return;
                }
                if( adjacent.value() >= mesh_.nb_polygons()
                    || !is_live( adjacent.value() ) )
                {
                    problems_.add( "polygon edge ", edge.string(),
                        " is adjacent to dead or invalid polygon ",
                        adjacent.value() );
                    return;
                }
                // The neighbour must hold the edge the other way and point
                // back across it.
                const auto others = mesh_.polygon_vertices( adjacent.value() );
                local_index_t back{ NO_LID };
                bool same_way{ false };
                for( local_index_t other = 0; other < 3; other++ )
                {
                    const auto other_start = others[other];
                    const auto other_end = others[( other + 1 ) % 3];
                    if( other_start == end && other_end == start )
                    {
                        back = other;
                    }
                    if( other_start == start && other_end == end )
                    {
                        same_way = true;
                    }
                }
                if( back == NO_LID )
                {
                    problems_.add( "polygon edge ", edge.string(),
                        " is adjacent to ", adjacent.value(),
                        same_way ? " which runs the edge the same way"
                                 : " which lacks the edge" );
                    return;
                }
                if( mesh_.polygon_adjacent( { adjacent.value(), back } )
                    != edge.polygon_id )
                {
                    problems_.add(
                        "adjacency of ", edge.string(), " is not mutual" );
                }
            }

            void check_vertex( index_t vertex )
            {
                const auto found = live_corners_.find( vertex );
                const index_t corners =
                    found == live_corners_.end() ? 0 : found->second;
                if( corners == 0 )
                {
                    if( !mesh_.is_vertex_isolated( vertex ) )
                    {
                        problems_.add( "vertex ", vertex,
                            " of no live polygon is not isolated (",
                            mesh_.polygon_around_vertex( vertex )->string(),
                            ")" );
                    }
                    return;
                }
                if( mesh_.is_vertex_isolated( vertex ) )
                {
                    problems_.add(
                        "vertex ", vertex, " of a live polygon is isolated" );
                    return;
                }
                const auto stored = mesh_.polygon_around_vertex( vertex ).value();
                if( !is_live( stored.polygon_id )
                    || mesh_.polygon_vertex( stored ) != vertex )
                {
                    problems_.add( "vertex ", vertex, " is associated with ",
                        stored.string(), " which is dead or does not hold it" );
                    return;
                }
                const auto fan = mesh_.polygons_around_vertex( vertex );
                for( const auto& corner : fan )
                {
                    if( !is_live( corner.polygon_id )
                        || mesh_.polygon_vertex( corner ) != vertex )
                    {
                        problems_.add( "fan of vertex ", vertex, " reaches ",
                            corner.string(), " which is dead or does not hold it" );
                    }
                }
                if( options_.single_fan && fan.size() != corners )
                {
                    problems_.add( "fan of vertex ", vertex, " has ", fan.size(),
                        " polygons out of ", corners );
                }
            }

        private:
            const TriangulatedSurface< dimension >& mesh_;
            const SurfaceEditCheckOptions& options_;
            ActiveFlags polygon_flags_;
            absl::flat_hash_map< index_t, index_t > live_corners_;
            std::vector< PairUse > pair_uses_;
            Problems problems_;
        };
    } // namespace

    template < index_t dimension >
    ::testing::AssertionResult is_valid_surface(
        const TriangulatedSurface< dimension >& mesh,
        const SurfaceEditCheckOptions& options )
    {
        SurfaceChecker< dimension > checker{ mesh, options };
        std::vector< index_t > polygons( mesh.nb_polygons() );
        std::iota( polygons.begin(), polygons.end(), 0 );
        checker.check_polygons( polygons );
        checker.check_pairs( nullptr );
        std::vector< index_t > vertices( mesh.nb_vertices() );
        std::iota( vertices.begin(), vertices.end(), 0 );
        checker.check_vertices( vertices );
        // The surface checks shared by every test, ignoring dead triangles.
        SurfaceCheckOptions shared;
        shared.skip_inactive = true;
        shared.check_complete_adjacency = options.linked_shared_edges;
        shared.check_manifold_edges = options.linked_shared_edges;
        shared.check_vertex_fans = options.single_fan;
        // Edits judged only topologically may leave flat triangles in 3-D.
        shared.check_degenerate = dimension == 2;
        for( const auto& problem :
            triangulated_surface_problems( mesh, shared ) )
        {
            checker.add_problem( problem );
        }
        return checker.result();
    }

    template < index_t dimension >
    ::testing::AssertionResult is_valid_surface_around(
        const TriangulatedSurface< dimension >& mesh,
        absl::Span< const index_t > vertices,
        const SurfaceEditCheckOptions& options )
    {
        SurfaceChecker< dimension > checker{ mesh, options };
        absl::flat_hash_set< index_t > around;
        for( const auto vertex : vertices )
        {
            around.insert( vertex );
            if( vertex >= mesh.nb_vertices() )
            {
                return ::testing::AssertionFailure()
                       << "vertex " << vertex << " does not exist";
            }
            for( const auto neighbour : mesh.vertices_around_vertex( vertex ) )
            {
                around.insert( neighbour );
            }
        }
        std::vector< index_t > polygons;
        for( const auto vertex : around )
        {
            for( const auto& corner : mesh.polygons_around_vertex( vertex ) )
            {
                polygons.push_back( corner.polygon_id );
            }
        }
        std::sort( polygons.begin(), polygons.end() );
        polygons.erase(
            std::unique( polygons.begin(), polygons.end() ), polygons.end() );
        checker.check_polygons( polygons );
        checker.check_pairs( &around );
        std::vector< index_t > sorted( around.begin(), around.end() );
        std::sort( sorted.begin(), sorted.end() );
        checker.check_vertices( sorted );
        return checker.result();
    }

    template EditableSurface< 2 > make_surface(
        const std::vector< std::array< double, 3 > >&,
        const std::vector< std::array< index_t, 3 > >& );
    template EditableSurface< 3 > make_surface(
        const std::vector< std::array< double, 3 > >&,
        const std::vector< std::array< index_t, 3 > >& );
    template EditableSurface< 2 > make_square();
    template EditableSurface< 3 > make_square();
    template EditableSurface< 2 > make_hexagonal_fan();
    template EditableSurface< 3 > make_hexagonal_fan();
    template EditableSurface< 2 > make_strip( index_t );
    template EditableSurface< 3 > make_strip( index_t );
    template EditableSurface< 2 > make_grid( index_t, index_t );
    template EditableSurface< 3 > make_grid( index_t, index_t );
    template index_t nb_active_polygons( const TriangulatedSurface< 2 >& );
    template index_t nb_active_polygons( const TriangulatedSurface< 3 >& );
    template ::testing::AssertionResult is_valid_surface(
        const TriangulatedSurface< 2 >&, const SurfaceEditCheckOptions& );
    template ::testing::AssertionResult is_valid_surface(
        const TriangulatedSurface< 3 >&, const SurfaceEditCheckOptions& );
    template ::testing::AssertionResult is_valid_surface_around(
        const TriangulatedSurface< 2 >&, absl::Span< const index_t >,
        const SurfaceEditCheckOptions& );
    template ::testing::AssertionResult is_valid_surface_around(
        const TriangulatedSurface< 3 >&, absl::Span< const index_t >,
        const SurfaceEditCheckOptions& );
} // namespace orvane::test
