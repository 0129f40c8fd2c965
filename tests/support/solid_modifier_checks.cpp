#include <tests/support/solid_modifier_checks.hpp>

#include <algorithm>
#include <array>

#include <absl/container/flat_hash_map.h>
#include <absl/container/inlined_vector.h>
#include <absl/strings/str_cat.h>
#include <absl/strings/str_join.h>

#include <openorvane/basic/attribute_manager.hpp>
#include <openorvane/basic/variable_attribute.hpp>
#include <openorvane/geometry/mensuration.hpp>

#include <openorvane/geometry/predicates.hpp>

#include <tests/support/active_flags.hpp>

namespace
{
    /// Reports a facet whose neighbour is dead or out of range, or does not
    /// point back to the facet's tetrahedron.
    template < typename Live, typename Problem >
    void check_adjacent( const orvane::TetrahedralSolid< 3 >& solid,
        const orvane::PolyhedronFacet& facet,
        orvane::index_t adjacent,
        const Live& live,
        const Problem& problem )
    {
        if( !live( adjacent ) )
        {
            problem( "facet ", facet.string(), " points to dead or invalid tetrahedron ",
                adjacent );
            return;
        }
        const auto back = solid.polyhedron_adjacent_facet( facet );
        if( !back || solid.polyhedron_adjacent( back.value() ) != facet.polyhedron_id )
        {
            problem( "facet ", facet.string(), " is not pointed back by tetrahedron ",
                adjacent );
        }
    }

    std::array< orvane::index_t, 3 > sorted(
        const orvane::PolyhedronFacetVertices& vertices )
    {
        std::array< orvane::index_t, 3 > result{ vertices[0], vertices[1],
            vertices[2] };
        std::sort( result.begin(), result.end() );
        return result;
    }
} // namespace

namespace orvane
{
    namespace test
    {
        std::vector< std::string > modified_solid_problems(
            const TetrahedralSolid< 3 >& solid )
        {
            std::vector< std::string > problems;
            const auto problem = [&]( const auto&... pieces ) {
                problems.push_back( absl::StrCat( pieces... ) );
            };
            const ActiveFlags active{ solid.polyhedron_attribute_manager() };
            const auto nb_polyhedra = solid.nb_polyhedra();
            std::vector< bool > live( nb_polyhedra );
            for( index_t t = 0; t < nb_polyhedra; t++ )
            {
                live[t] = active( t );
            }

            // Live tetrahedra: distinct vertices, positive volume, facet uses.
            absl::flat_hash_map< std::array< index_t, 3 >,
                absl::InlinedVector< PolyhedronFacet, 2 > >
                uses;
            std::vector< index_t > nb_users( solid.nb_vertices(), 0 );
            for( index_t t = 0; t < nb_polyhedra; t++ )
            {
                if( !live[t] )
                {
                    continue;
                }
                auto vertices = solid.polyhedron_vertices( t );
                for( const auto v : vertices )
                {
                    nb_users[v]++;
                }
                std::sort( vertices.begin(), vertices.end() );
                if( std::adjacent_find( vertices.begin(), vertices.end() )
                    != vertices.end() )
                {
                    problem( "tetrahedron ", t, " repeats a vertex" );
                }
                if( tetrahedron_volume_sign( solid.tetrahedron( t ) )
                    != SIDE::positive )
                {
                    problem( "tetrahedron ", t, " is not positive" );
                }
                for( local_index_t f = 0; f < 4; f++ )
                {
                    uses[sorted( solid.polyhedron_facet_vertices( { t, f } ) )]
                        .emplace_back( t, f );
                }
            }

            // Adjacency: live to live, mutual, and complete where a facet
            // has two uses.
            for( index_t t = 0; t < nb_polyhedra; t++ )
            {
                if( !live[t] )
                {
                    continue;
                }
                for( local_index_t f = 0; f < 4; f++ )
                {
                    const PolyhedronFacet facet{ t, f };
                    const auto key = sorted( solid.polyhedron_facet_vertices( facet ) );
                    const auto& facet_uses = uses.at( key );
                    const auto adjacent = solid.polyhedron_adjacent( facet );
                    if( !adjacent )
                    {
                        if( facet_uses.size() == 2 )
                        {
                            problem( "facet ", facet.string(),
                                " is shared with another live tetrahedron but "
                                "has no adjacency" );
                        }
                        continue;
                    }
                    check_adjacent( solid, facet, adjacent.value(),
                        [&]( index_t other ) {
                            return other < nb_polyhedra && live[other];
                        },
                        problem );
                }
            }
            std::vector< std::array< index_t, 3 > > crowded;
            for( const auto& [facet, facet_uses] : uses )
            {
                if( facet_uses.size() > 2 )
                {
                    crowded.push_back( facet );
                }
            }
            std::sort( crowded.begin(), crowded.end() );
            for( const auto& facet : crowded )
            {
                problem( "facet (", absl::StrJoin( facet, ", " ), ") is used by ",
                    uses.at( facet ).size(), " live tetrahedra" );
            }

            // Vertex associations and fans reach live tetrahedra only.
            for( index_t v = 0; v < solid.nb_vertices(); v++ )
            {
                const auto stored = solid.polyhedron_around_vertex( v );
                if( !stored )
                {
                    if( nb_users[v] != 0 )
                    {
                        problem( "vertex ", v, " is used but not associated" );
                    }
                    continue;
                }
                if( stored->polyhedron_id >= nb_polyhedra
                    || !live[stored->polyhedron_id]
                    || solid.polyhedron_vertex( stored.value() ) != v )
                {
                    problem( "vertex ", v, " is associated with ",
                        stored->string(), ", dead or not holding it" );
                    continue;
                }
                const auto fan = solid.polyhedra_around_vertex( v );
                if( fan.size() != nb_users[v] )
                {
                    problem( "polyhedra_around_vertex(", v, ") gives ", fan.size(),
                        " tetrahedra, the vertex is used by ", nb_users[v] );
                }
            }

            // Tables hold every facet and edge of the live tetrahedra, and a
            // facet is active exactly when a live tetrahedron uses it.
            if( solid.are_edges_enabled() )
            {
                const auto& edges = solid.edges();
                for( index_t t = 0; t < nb_polyhedra; t++ )
                {
                    if( !live[t] )
                    {
                        continue;
                    }
                    const auto vertices = solid.polyhedron_vertices( t );
                    for( local_index_t a = 0; a < 4; a++ )
                    {
                        for( local_index_t b = a + 1; b < 4; b++ )
                        {
                            if( !edges.edge_from_vertices(
                                    { vertices[a], vertices[b] } ) )
                            {
                                problem( "edge (", vertices[a], ", ", vertices[b],
                                    ") is missing from the edge table" );
                            }
                        }
                    }
                }
            }
            if( solid.are_facets_enabled() )
            {
                const auto& facets = solid.facets();
                const ActiveFlags facet_flags{ facets.facet_attribute_manager() };
                for( index_t facet = 0; facet < facets.nb_facets(); facet++ )
                {
                    const auto& vertices = facets.facet_vertices( facet );
                    const auto used =
                        std::find( vertices.begin(), vertices.end(), NO_ID )
                            == vertices.end()
                        && uses.contains( sorted( vertices ) );
                    if( facet_flags.exists() && used != facet_flags( facet ) )
                    {
                        problem( "facet ", facet, " (",
                            absl::StrJoin( vertices, ", " ), ") is ",
                            facet_flags( facet ) ? "active" : "inactive",
                            " but ", used ? "used" : "unused",
                            " by live tetrahedra" );
                    }
                }
                for( const auto& [key, facet_uses] : uses )
                {
                    if( !facets.facet_from_vertices( { key[0], key[1], key[2] } ) )
                    {
                        problem( "facet (", absl::StrJoin( key, ", " ),
                            ") is missing from the facet table" );
                    }
                }
            }
            return problems;
        }

