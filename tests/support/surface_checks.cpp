#include <tests/support/surface_checks.hpp>

#include <algorithm>
#include <map>
#include <memory>
#include <set>

#include <absl/strings/str_cat.h>
#include <absl/strings/str_join.h>

#include <openorvane/basic/attribute_manager.hpp>
#include <openorvane/geometry/predicates.hpp>

#include <tests/support/active_flags.hpp>

namespace orvane
{
    namespace test
    {
        namespace
        {
            ::testing::AssertionResult as_assertion(
                const std::vector< std::string >& problems )
            {
                if( problems.empty() )
                {
                    return ::testing::AssertionSuccess();
                }
                const auto nb_shown = std::min< std::size_t >( problems.size(), 20 );
                return ::testing::AssertionFailure()
                       << problems.size() << " problem(s):\n"
                       << absl::StrJoin( problems.begin(),
                              problems.begin() + static_cast< long >( nb_shown ),
                              "\n" );
            }

            bool is_degenerate( const Triangle< 2 >& triangle )
            {
                return triangle_area_sign( triangle ) == SIDE::zero;
            }

            bool is_degenerate( const Triangle< 3 >& triangle )
            {
                for( local_index_t axis = 0; axis < 3; axis++ )
                {
                    if( triangle_area_sign( triangle, axis ) != SIDE::zero )
                    {
                        return false;
                    }
                }
                return true;
            }

            template < index_t dimension >
            class SurfaceChecker
            {
            public:
                SurfaceChecker( const TriangulatedSurface< dimension >& surface,
                    const SurfaceCheckOptions& options )
                    : surface_( surface ),
                      options_( options ),
                      active_( options.skip_inactive
                                   ? ActiveFlags{ surface.polygon_attribute_manager() }
                                   : ActiveFlags{} )
                {
                }

                std::vector< std::string > run()
                {
                    check_sizes();
                    check_polygons();
                    if( !problems_.empty() )
                    {
                        // Later checks read the polygons' vertices.
                        return problems_;
                    }
                    check_adjacencies();
                    check_edge_uses();
                    check_associations();
                    if( options_.check_vertex_fans )
                    {
                        check_fans();
                    }
                    if( surface_.are_edges_enabled() )
                    {
                        check_edge_table();
                    }
                    return problems_;
                }

            private:
                template < typename... Pieces >
                void problem( const Pieces&... pieces )
                {
                    problems_.push_back( absl::StrCat( pieces... ) );
                }

                bool live( index_t polygon ) const
                {
                    return active_( polygon );
                }

                void check_sizes()
                {
                    if( surface_.vertex_attribute_manager().nb_elements()
                        != surface_.nb_vertices() )
                    {
                        problem( "vertex attributes hold ",
                            surface_.vertex_attribute_manager().nb_elements(),
                            " values for ", surface_.nb_vertices(), " vertices" );
                    }
                    if( surface_.polygon_attribute_manager().nb_elements()
                        != surface_.nb_polygons() )
                    {
                        problem( "polygon attributes hold ",
                            surface_.polygon_attribute_manager().nb_elements(),
                            " values for ", surface_.nb_polygons(), " polygons" );
                    }
                    if( surface_.are_edges_enabled()
                        && surface_.edges().edge_attribute_manager().nb_elements()
                               != surface_.edges().nb_edges() )
                    {
                        problem( "edge attributes hold ",
                            surface_.edges().edge_attribute_manager().nb_elements(),
                            " values for ", surface_.edges().nb_edges(), " edges" );
                    }
                }

                void check_polygons()
                {
                    for( index_t p = 0; p < surface_.nb_polygons(); p++ )
                    {
                        if( !live( p ) )
                        {
                            continue;
                        }
                        const auto vertices = surface_.polygon_vertices( p );
                        for( const auto vertex : vertices )
                        {
                            if( vertex >= surface_.nb_vertices() )
                            {
                                problem( "polygon ", p, " names vertex ", vertex,
                                    " out of range" );
                                return;
                            }
                        }
                        if( vertices[0] == vertices[1] || vertices[1] == vertices[2]
                            || vertices[0] == vertices[2] )
                        {
                            problem( "polygon ", p, " repeats a vertex (",
                                absl::StrJoin( vertices, ", " ), ")" );
                        }
                        else if( options_.check_degenerate
                                 && is_degenerate( surface_.triangle( p ) ) )
                        {
                            problem( "polygon ", p, " is degenerate" );
                        }
                    }
                }

