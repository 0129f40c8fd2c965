#include <common/modifier/tetrahedral_solid_modifier_impl.hpp>

#include <algorithm>
#include <ranges>

#include <absl/container/fixed_array.h>
#include <absl/container/flat_hash_map.h>

#include <openorvane/basic/exception.hpp>

#include <common/modifier/tetrahedron_preview.hpp>

// Flips of a tetrahedral solid that change its connectivity without adding a
// vertex: the 2-3 flip across a facet and the replacement of the star of an
// edge by a fan from a ring vertex.

namespace orvane
{
    SolidSwapFacetInfo TetrahedralSolidModifier::Impl::swap_facet(
        const PolyhedronFacet& facet )
    {
        const auto adjacent = solid_.polyhedron_adjacent_facet( facet );
        if( !adjacent )
        {
            throw OpenOrvaneException{
                "[SwapFacet] Facet should have an adjacent tetrahedron"
            };
        }
        const auto t0 = facet.polyhedron_id;
        const auto t1 = adjacent->polyhedron_id;
        const auto f = solid_.polyhedron_facet_vertices( facet );
        std::array< local_index_t, 3 > in_t0;
        std::array< local_index_t, 3 > in_t1;
        std::array< std::optional< PolyhedronFacet >, 3 > u;
        std::array< std::optional< PolyhedronFacet >, 3 > w;
        for( const local_index_t k : { 0, 1, 2 } )
        {
            in_t0[k] = solid_.vertex_in_polyhedron( t0, f[k] ).value();
            in_t1[k] = solid_.vertex_in_polyhedron( t1, f[k] ).value();
            u[k] = solid_.polyhedron_adjacent_facet( { t0, in_t0[k] } );
            w[k] = solid_.polyhedron_adjacent_facet( { t1, in_t1[k] } );
        }
        const auto a0 = solid_.polyhedron_vertex( { t0, facet.facet_id } );
        const auto a1 = solid_.polyhedron_vertex( { t1, adjacent->facet_id } );

        std::array< index_t, 3 > created;
        for( const local_index_t k : { 0, 1, 2 } )
        {
            // Facet 0 lies on t0's old facet opposite f_k, facet 1 on t1's.
            created[k] = builder_.create_tetrahedron(
                { a1, a0, f[( k + 1 ) % 3], f[( k + 2 ) % 3] } );
        }
        for( const local_index_t k : { 0, 1, 2 } )
        {
            if( u[k] && u[k]->polyhedron_id != t1 )
            {
                builder_.set_polyhedron_adjacent(
                    { created[k], 0 }, u[k]->polyhedron_id );
                builder_.set_polyhedron_adjacent( u[k].value(), created[k] );
            }
            if( w[k] && w[k]->polyhedron_id != t0 )
            {
                builder_.set_polyhedron_adjacent(
                    { created[k], 1 }, w[k]->polyhedron_id );
                builder_.set_polyhedron_adjacent( w[k].value(), created[k] );
            }
        }
        for( const local_index_t k : { 0, 1, 2 } )
        {
            builder_.set_polyhedron_adjacent(
                { created[k], 2 }, created[( k + 1 ) % 3] );
            builder_.set_polyhedron_adjacent(
                { created[k], 3 }, created[( k + 2 ) % 3] );
        }
        deactivate_polyhedron( t0 );
        deactivate_polyhedron( t1 );
        if( solid_.are_facets_enabled() )
        {
            // The new inner facets may have been used and deactivated by an
            // earlier edit: the new tetrahedra make all their facets live.
            for( const auto tetrahedron : created )
            {
                for( const local_index_t g : { 0, 1, 2, 3 } )
                {
                    activate_facet( polyhedron_facet_index( { tetrahedron, g } ) );
                }
            }
            deactivate_facet( facet_index( f ) );
        }

        SolidSwapFacetInfo info;
        info.old_tetrahedra = { t0, t1 };
        info.new_tetrahedra = created;
        for( const local_index_t k : { 0, 1, 2 } )
        {
            info.facet_pairs[2 * k] = { { created[k], 0 }, { t0, in_t0[k] } };
            info.facet_pairs[2 * k + 1] = { { created[k], 1 }, { t1, in_t1[k] } };
            info.inner_facets[2 * k] = { created[k], 2 };
            info.inner_facets[2 * k + 1] = { created[k], 3 };
        }
        info.swapped_facet = { facet, adjacent.value() };
        info.apexes = { a0, a1 };
        info.facet_vertices = f;
        return info;
    }

