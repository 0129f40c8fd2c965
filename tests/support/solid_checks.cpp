#include <tests/support/solid_checks.hpp>

#include <algorithm>

#include <absl/container/flat_hash_map.h>
#include <absl/strings/str_cat.h>

#include <openorvane/basic/attribute_manager.hpp>
#include <openorvane/basic/variable_attribute.hpp>
#include <openorvane/geometry/predicates.hpp>

#include <tests/support/active_flags.hpp>

namespace orvane
{
    namespace test
    {
        namespace
        {
            PolyhedronFacetVertices sorted( PolyhedronFacetVertices vertices )
            {
                std::sort( vertices.begin(), vertices.end() );
                return vertices;
            }

            /// True when the two vertex lists are the same cycle reversed.
            bool opposite_orientation( const PolyhedronFacetVertices& lhs,
                const PolyhedronFacetVertices& rhs )
            {
                for( std::size_t shift = 0; shift < 3; shift++ )
                {
                    if( lhs[0] == rhs[shift] && lhs[1] == rhs[( shift + 2 ) % 3]
                        && lhs[2] == rhs[( shift + 1 ) % 3] )
                    {
                        return true;
                    }
                }
                return false;
            }

            class SolidChecker
            {
            public:
                SolidChecker( const TetrahedralSolid< 3 >& solid,
                    const SolidCheckOptions& options )
                    : solid_( solid ),
                      options_( options ),
                      active_( options.skip_inactive
                                   ? ActiveFlags{ solid.polyhedron_attribute_manager() }
                                   : ActiveFlags{} )
                {
                }

                std::vector< std::string > run()
                {
                    check_sizes();
                    if( !problems_.empty() )
                    {
                        return problems_;
                    }
                    index_live_facets();
                    for( index_t t = 0; t < solid_.nb_polyhedra(); t++ )
                    {
                        if( is_live( t ) )
                        {
                            check_tetrahedron( t );
                        }
                    }
                    check_vertices();
                    check_edges();
                    check_facets();
                    return problems_;
                }

            private:
                bool is_live( index_t tetrahedron ) const
                {
                    return active_( tetrahedron );
                }

                template < typename... Pieces >
                void problem( const Pieces&... pieces )
                {
                    problems_.push_back( absl::StrCat( pieces... ) );
                }

                void check_sizes()
                {
                    if( solid_.polyhedron_attribute_manager().nb_elements()
                        != solid_.nb_polyhedra() )
                    {
                        problem( "polyhedron attributes sized ",
                            solid_.polyhedron_attribute_manager().nb_elements(),
                            " for ", solid_.nb_polyhedra(), " polyhedra" );
                    }
                    if( solid_.vertex_attribute_manager().nb_elements()
                        != solid_.nb_vertices() )
                    {
                        problem( "vertex attributes sized ",
                            solid_.vertex_attribute_manager().nb_elements(),
                            " for ", solid_.nb_vertices(), " vertices" );
                    }
                    for( index_t t = 0; t < solid_.nb_polyhedra(); t++ )
                    {
                        for( const auto vertex : solid_.polyhedron_vertices( t ) )
                        {
                            if( vertex >= solid_.nb_vertices() )
                            {
                                problem( "tetrahedron ", t,
                                    " has an invalid vertex ", vertex );
                            }
                        }
                    }
                }

                void check_tetrahedron( index_t t )
                {
                    auto vertices = solid_.polyhedron_vertices( t );
                    std::sort( vertices.begin(), vertices.end() );
                    if( std::adjacent_find( vertices.begin(), vertices.end() )
                        != vertices.end() )
                    {
                        problem( "tetrahedron ", t, " repeats a vertex" );
                        return;
                    }
                    if( options_.check_orientation
                        && tetrahedron_volume_sign( solid_.tetrahedron( t ) )
                               != SIDE::positive )
                    {
                        problem( "tetrahedron ", t, " is not positive" );
                    }
                    for( local_index_t f = 0; f < 4; f++ )
                    {
                        check_facet( { t, f } );
                    }
                }