        std::vector< std::string > modified_solid_problems_around(
            const TetrahedralSolid< 3 >& solid,
            const std::vector< index_t >& tetrahedra )
        {
            std::vector< std::string > problems;
            const auto problem = [&]( const auto&... pieces ) {
                problems.push_back( absl::StrCat( pieces... ) );
            };
            const ActiveFlags active{ solid.polyhedron_attribute_manager() };
            const auto nb_polyhedra = solid.nb_polyhedra();
            const auto live = [&]( index_t t ) {
                return t < nb_polyhedra && active( t );
            };
            std::vector< index_t > checked;
            for( const auto t : tetrahedra )
            {
                if( !live( t ) )
                {
                    continue;
                }
                checked.push_back( t );
            }
            std::sort( checked.begin(), checked.end() );
            checked.erase(
                std::unique( checked.begin(), checked.end() ), checked.end() );

            // The fans of the vertices met, computed once each.
            absl::flat_hash_map< index_t, PolyhedraAroundVertex > fans;
            const auto fan_of = [&]( index_t v ) -> const PolyhedraAroundVertex& {
                auto found = fans.find( v );
                if( found == fans.end() )
                {
                    found = fans.emplace( v, solid.polyhedra_around_vertex( v ) )
                                .first;
                }
                return found->second;
            };
            // The vertices of the tetrahedra met, read once each.
            absl::flat_hash_map< index_t, std::array< index_t, 4 > > corners_of;
            const auto holds = [&]( index_t t, index_t v ) {
                auto found = corners_of.find( t );
                if( found == corners_of.end() )
                {
                    const auto corners = solid.polyhedron_vertices( t );
                    found = corners_of
                                .emplace( t, std::array< index_t, 4 >{ corners[0],
                                                 corners[1], corners[2], corners[3] } )
                                .first;
                }
                const auto& corners = found->second;
                return std::find( corners.begin(), corners.end(), v ) != corners.end();
            };
            std::vector< index_t > vertices;
            for( const auto t : checked )
            {
                auto corners = solid.polyhedron_vertices( t );
                vertices.insert( vertices.end(), corners.begin(), corners.end() );
                std::sort( corners.begin(), corners.end() );
                if( std::adjacent_find( corners.begin(), corners.end() )
                    != corners.end() )
                {
                    problem( "tetrahedron ", t, " repeats a vertex" );
                    continue;
                }
                if( tetrahedron_volume_sign( solid.tetrahedron( t ) )
                    != SIDE::positive )
                {
                    problem( "tetrahedron ", t, " is not positive" );
                }
                for( local_index_t f = 0; f < 4; f++ )
                {
                    const PolyhedronFacet facet{ t, f };
                    const auto facet_vertices =
                        solid.polyhedron_facet_vertices( facet );
                    const auto adjacent = solid.polyhedron_adjacent( facet );
                    if( !adjacent )
                    {
                        // A border facet: no other live tetrahedron around
                        // its first vertex may hold it.
                        for( const auto& around : fan_of( facet_vertices[0] ) )
                        {
                            if( around.polyhedron_id != t
                                && live( around.polyhedron_id )
                                && holds( around.polyhedron_id, facet_vertices[1] )
                                && holds( around.polyhedron_id, facet_vertices[2] ) )
                            {
                                problem( "facet ", facet.string(),
                                    " is shared with tetrahedron ",
                                    around.polyhedron_id, " but has no adjacency" );
                            }
                        }
                        continue;
                    }
                    check_adjacent( solid, facet, adjacent.value(), live, problem );
                }
                if( solid.are_edges_enabled() )
                {
                    const auto corners_in_order = solid.polyhedron_vertices( t );
                    for( local_index_t a = 0; a < 4; a++ )
                    {
                        for( local_index_t b = a + 1; b < 4; b++ )
                        {
                            if( !solid.edges().edge_from_vertices(
                                    { corners_in_order[a], corners_in_order[b] } ) )
                            {
                                problem( "an edge of tetrahedron ", t,
                                    " is missing from the edge table" );
                            }
                        }
                    }
                }
                if( solid.are_facets_enabled() )
                {
                    const ActiveFlags facet_flags{
                        solid.facets().facet_attribute_manager() };
                    for( local_index_t f = 0; f < 4; f++ )
                    {
                        const auto facet = solid.facets().facet_from_vertices(
                            solid.polyhedron_facet_vertices( { t, f } ) );
                        if( !facet )
                        {
                            problem( "facet ", PolyhedronFacet{ t, f }.string(),
                                " is missing from the facet table" );
                        }
                        else if( !facet_flags( facet.value() ) )
                        {
                            problem( "facet ", facet.value(), " of live tetrahedron ",
                                t, " is inactive" );
                        }
                    }
                }
            }

            // Each checked tetrahedron is in the fans of its vertices.
            for( const auto t : checked )
            {
                for( const auto v : solid.polyhedron_vertices( t ) )
                {
                    const auto& fan = fan_of( v );
                    if( std::none_of( fan.begin(), fan.end(),
                            [t]( const PolyhedronVertex& around ) {
                                return around.polyhedron_id == t;
                            } ) )
                    {
                        problem( "polyhedra_around_vertex(", v,
                            ") misses tetrahedron ", t );
                    }
                }
            }
            std::sort( vertices.begin(), vertices.end() );
            vertices.erase(
                std::unique( vertices.begin(), vertices.end() ), vertices.end() );
            for( const auto v : vertices )
            {
                const auto stored = solid.polyhedron_around_vertex( v );
                if( !stored || !live( stored->polyhedron_id )
                    || solid.polyhedron_vertex( stored.value() ) != v )
                {
                    problem( "vertex ", v,
                        " is not associated with a live tetrahedron holding it" );
                    continue;
                }
                for( const auto& around : fan_of( v ) )
                {
                    if( !live( around.polyhedron_id )
                        || solid.polyhedron_vertex( around ) != v )
                    {
                        problem( "polyhedra_around_vertex(", v,
                            ") reaches a dead tetrahedron or one not holding it" );
                    }
                }
            }
            return problems;
        }