                void check_adjacencies()
                {
                    for( index_t p = 0; p < surface_.nb_polygons(); p++ )
                    {
                        if( !live( p ) )
                        {
                            continue;
                        }
                        for( local_index_t e = 0; e < 3; e++ )
                        {
                            const PolygonEdge edge{ p, e };
                            const auto adjacent = surface_.polygon_adjacent( edge );
                            if( !adjacent )
                            {
                                continue;
                            }
                            const auto q = adjacent.value();
                            const auto where = absl::StrCat( "polygon edge ", edge.string() );
                            if( q >= surface_.nb_polygons() )
                            {
                                problem( where, " points to polygon ", q, " out of range" );
                                continue;
                            }
                            if( !live( q ) )
                            {
                                problem( where, " points to inactive polygon ", q );
                                continue;
                            }
                            if( q == p )
                            {
                                problem( where, " points to its own polygon" );
                                continue;
                            }
                            const auto [from, to] = surface_.polygon_edge_vertices( edge );
                            std::optional< PolygonEdge > shared;
                            bool reversed{ false };
                            for( local_index_t f = 0; f < 3; f++ )
                            {
                                const auto [a, b] =
                                    surface_.polygon_edge_vertices( { q, f } );
                                if( a == to && b == from )
                                {
                                    shared = PolygonEdge{ q, f };
                                    reversed = true;
                                }
                                else if( a == from && b == to && !shared )
                                {
                                    shared = PolygonEdge{ q, f };
                                }
                            }
                            if( !shared )
                            {
                                problem( where, " points to polygon ", q,
                                    " which lacks the edge (", from, ", ", to, ")" );
                                continue;
                            }
                            if( options_.check_orientation && !reversed )
                            {
                                problem( where, " and its neighbour ", q,
                                    " run their shared edge in the same direction" );
                            }
                            const auto back = surface_.polygon_adjacent( shared.value() );
                            if( !back || back.value() != p )
                            {
                                problem( where, " points to ", q,
                                    " but its edge ", shared->string(), " points to ",
                                    back ? absl::StrCat( back.value() ) : "nothing" );
                            }
                        }
                    }
                }

                void check_edge_uses()
                {
                    struct Use
                    {
                        PolygonEdge edge;
                        bool from_smaller;
                    };
                    std::map< std::pair< index_t, index_t >, std::vector< Use > > uses;
                    for( index_t p = 0; p < surface_.nb_polygons(); p++ )
                    {
                        if( !live( p ) )
                        {
                            continue;
                        }
                        for( local_index_t e = 0; e < 3; e++ )
                        {
                            const auto [a, b] = surface_.polygon_edge_vertices( { p, e } );
                            uses[{ std::min( a, b ), std::max( a, b ) }].push_back(
                                { { p, e }, a < b } );
                        }
                    }
                    for( const auto& [pair, list] : uses )
                    {
                        if( options_.check_manifold_edges && list.size() > 2 )
                        {
                            problem( "edge (", pair.first, ", ", pair.second,
                                ") is used by ", list.size(), " polygon edges" );
                        }
                        if( options_.check_complete_adjacency && list.size() == 2
                            && list[0].from_smaller != list[1].from_smaller )
                        {
                            const auto adjacent = surface_.polygon_adjacent( list[0].edge );
                            if( !adjacent || adjacent.value() != list[1].edge.polygon_id )
                            {
                                problem( "polygon edges ", list[0].edge.string(), " and ",
                                    list[1].edge.string(), " face each other but are not linked" );
                            }
                        }
                    }
                }

                void check_associations()
                {
                    std::vector< bool > used( surface_.nb_vertices(), false );
                    for( index_t p = 0; p < surface_.nb_polygons(); p++ )
                    {
                        if( live( p ) )
                        {
                            for( const auto vertex : surface_.polygon_vertices( p ) )
                            {
                                used[vertex] = true;
                            }
                        }
                    }
                    for( index_t v = 0; v < surface_.nb_vertices(); v++ )
                    {
                        const auto stored = surface_.polygon_around_vertex( v );
                        if( !stored )
                        {
                            if( used[v] )
                            {
                                problem( "vertex ", v,
                                    " is used by a polygon but is isolated" );
                            }
                            continue;
                        }
                        if( stored->polygon_id >= surface_.nb_polygons()
                            || stored->vertex_id >= 3 )
                        {
                            problem( "vertex ", v, " is associated with ",
                                stored->string(), " out of range" );
                            continue;
                        }
                        if( surface_.polygon_vertex( stored.value() ) != v )
                        {
                            problem( "vertex ", v, " is associated with ",
                                stored->string(), " which holds vertex ",
                                surface_.polygon_vertex( stored.value() ) );
                        }
                        if( !live( stored->polygon_id ) )
                        {
                            problem( "vertex ", v,
                                " is associated with inactive polygon ",
                                stored->polygon_id );
                        }
                    }
                }

                void check_fans()
                {
                    std::vector< std::set< index_t > > expected( surface_.nb_vertices() );
                    for( index_t p = 0; p < surface_.nb_polygons(); p++ )
                    {
                        if( live( p ) )
                        {
                            for( const auto vertex : surface_.polygon_vertices( p ) )
                            {
                                expected[vertex].insert( p );
                            }
                        }
                    }
                    for( index_t v = 0; v < surface_.nb_vertices(); v++ )
                    {
                        std::set< index_t > reached;
                        for( const auto& corner : surface_.polygons_around_vertex( v ) )
                        {
                            if( corner.polygon_id >= surface_.nb_polygons()
                                || surface_.polygon_vertex( corner ) != v )
                            {
                                problem( "fan of vertex ", v, " holds ",
                                    corner.string(), " which does not name the vertex" );
                                continue;
                            }
                            if( !reached.insert( corner.polygon_id ).second )
                            {
                                problem( "fan of vertex ", v, " repeats polygon ",
                                    corner.polygon_id );
                            }
                        }
                        if( reached != expected[v] )
                        {
                            problem( "fan of vertex ", v, " reaches {",
                                absl::StrJoin( reached, ", " ),
                                "} instead of its polygons {",
                                absl::StrJoin( expected[v], ", " ), "}" );
                        }
                    }
                }