    SolidSwapEdgeInfo TetrahedralSolidModifier::Impl::swap_edge(
        const PolyhedronFacetEdge& edge, index_t apex )
    {
        const auto edge_vertices = solid_.polyhedron_facet_edge_vertices( edge );
        const auto e0 = edge_vertices[0];
        const auto e1 = edge_vertices[1];
        const auto star = solid_.polyhedra_around_edge( edge );
        const auto ring_walk =
            ordered_vertices_around_edge( solid_, edge_vertices, star );
        const auto& ring = ring_walk.vertices;
        const auto n = ring.size();
        if( n < 3 )
        {
            throw OpenOrvaneException{ "[DoSwapEdge] The number of vertices in "
                                       "the one ring should be at least 3." };
        }
        if( std::find( ring.begin(), ring.end(), apex ) == ring.end() )
        {
            throw OpenOrvaneException{
                "[DoSwapEdge] Given apex is not in the one ring vertices"
            };
        }
        // Every tetrahedron of the star is replaced: a ring that skipped one
        // would leave a hole where it was.
        if( !detail::is_ring_complete( solid_, edge_vertices, star, ring_walk ) )
        {
            throw OpenOrvaneException{ "[DoSwapEdge] The one ring of vertices "
                                       "does not go through every tetrahedron "
                                       "around the edge" };
        }

        struct StarRecord
        {
            index_t tetrahedron;
            local_index_t local_e0;
            local_index_t local_e1;
            // Neighbours across the facets opposite e1 and opposite e0.
            std::optional< PolyhedronFacet > x1;
            std::optional< PolyhedronFacet > x0;
            std::array< local_index_t, 2 > others;
        };
        absl::InlinedVector< StarRecord, 10 > records;
        absl::flat_hash_map< std::pair< index_t, index_t >, std::size_t > segments;
        for( const auto tetrahedron : star )
        {
            StarRecord record;
            record.tetrahedron = tetrahedron;
            const auto locals =
                solid_.edge_vertices_in_polyhedron( tetrahedron, edge_vertices )
                    .value();
            record.local_e0 = locals[0];
            record.local_e1 = locals[1];
            record.x1 = solid_.polyhedron_adjacent_facet(
                { tetrahedron, record.local_e1 } );
            record.x0 = solid_.polyhedron_adjacent_facet(
                { tetrahedron, record.local_e0 } );
            std::size_t count{ 0 };
            for( const local_index_t v : { 0, 1, 2, 3 } )
            {
                if( v != locals[0] && v != locals[1] )
                {
                    record.others[count++] = v;
                }
            }
            const auto c = solid_.polyhedron_vertex( { tetrahedron, record.others[0] } );
            const auto d = solid_.polyhedron_vertex( { tetrahedron, record.others[1] } );
            segments.emplace( std::pair{ c, d }, records.size() );
            segments.emplace( std::pair{ d, c }, records.size() );
            records.push_back( record );
        }
        const auto record_of = [&]( index_t c, index_t d ) -> const StarRecord* {
            const auto found = segments.find( std::pair{ c, d } );
            return found == segments.end() ? nullptr : &records[found->second];
        };

        SolidSwapEdgeInfo info;
        info.old_tetrahedra.assign( star.begin(), star.end() );
        info.facet_pairs.reserve( 2 * n );
        info.removed_facets.reserve( 2 * star.size() );
        const auto link = [&]( const PolyhedronFacet& created,
                              const std::optional< PolyhedronFacet >& outer,
                              const StarRecord& record, local_index_t old_local ) {
            if( !outer )
            {
                return;
            }
            builder_.set_polyhedron_adjacent( created, outer->polyhedron_id );
            builder_.set_polyhedron_adjacent( outer.value(), created.polyhedron_id );
            info.facet_pairs.push_back(
                { created, { record.tetrahedron, old_local } } );
        };

        // Creation pass: two tetrahedra per ring segment away from the apex.
        absl::FixedArray< bool, 64 > made( n, false );
        absl::FixedArray< std::array< index_t, 2 >, 32 > halves(
            n, std::array< index_t, 2 >{ NO_ID, NO_ID } );
        for( const auto i : std::views::iota( std::size_t{ 0 }, n ) )
        {
            const auto c = ring[i];
            const auto d = ring[( i + 1 ) % n];
            if( c == apex || d == apex )
            {
                continue;
            }
            const auto a = builder_.create_tetrahedron( { apex, c, d, e1 } );
            const auto b = builder_.create_tetrahedron( { e0, apex, c, d } );
            made[i] = true;
            halves[i] = { a, b };
            builder_.set_polyhedron_adjacent( { a, 3 }, b );
            builder_.set_polyhedron_adjacent( { b, 0 }, a );
            info.new_tetrahedra.push_back( a );
            info.new_tetrahedra.push_back( b );
            info.inner_facets.push_back( { a, 3 } );
            info.inner_facets.push_back( { b, 0 } );
            if( const auto* record = record_of( c, d ) )
            {
                link( { a, 0 }, record->x0, *record, record->local_e0 );
                link( { b, 1 }, record->x1, *record, record->local_e1 );
            }
        }

        // The old outer facets of a segment at the apex go to the new
        // tetrahedra of the neighbouring segment, across the given local
        // facets; they lose their neighbour when that segment made none.
        const auto relink_apex_segment = [&]( const StarRecord& record,
                                             std::size_t neighbour,
                                             local_index_t facet0,
                                             local_index_t facet1 ) {
            if( made[neighbour] )
            {
                link( { halves[neighbour][0], facet0 }, record.x0, record,
                    record.local_e0 );
                link( { halves[neighbour][1], facet1 }, record.x1, record,
                    record.local_e1 );
                return;
            }
            for( const auto* outer : { &record.x0, &record.x1 } )
            {
                if( *outer )
                {
                    builder_.unset_polyhedron_adjacent( outer->value() );
                }
            }
        };

        // Linking pass: neighbouring segments, and the two segments at the
        // apex whose old outer facets go to the neighbouring new tetrahedra.
        for( const auto i : std::views::iota( std::size_t{ 0 }, n ) )
        {
            const auto previous = ( i + n - 1 ) % n;
            const auto next = ( i + 1 ) % n;
            if( made[i] && made[previous] )
            {
                const auto [a, b] = halves[i];
                const auto [pa, pb] = halves[previous];
                builder_.set_polyhedron_adjacent( { pa, 1 }, a );
                builder_.set_polyhedron_adjacent( { a, 2 }, pa );
                builder_.set_polyhedron_adjacent( { pb, 2 }, b );
                builder_.set_polyhedron_adjacent( { b, 3 }, pb );
                continue;
            }
            if( made[i] )
            {
                continue;
            }
            if( ring[i] == apex )
            {
                if( const auto* record = record_of( apex, ring[next] ) )
                {
                    relink_apex_segment( *record, next, 2, 3 );
                }
            }
            else if( ring[next] == apex )
            {
                if( const auto* record = record_of( apex, ring[i] ) )
                {
                    relink_apex_segment( *record, previous, 1, 2 );
                }
            }
        }

        for( const auto tetrahedron : star )
        {
            deactivate_polyhedron( tetrahedron );
        }
        if( solid_.are_facets_enabled() )
        {
            // New tetrahedra can reuse facets that an earlier edit
            // deactivated.
            for( const auto tetrahedron : info.new_tetrahedra )
            {
                for( const local_index_t f : { 0, 1, 2, 3 } )
                {
                    activate_facet( polyhedron_facet_index( { tetrahedron, f } ) );
                }
            }
            for( const auto ring_vertex : ring )
            {
                deactivate_facet( facet_index( { e0, e1, ring_vertex } ) );
            }
        }
        for( const auto& record : records )
        {
            // Facet opposite d, then facet opposite c.
            info.removed_facets.push_back( { record.tetrahedron, record.others[1] } );
            info.removed_facets.push_back( { record.tetrahedron, record.others[0] } );
        }
        return info;
    }
} // namespace orvane