        ::testing::AssertionResult is_valid_modified_solid(
            const TetrahedralSolid< 3 >& solid )
        {
            const auto problems = modified_solid_problems( solid );
            if( problems.empty() )
            {
                return ::testing::AssertionSuccess();
            }
            auto result = ::testing::AssertionFailure();
            result << problems.size() << " problem(s):";
            for( std::size_t i = 0; i < std::min< std::size_t >( problems.size(), 20 );
                 i++ )
            {
                result << "\n  " << problems[i];
            }
            return result;
        }

        index_t nb_live_tetrahedra( const TetrahedralSolid< 3 >& solid )
        {
            const ActiveFlags active{ solid.polyhedron_attribute_manager() };
            index_t count{ 0 };
            for( index_t t = 0; t < solid.nb_polyhedra(); t++ )
            {
                count += active( t ) ? 1 : 0;
            }
            return count;
        }

        double live_volume( const TetrahedralSolid< 3 >& solid )
        {
            const ActiveFlags active{ solid.polyhedron_attribute_manager() };
            double volume{ 0 };
            for( index_t t = 0; t < solid.nb_polyhedra(); t++ )
            {
                if( active( t ) )
                {
                    volume += tetrahedron_signed_volume( solid.tetrahedron( t ) );
                }
            }
            return volume;
        }
    } // namespace test
} // namespace orvane