                void check_edge_table()
                {
                    const auto& edges = surface_.edges();
                    for( index_t p = 0; p < surface_.nb_polygons(); p++ )
                    {
                        if( !live( p ) )
                        {
                            continue;
                        }
                        for( local_index_t e = 0; e < 3; e++ )
                        {
                            const auto vertices = surface_.polygon_edge_vertices( { p, e } );
                            const auto edge = edges.edge_from_vertices( vertices );
                            if( !edge )
                            {
                                problem( "polygon edge ", PolygonEdge{ p, e }.string(),
                                    " is missing from the edge table" );
                                continue;
                            }
                            auto stored = edges.edge_vertices( edge.value() );
                            auto given = vertices;
                            std::sort( stored.begin(), stored.end() );
                            std::sort( given.begin(), given.end() );
                            if( stored != given )
                            {
                                problem( "edge ", edge.value(), " found for (",
                                    vertices[0], ", ", vertices[1], ") holds other vertices" );
                            }
                        }
                    }
                    for( index_t e = 0; e < edges.nb_edges(); e++ )
                    {
                        const auto& vertices = edges.edge_vertices( e );
                        if( vertices[0] == NO_ID || vertices[1] == NO_ID )
                        {
                            continue;
                        }
                        const auto found = edges.edge_from_vertices( vertices );
                        if( !found || found.value() != e )
                        {
                            problem( "edge ", e, " (", vertices[0], ", ", vertices[1],
                                ") is not found from its vertices" );
                        }
                    }
                }

            private:
                const TriangulatedSurface< dimension >& surface_;
                const SurfaceCheckOptions& options_;
                ActiveFlags active_;
                std::vector< std::string > problems_;
            };
        } // namespace

        template < index_t dimension >
        std::vector< std::string > triangulated_surface_problems(
            const TriangulatedSurface< dimension >& surface,
            const SurfaceCheckOptions& options )
        {
            return SurfaceChecker< dimension >{ surface, options }.run();
        }

        template < index_t dimension >
        ::testing::AssertionResult is_valid_triangulated_surface(
            const TriangulatedSurface< dimension >& surface,
            const SurfaceCheckOptions& options )
        {
            return as_assertion( triangulated_surface_problems( surface, options ) );
        }

        std::vector< std::string > graph_problems( const Graph& graph )
        {
            std::vector< std::string > problems;
            if( graph.edge_attribute_manager().nb_elements() != graph.nb_edges() )
            {
                problems.push_back( absl::StrCat( "edge attributes hold ",
                    graph.edge_attribute_manager().nb_elements(), " values for ",
                    graph.nb_edges(), " edges" ) );
            }
            for( index_t e = 0; e < graph.nb_edges(); e++ )
            {
                for( local_index_t k = 0; k < 2; k++ )
                {
                    const EdgeVertex end{ e, k };
                    const auto vertex = graph.edge_vertex( end );
                    if( vertex == NO_ID )
                    {
                        continue;
                    }
                    if( vertex >= graph.nb_vertices() )
                    {
                        problems.push_back( absl::StrCat(
                            "edge end ", end.string(), " names vertex ", vertex, " out of range" ) );
                        continue;
                    }
                    const auto& list = graph.edges_around_vertex( vertex );
                    const auto count = std::count( list.begin(), list.end(), end );
                    if( count != 1 )
                    {
                        problems.push_back( absl::StrCat( "edge end ", end.string(),
                            " is listed ", count, " times around vertex ", vertex ) );
                    }
                }
            }
            for( index_t v = 0; v < graph.nb_vertices(); v++ )
            {
                for( const auto& end : graph.edges_around_vertex( v ) )
                {
                    if( end.edge_id >= graph.nb_edges() || graph.edge_vertex( end ) != v )
                    {
                        problems.push_back( absl::StrCat( "vertex ", v, " lists edge end ",
                            end.string(), " which does not name it" ) );
                    }
                }
            }
            return problems;
        }

        ::testing::AssertionResult is_valid_graph( const Graph& graph )
        {
            return as_assertion( graph_problems( graph ) );
        }

        template std::vector< std::string > triangulated_surface_problems< 2 >(
            const TriangulatedSurface< 2 >&, const SurfaceCheckOptions& );
        template std::vector< std::string > triangulated_surface_problems< 3 >(
            const TriangulatedSurface< 3 >&, const SurfaceCheckOptions& );
        template ::testing::AssertionResult is_valid_triangulated_surface< 2 >(
            const TriangulatedSurface< 2 >&, const SurfaceCheckOptions& );
        template ::testing::AssertionResult is_valid_triangulated_surface< 3 >(
            const TriangulatedSurface< 3 >&, const SurfaceCheckOptions& );
    } // namespace test
} // namespace orvane