                void check_facet( const PolyhedronFacet& facet )
                {
                    const auto vertices = solid_.polyhedron_facet_vertices( facet );
                    const auto adjacent = solid_.polyhedron_adjacent( facet );
                    if( !adjacent )
                    {
                        if( options_.check_complete_adjacency )
                        {
                            check_missing_adjacency( facet, vertices );
                        }
                        return;
                    }
                    const auto other = adjacent.value();
                    const auto where = absl::StrCat( "facet ", facet.string() );
                    if( other >= solid_.nb_polyhedra() )
                    {
                        problem( where, " points to invalid polyhedron ", other );
                        return;
                    }
                    if( other == facet.polyhedron_id )
                    {
                        problem( where, " is adjacent to its own polyhedron" );
                        return;
                    }
                    if( !is_live( other ) )
                    {
                        problem( where, " points to inactive polyhedron ", other );
                        return;
                    }
                    const auto other_facet = solid_.polyhedron_adjacent_facet( facet );
                    if( !other_facet )
                    {
                        problem( where, " has no matching facet in polyhedron ",
                            other );
                        return;
                    }
                    if( solid_.polyhedron_adjacent( other_facet.value() )
                        != facet.polyhedron_id )
                    {
                        problem( where, " is not pointed back by ",
                            other_facet->string() );
                    }
                    if( !opposite_orientation( vertices,
                            solid_.polyhedron_facet_vertices( other_facet.value() ) ) )
                    {
                        problem( where, " and ", other_facet->string(),
                            " have the same orientation" );
                    }
                }

                void check_missing_adjacency( const PolyhedronFacet& facet,
                    const PolyhedronFacetVertices& vertices )
                {
                    const auto& uses = facet_uses_.at( sorted( vertices ) );
                    if( uses.size() != 2 )
                    {
                        return;
                    }
                    const auto& other =
                        uses[0] == facet ? uses[1] : uses[0];
                    if( opposite_orientation( vertices,
                            solid_.polyhedron_facet_vertices( other ) ) )
                    {
                        problem( "facet ", facet.string(),
                            " faces ", other.string(), " but has no adjacency" );
                    }
                }

                void index_live_facets()
                {
                    for( index_t t = 0; t < solid_.nb_polyhedra(); t++ )
                    {
                        if( !is_live( t ) )
                        {
                            continue;
                        }
                        for( local_index_t f = 0; f < 4; f++ )
                        {
                            facet_uses_[sorted( solid_.polyhedron_facet_vertices(
                                            { t, f } ) )]
                                .emplace_back( t, f );
                        }
                    }
                }

                void check_vertices()
                {
                    std::vector< std::vector< index_t > > users(
                        solid_.nb_vertices() );
                    for( index_t t = 0; t < solid_.nb_polyhedra(); t++ )
                    {
                        if( !is_live( t ) )
                        {
                            continue;
                        }
                        for( const auto vertex : solid_.polyhedron_vertices( t ) )
                        {
                            users[vertex].push_back( t );
                        }
                    }
                    for( index_t v = 0; v < solid_.nb_vertices(); v++ )
                    {
                        const auto stored = solid_.polyhedron_around_vertex( v );
                        if( !stored )
                        {
                            if( !users[v].empty() )
                            {
                                problem( "vertex ", v,
                                    " is used but not associated" );
                            }
                            continue;
                        }
                        if( stored->polyhedron_id >= solid_.nb_polyhedra()
                            || stored->vertex_id >= 4 )
                        {
                            problem( "vertex ", v, " is associated with invalid ",
                                stored->string() );
                            continue;
                        }
                        if( solid_.polyhedron_vertex( stored.value() ) != v )
                        {
                            problem( "vertex ", v, " is associated with ",
                                stored->string(), " which holds another vertex" );
                            continue;
                        }
                        if( !is_live( stored->polyhedron_id ) )
                        {
                            problem( "vertex ", v,
                                " is associated with an inactive polyhedron" );
                            continue;
                        }
                        if( options_.check_vertex_fans )
                        {
                            check_fan( v, users[v] );
                        }
                    }
                }

                void check_fan( index_t v, std::vector< index_t > users )
                {
                    std::vector< index_t > fan;
                    for( const auto& around : solid_.polyhedra_around_vertex( v ) )
                    {
                        if( solid_.polyhedron_vertex( around ) != v )
                        {
                            problem( "polyhedra_around_vertex(", v, ") gives ",
                                around.string(), " which holds another vertex" );
                        }
                        fan.push_back( around.polyhedron_id );
                    }
                    std::sort( fan.begin(), fan.end() );
                    std::sort( users.begin(), users.end() );
                    if( fan != users )
                    {
                        problem( "polyhedra_around_vertex(", v, ") gives ",
                            fan.size(), " polyhedra, the vertex is used by ",
                            users.size() );
                    }
                }

                void check_edges()
                {
                    if( !solid_.are_edges_enabled() )
                    {
                        return;
                    }
                    const auto& edges = solid_.edges();
                    if( edges.edge_attribute_manager().nb_elements()
                        != edges.nb_edges() )
                    {
                        problem( "edge attributes sized ",
                            edges.edge_attribute_manager().nb_elements(), " for ",
                            edges.nb_edges(), " edges" );
                    }
                    for( index_t t = 0; t < solid_.nb_polyhedra(); t++ )
                    {
                        if( !is_live( t ) )
                        {
                            continue;
                        }
                        for( local_index_t f = 0; f < 4; f++ )
                        {
                            for( local_index_t e = 0; e < 3; e++ )
                            {
                                const auto ends =
                                    solid_.polyhedron_facet_edge_vertices(
                                        { { t, f }, e } );
                                const auto edge = edges.edge_from_vertices( ends );
                                if( !edge )
                                {
                                    problem( "edge (", ends[0], ", ", ends[1],
                                        ") of tetrahedron ", t,
                                        " is missing from the edge table" );
                                    continue;
                                }
                                auto stored = edges.edge_vertices( edge.value() );
                                std::sort( stored.begin(), stored.end() );
                                auto expected = ends;
                                std::sort( expected.begin(), expected.end() );
                                if( stored != expected )
                                {
                                    problem( "edge ", edge.value(),
                                        " does not hold the vertices it is "
                                        "found from" );
                                }
                            }
                        }
                    }
                }

                void check_facets()
                {
                    if( !solid_.are_facets_enabled() )
                    {
                        return;
                    }
                    const auto& facets = solid_.facets();
                    if( facets.facet_attribute_manager().nb_elements()
                        != facets.nb_facets() )
                    {
                        problem( "facet attributes sized ",
                            facets.facet_attribute_manager().nb_elements(),
                            " for ", facets.nb_facets(), " facets" );
                    }
                    for( index_t t = 0; t < solid_.nb_polyhedra(); t++ )
                    {
                        if( !is_live( t ) )
                        {
                            continue;
                        }
                        for( local_index_t f = 0; f < 4; f++ )
                        {
                            const auto vertices =
                                solid_.polyhedron_facet_vertices( { t, f } );
                            const auto facet = facets.facet_from_vertices( vertices );
                            if( !facet )
                            {
                                problem( "facet ", PolyhedronFacet{ t, f }.string(),
                                    " is missing from the facet table" );
                                continue;
                            }
                            if( sorted( facets.facet_vertices( facet.value() ) )
                                != sorted( vertices ) )
                            {
                                problem( "facet ", facet.value(),
                                    " does not hold the vertices it is found "
                                    "from" );
                            }
                        }
                    }
                }

            private:
                const TetrahedralSolid< 3 >& solid_;
                const SolidCheckOptions& options_;
                ActiveFlags active_;
                std::vector< std::string > problems_;
                absl::flat_hash_map< PolyhedronFacetVertices,
                    std::vector< PolyhedronFacet > >
                    facet_uses_;
            };
        } // namespace

        std::vector< std::string > tetrahedral_solid_problems(
            const TetrahedralSolid< 3 >& solid, const SolidCheckOptions& options )
        {
            return SolidChecker{ solid, options }.run();
        }

        ::testing::AssertionResult is_valid_tetrahedral_solid(
            const TetrahedralSolid< 3 >& solid, const SolidCheckOptions& options )
        {
            const auto problems = tetrahedral_solid_problems( solid, options );
            if( problems.empty() )
            {
                return ::testing::AssertionSuccess();
            }
            auto failure = ::testing::AssertionFailure();
            failure << problems.size() << " problem(s):";
            for( std::size_t i = 0; i < problems.size() && i < 20; i++ )
            {
                failure << "\n  " << problems[i];
            }
            return failure;
        }
    } // namespace test
} // namespace orvane
