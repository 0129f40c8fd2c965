#include <common/modifier/tetrahedral_solid_modifier.hpp>

#include <algorithm>
#include <ranges>

#include <absl/container/flat_hash_map.h>

#include <openorvane/basic/attribute_interpolation.hpp>
#include <openorvane/basic/exception.hpp>
#include <openorvane/geometry/barycentric_coordinates.hpp>

#include <common/modifier/tetrahedral_solid_modifier_impl.hpp>

namespace
{
    using orvane::ElementOrigin;

    /// Ascending by new element, then old element, without duplicates.
    template < typename Origins >
    void sort_unique( Origins& origins )
    {
        const auto key = []( const ElementOrigin& origin ) {
            return std::pair{ origin.new_element, origin.old_element };
        };
        std::sort( origins.begin(), origins.end(),
            [&]( const ElementOrigin& a, const ElementOrigin& b ) {
                return key( a ) < key( b );
            } );
        origins.erase( std::unique( origins.begin(), origins.end() ),
            origins.end() );
    }
} // namespace

namespace orvane
{
    TetrahedralSolidModifier::Impl::Impl( const TetrahedralSolid< 3 >& solid,
        TetrahedralSolidBuilder< 3 >& builder )
        : solid_( solid ),
          builder_( builder ),
          polyhedron_flags_( std::make_unique< internal::ActiveFlags >(
              solid.polyhedron_attribute_manager() ) ),
          opposite_edges_{ { { 0, 1 }, { 3, 2 } }, { { 0, 2 }, { 1, 3 } },
              { { 0, 3 }, { 2, 1 } }, { { 1, 2 }, { 3, 0 } },
              { { 1, 3 }, { 0, 2 } }, { { 2, 3 }, { 1, 0 } } }
    {
        if( solid_.are_facets_enabled() )
        {
            facet_flags_ = std::make_unique< internal::ActiveFlags >(
                solid_.facets().facet_attribute_manager() );
        }
    }

    TetrahedralSolidModifier::Impl::~Impl()
    {
        polyhedron_flags_.reset();
        facet_flags_.reset();
    }

    bool TetrahedralSolidModifier::Impl::is_polyhedron_active(
        index_t tetrahedron ) const
    {
        return polyhedron_flags_->is_active( tetrahedron );
    }

    bool TetrahedralSolidModifier::Impl::prepare_facet_flags()
    {
        if( facet_flags_ )
        {
            return true;
        }
        if( !solid_.are_facets_enabled() )
        {
            return false;
        }
        // Facets enabled after the modifier was made: only the facets of
        // live tetrahedra are live.
        facet_flags_ = std::make_unique< internal::ActiveFlags >(
            solid_.facets().facet_attribute_manager() );
        for( const auto facet :
            std::views::iota( index_t{ 0 }, solid_.facets().nb_facets() ) )
        {
            facet_flags_->set_active( facet, false );
        }
        for( const auto tetrahedron :
            std::views::iota( index_t{ 0 }, solid_.nb_polyhedra() ) )
        {
            if( !is_polyhedron_active( tetrahedron ) )
            {
                continue;
            }
            for( const local_index_t f : { 0, 1, 2, 3 } )
            {
                facet_flags_->set_active( polyhedron_facet_index( { tetrahedron, f } ), true );
            }
        }
        return true;
    }

    bool TetrahedralSolidModifier::Impl::is_facet_active( index_t facet )
    {
        if( !prepare_facet_flags() )
        {
            throw OpenOrvaneException{ "[TetrahedralSolidModifier::is_facet_"
                                       "active] Facets should be enabled to "
                                       "use facet indexing" };
        }
        return facet_flags_->is_active( facet );
    }

    void TetrahedralSolidModifier::Impl::deactivate_polyhedron(
        index_t tetrahedron )
    {
        polyhedron_flags_->set_active( tetrahedron, false );
        for( const auto vertex : solid_.polyhedron_vertices( tetrahedron ) )
        {
            builder_.reset_polyhedra_around_vertex( vertex );
        }
    }

    void TetrahedralSolidModifier::Impl::deactivate_facet( index_t facet )
    {
        if( prepare_facet_flags() )
        {
            facet_flags_->set_active( facet, false );
        }
    }

    void TetrahedralSolidModifier::Impl::activate_facet( index_t facet )
    {
        if( prepare_facet_flags() )
        {
            facet_flags_->set_active( facet, true );
        }
    }

    void TetrahedralSolidModifier::Impl::interpolate_vertex( index_t vertex,
        absl::Span< const index_t > vertices,
        absl::Span< const double > weights )
    {
        solid_.vertex_attribute_manager().interpolate_attribute_value(
            AttributeLinearInterpolation{ vertices, weights }, vertex );
    }

    void TetrahedralSolidModifier::Impl::interpolate_on_segment(
        index_t vertex, const EdgeVertices& edge_vertices )
    {
        if( !solid_.vertex_attribute_manager().has_interpolable_attributes() )
        {
            return;
        }
        const auto weights = safe_segment_barycentric_coordinates(
            solid_.point( vertex ),
            Segment< 3 >{ solid_.point( edge_vertices[0] ),
                solid_.point( edge_vertices[1] ) } );
        interpolate_vertex( vertex, edge_vertices, weights );
    }

    index_t TetrahedralSolidModifier::Impl::polyhedron_facet_index(
        const PolyhedronFacet& facet ) const
    {
        return facet_index( solid_.polyhedron_facet_vertices( facet ) );
    }

    index_t TetrahedralSolidModifier::Impl::facet_index(
        const PolyhedronFacetVertices& vertices ) const
    {
        return solid_.facets().facet_from_vertices( vertices ).value();
    }

    index_t TetrahedralSolidModifier::Impl::edge_index(
        const EdgeVertices& vertices ) const
    {
        return solid_.edges().edge_from_vertices( vertices ).value();
    }

    TetrahedralSolidModifier::Impl::AdjacentFacets
        TetrahedralSolidModifier::Impl::adjacent_facets(
            index_t tetrahedron ) const
    {
        AdjacentFacets result;
        for( const local_index_t f : { 0, 1, 2, 3 } )
        {
            result[f] = solid_.polyhedron_adjacent_facet( { tetrahedron, f } );
        }
        return result;
    }

    SolidSplitTetrahedronInfo TetrahedralSolidModifier::Impl::split_tetrahedron(
        index_t tetrahedron,
        const AdjacentFacets& adjacent_facets,
        index_t vertex )
    {
        SolidSplitTetrahedronInfo info;
        info.new_vertex = vertex;
        const auto facets_vertices =
            solid_.polyhedron_facets_vertices( tetrahedron );
        std::array< index_t, 4 > created;
        for( const local_index_t f : { 0, 1, 2, 3 } )
        {
            const auto& facet = facets_vertices[f];
            // Facet 3 of the new tetrahedron lies on the old facet f.
            created[f] = builder_.create_tetrahedron(
                { facet[0], facet[1], facet[2], vertex } );
            info.tetrahedra.push_back( { created[f], tetrahedron } );
        }
        const auto vertices = solid_.polyhedron_vertices( tetrahedron );
        if( solid_.are_facets_enabled() )
        {
            for( const auto& [a, b] :
                std::array< std::array< local_index_t, 2 >, 6 >{ { { 0, 1 },
                    { 0, 2 }, { 0, 3 }, { 1, 2 }, { 1, 3 }, { 2, 3 } } } )
            {
                info.facets.push_back(
                    { facet_index( { vertices[a], vertices[b], vertex } ),
                        NO_ID } );
            }
        }
        if( solid_.are_edges_enabled() )
        {
            for( const auto corner : vertices )
            {
                info.edges.push_back( { edge_index( { corner, vertex } ), NO_ID } );
            }
        }
        for( const local_index_t f : { 0, 1, 2, 3 } )
        {
            if( const auto& adjacent = adjacent_facets[f] )
            {
                builder_.set_polyhedron_adjacent( adjacent.value(), created[f] );
                builder_.set_polyhedron_adjacent(
                    { created[f], 3 }, adjacent->polyhedron_id );
            }
        }
        // Row: new tetrahedron; columns: its local facets 0, 1, 2.
        static constexpr std::array< std::array< local_index_t, 3 >, 4 > star{ {
            { 1, 3, 2 },
            { 0, 2, 3 },
            { 3, 1, 0 },
            { 0, 1, 2 },
        } };
        for( const local_index_t n : { 0, 1, 2, 3 } )
        {
            for( const local_index_t f : { 0, 1, 2 } )
            {
                builder_.set_polyhedron_adjacent(
                    { created[n], f }, created[star[n][f]] );
            }
        }
        deactivate_polyhedron( tetrahedron );
        const auto weights = safe_tetrahedron_barycentric_coordinates(
            solid_.point( vertex ), solid_.tetrahedron( tetrahedron ) );
        interpolate_vertex( vertex, vertices, weights );
        copy_polyhedron_attributes( info.tetrahedra );
        return info;
    }

    SolidSplitFacetInfo TetrahedralSolidModifier::Impl::split_facet(
        const PolyhedronFacet& facet, const Point< 3 >& point )
    {
        const auto vertex = builder_.create_point( point );
        const auto facet_vertices = solid_.polyhedron_facet_vertices( facet );
        const auto index =
            solid_.are_facets_enabled() ? facet_index( facet_vertices ) : NO_ID;
        return do_split_facet( facet, facet_vertices, index, vertex );
    }

    SolidSplitFacetInfo TetrahedralSolidModifier::Impl::split_facet(
        index_t facet, const Point< 3 >& point )
    {
        const auto vertex = builder_.create_point( point );
        const auto facet_vertices = solid_.facets().facet_vertices( facet );
        const auto first_side =
            solid_.polyhedron_facet_from_vertices( facet_vertices );
        if( !first_side )
        {
            throw OpenOrvaneException{ "[SplitFacet] Facet should correspond "
                                       "to one or two tetrahedra, but "
                                       "corresponds to no tetrahedra" };
        }
        return do_split_facet( first_side.value(), facet_vertices, facet, vertex );
    }

    SolidSplitFacetInfo TetrahedralSolidModifier::Impl::do_split_facet(
        const PolyhedronFacet& first_side,
        const PolyhedronFacetVertices& facet_vertices,
        index_t facet,
        index_t vertex )
    {
        const auto facets_enabled = solid_.are_facets_enabled();
        const auto edges_enabled = solid_.are_edges_enabled();
        const auto old_nb_facets =
            facets_enabled ? solid_.facets().nb_facets() : NO_ID;
        const auto old_nb_edges = edges_enabled ? solid_.edges().nb_edges() : NO_ID;

        struct Side
        {
            PolyhedronFacet facet;
            PolyhedronVertices vertices;
            // Local indices of the facet's vertices in the side's own facet
            // order, starting at the split facet's first vertex.
            std::array< local_index_t, 3 > cycle;
            AdjacentFacets adjacents;
            std::array< index_t, 3 > created;
        };
        const auto make_side = [&]( const PolyhedronFacet& side_facet ) {
            Side side;
            side.facet = side_facet;
            side.vertices = solid_.polyhedron_vertices( side_facet.polyhedron_id );
            std::array< local_index_t, 3 > locals;
            for( const local_index_t k : { 0, 1, 2 } )
            {
                locals[k] =
                    solid_.polyhedron_facet_vertex_id( { side_facet, k } ).vertex_id;
            }
            local_index_t shift{ 0 };
            for( const local_index_t k : { 0, 1, 2 } )
            {
                if( side.vertices[locals[k]] == facet_vertices[0] )
                {
                    shift = k;
                }
            }
            for( const local_index_t k : { 0, 1, 2 } )
            {
                side.cycle[k] = locals[( shift + k ) % 3];
            }
            side.adjacents = adjacent_facets( side_facet.polyhedron_id );
            return side;
        };
        std::array< std::optional< Side >, 2 > sides;
        sides[0] = make_side( first_side );
        if( const auto second = solid_.polyhedron_adjacent_facet( first_side ) )
        {
            sides[1] = make_side( second.value() );
        }
        for( auto& side : sides )
        {
            if( !side )
            {
                continue;
            }
            const auto apex = side->vertices[side->facet.facet_id];
            for( const local_index_t i : { 0, 1, 2 } )
            {
                side->created[i] = builder_.create_tetrahedron(
                    { vertex, side->vertices[side->cycle[i]],
                        side->vertices[side->cycle[( i + 1 ) % 3]], apex } );
            }
        }
        const auto link_side = [&]( const Side& side,
                                   const std::optional< Side >& other ) {
            const auto& m = side.created;
            for( const local_index_t i : { 0, 1, 2 } )
            {
                // Facet 0 of M_i lies on the old facet opposite c_(i+2).
                const auto& adjacent = side.adjacents[side.cycle[( i + 2 ) % 3]];
                if( !adjacent )
                {
                    continue;
                }
                if( other && adjacent->polyhedron_id == other->facet.polyhedron_id )
                {
                    builder_.set_polyhedron_adjacent(
                        { m[i], 0 }, other->created[2 - i] );
                    builder_.set_polyhedron_adjacent(
                        { other->created[2 - i], 0 }, m[i] );
                }
                else
                {
                    builder_.set_polyhedron_adjacent(
                        { m[i], 0 }, adjacent->polyhedron_id );
                    builder_.set_polyhedron_adjacent( adjacent.value(), m[i] );
                }
            }
            builder_.set_polyhedron_adjacent( { m[0], 1 }, m[1] );
            builder_.set_polyhedron_adjacent( { m[0], 2 }, m[2] );
            builder_.set_polyhedron_adjacent( { m[1], 1 }, m[2] );
            builder_.set_polyhedron_adjacent( { m[1], 2 }, m[0] );
            builder_.set_polyhedron_adjacent( { m[2], 1 }, m[0] );
            builder_.set_polyhedron_adjacent( { m[2], 2 }, m[1] );
            if( other )
            {
                // The other side turns the opposite way around the facet.
                builder_.set_polyhedron_adjacent( { m[0], 3 }, other->created[2] );
                builder_.set_polyhedron_adjacent( { m[1], 3 }, other->created[1] );
                builder_.set_polyhedron_adjacent( { m[2], 3 }, other->created[0] );
            }
        };
        link_side( sides[0].value(), sides[1] );
        deactivate_polyhedron( sides[0]->facet.polyhedron_id );
        if( sides[1] )
        {
            link_side( sides[1].value(), sides[0] );
            deactivate_polyhedron( sides[1]->facet.polyhedron_id );
        }
        if( facet != NO_ID && facets_enabled )
        {
            deactivate_facet( facet );
        }

        SolidSplitFacetInfo info;
        info.new_vertex = vertex;
        for( const auto& side : sides )
        {
            if( !side )
            {
                continue;
            }
            for( const auto created : side->created )
            {
                info.tetrahedra.push_back( { created, side->facet.polyhedron_id } );
            }
        }
        if( old_nb_facets != NO_ID )
        {
            if( facet != NO_ID )
            {
                const auto split = solid_.facets().facet_vertices( facet );
                for( const local_index_t k : { 0, 1, 2 } )
                {
                    info.facets.push_back(
                        { facet_index( { vertex, split[k], split[( k + 1 ) % 3] } ),
                            facet } );
                }
            }
            for( const auto created :
                std::views::iota( old_nb_facets, solid_.facets().nb_facets() ) )
            {
                const auto listed = std::any_of( info.facets.begin(),
                    info.facets.end(), [&]( const ElementOrigin& origin ) {
                        return origin.new_element == created;
                    } );
                if( !listed )
                {
                    info.facets.push_back( { created, NO_ID } );
                }
            }
        }
        if( old_nb_edges != NO_ID )
        {
            for( const auto created :
                std::views::iota( old_nb_edges, solid_.edges().nb_edges() ) )
            {
                info.edges.push_back( { created, NO_ID } );
            }
        }
        info.facet_vertices = facet_vertices;

        if( solid_.vertex_attribute_manager().has_interpolable_attributes() )
        {
            const auto weights = safe_triangle_barycentric_coordinates(
                solid_.point( vertex ),
                Triangle< 3 >{ solid_.point( facet_vertices[0] ),
                    solid_.point( facet_vertices[1] ),
                    solid_.point( facet_vertices[2] ) } );
            interpolate_vertex( vertex, facet_vertices, weights );
        }
        copy_polyhedron_attributes( info.tetrahedra );
        copy_facet_attributes( info.facets );
        return info;
    }

    SolidSplitEdgeInfo TetrahedralSolidModifier::Impl::split_edge(
        const PolyhedronFacetEdge& edge, const Point< 3 >& point )
    {
        const auto vertex = builder_.create_point( point );
        const auto edge_vertices = solid_.polyhedron_facet_edge_vertices( edge );
        interpolate_on_segment( vertex, edge_vertices );
        const auto index =
            solid_.are_edges_enabled() ? edge_index( edge_vertices ) : NO_ID;
        const auto polyhedra = solid_.polyhedra_around_edge(
            edge_vertices, edge.polyhedron_facet.polyhedron_id );
        return do_split_edge( edge_vertices, index, polyhedra, vertex );
    }

    SolidSplitEdgeInfo TetrahedralSolidModifier::Impl::split_edge(
        index_t edge, const Point< 3 >& point )
    {
        const auto vertex = builder_.create_point( point );
        const EdgeVertices edge_vertices = solid_.edges().edge_vertices( edge );
        interpolate_on_segment( vertex, edge_vertices );
        const auto polyhedra = solid_.polyhedra_around_edge( edge_vertices );
        return do_split_edge( edge_vertices, edge, polyhedra, vertex );
    }

    SolidSplitEdgeInfo TetrahedralSolidModifier::Impl::do_split_edge(
        const EdgeVertices& edge_vertices,
        index_t edge,
        const PolyhedraAroundEdge& polyhedra,
        index_t vertex )
    {
        if( polyhedra.empty() )
        {
            throw OpenOrvaneException{
                "[SplitEdge] Given edge corresponds to no tetrahedron"
            };
        }
        struct Record
        {
            index_t tetrahedron;
            PolyhedronVertices vertices;
            local_index_t l0;
            local_index_t l1;
            local_index_t o0;
            local_index_t o1;
            AdjacentFacets adjacents;
            index_t first_half{ NO_ID };
            index_t second_half{ NO_ID };
        };
        absl::InlinedVector< Record, 10 > records;
        absl::flat_hash_map< index_t, std::size_t > positions;
        for( const auto tetrahedron : polyhedra )
        {
            Record record;
            record.tetrahedron = tetrahedron;
            record.vertices = solid_.polyhedron_vertices( tetrahedron );
            const auto locals =
                solid_.edge_vertices_in_polyhedron( tetrahedron, edge_vertices )
                    .value();
            record.l0 = locals[0];
            record.l1 = locals[1];
            const auto opposite = opposite_edge(
                { std::min( record.l0, record.l1 ), std::max( record.l0, record.l1 ) } );
            record.o0 = record.l0 < record.l1 ? opposite[0] : opposite[1];
            record.o1 = record.l0 < record.l1 ? opposite[1] : opposite[0];
            record.adjacents = adjacent_facets( tetrahedron );
            positions.emplace( tetrahedron, records.size() );
            records.push_back( std::move( record ) );
        }
        for( auto& record : records )
        {
            const auto& v = record.vertices;
            record.first_half = builder_.create_tetrahedron(
                { vertex, v[record.o0], v[record.o1], v[record.l0] } );
            record.second_half = builder_.create_tetrahedron(
                { vertex, v[record.o1], v[record.o0], v[record.l1] } );
            deactivate_polyhedron( record.tetrahedron );
        }
        const auto record_of =
            [&]( const std::optional< PolyhedronFacet >& adjacent ) -> const Record* {
            if( !adjacent )
            {
                return nullptr;
            }
            const auto found = positions.find( adjacent->polyhedron_id );
            return found == positions.end() ? nullptr : &records[found->second];
        };
        for( const auto& record : records )
        {
            const auto a = record.first_half;
            const auto b = record.second_half;
            // The facets that hold one end only go to facet 0 of the halves.
            for( const auto& [old_local, half, first] :
                { std::tuple{ record.l1, a, true },
                    std::tuple{ record.l0, b, false } } )
            {
                const auto& adjacent = record.adjacents[old_local];
                if( !adjacent )
                {
                    continue;
                }
                if( const auto* other = record_of( adjacent ) )
                {
                    builder_.set_polyhedron_adjacent(
                        { half, 0 }, first ? other->first_half : other->second_half );
                }
                else
                {
                    builder_.set_polyhedron_adjacent(
                        { half, 0 }, adjacent->polyhedron_id );
                    builder_.set_polyhedron_adjacent( adjacent.value(), half );
                }
            }
            // The facets through the edge go to the halves of the neighbour
            // across them.
            const auto* across_o0 = record_of( record.adjacents[record.o0] );
            builder_.set_polyhedron_adjacent(
                { a, 1 }, across_o0 ? across_o0->first_half : NO_ID );
            builder_.set_polyhedron_adjacent(
                { b, 2 }, across_o0 ? across_o0->second_half : NO_ID );
            const auto* across_o1 = record_of( record.adjacents[record.o1] );
            builder_.set_polyhedron_adjacent(
                { a, 2 }, across_o1 ? across_o1->first_half : NO_ID );
            builder_.set_polyhedron_adjacent(
                { b, 1 }, across_o1 ? across_o1->second_half : NO_ID );
            builder_.set_polyhedron_adjacent( { a, 3 }, b );
            builder_.set_polyhedron_adjacent( { b, 3 }, a );
        }

        SolidSplitEdgeInfo info;
        info.new_vertex = vertex;
        info.edge_vertices = edge_vertices;
        for( const auto& record : records )
        {
            info.first_tetrahedra.push_back(
                { record.first_half, record.tetrahedron } );
            info.second_tetrahedra.push_back(
                { record.second_half, record.tetrahedron } );
        }
        if( solid_.are_edges_enabled() )
        {
            for( const auto& record : records )
            {
                info.created_edges.push_back(
                    { edge_index( { record.vertices[record.o0], vertex } ), NO_ID } );
                info.created_edges.push_back(
                    { edge_index( { record.vertices[record.o1], vertex } ), NO_ID } );
            }
            sort_unique( info.created_edges );
            info.first_edges.push_back(
                { edge_index( { edge_vertices[0], vertex } ), edge } );
            info.second_edges.push_back(
                { edge_index( { edge_vertices[1], vertex } ), edge } );
        }
        if( solid_.are_facets_enabled() )
        {
            for( const auto& record : records )
            {
                const auto& v = record.vertices;
                const auto x = facet_index( { v[record.o0], v[record.l0], v[record.l1] } );
                const auto y = facet_index( { v[record.o1], v[record.l0], v[record.l1] } );
                info.created_facets.push_back(
                    { polyhedron_facet_index( { record.first_half, 3 } ), NO_ID } );
                info.first_facets.push_back(
                    { polyhedron_facet_index( { record.first_half, 1 } ), y } );
                info.first_facets.push_back(
                    { polyhedron_facet_index( { record.first_half, 2 } ), x } );
                info.second_facets.push_back(
                    { polyhedron_facet_index( { record.second_half, 1 } ), x } );
                info.second_facets.push_back(
                    { polyhedron_facet_index( { record.second_half, 2 } ), y } );
            }
            sort_unique( info.first_facets );
            sort_unique( info.second_facets );
            for( const auto& facets : { &info.first_facets, &info.second_facets } )
            {
                for( const auto& origin : *facets )
                {
                    deactivate_facet( origin.old_element );
                }
            }
        }
        copy_polyhedron_attributes( info.first_tetrahedra );
        copy_polyhedron_attributes( info.second_tetrahedra );
        copy_facet_attributes( info.first_facets );
        copy_facet_attributes( info.second_facets );
        copy_edge_attributes( info.first_edges );
        copy_edge_attributes( info.second_edges );
        return info;
    }

    namespace
    {
        // The checks of the edits' input, made before any change.

        void check_live_tetrahedron( const TetrahedralSolidModifier& modifier,
            const TetrahedralSolid< 3 >& solid,
            index_t tetrahedron,
            const char* function )
        {
            ORVANE_EXCEPTION( tetrahedron < solid.nb_polyhedra(),
                "[TetrahedralSolidModifier::", function, "] Tetrahedron ",
                tetrahedron, " does not exist (the solid has ",
                solid.nb_polyhedra(), " tetrahedra)" );
            ORVANE_EXCEPTION( modifier.is_polyhedron_active( tetrahedron ),
                "[TetrahedralSolidModifier::", function, "] Tetrahedron ",
                tetrahedron, " is inactive" );
        }

        void check_live_facet( const TetrahedralSolidModifier& modifier,
            const TetrahedralSolid< 3 >& solid,
            const PolyhedronFacet& facet,
            const char* function )
        {
            check_live_tetrahedron( modifier, solid, facet.polyhedron_id, function );
            ORVANE_EXCEPTION( facet.facet_id < 4, "[TetrahedralSolidModifier::",
                function, "] Tetrahedron ", facet.polyhedron_id, " has no facet ",
                facet.facet_id );
        }

        void check_live_facet_edge( const TetrahedralSolidModifier& modifier,
            const TetrahedralSolid< 3 >& solid,
            const PolyhedronFacetEdge& edge,
            const char* function )
        {
            check_live_facet( modifier, solid, edge.polyhedron_facet, function );
            ORVANE_EXCEPTION( edge.edge_id < 3, "[TetrahedralSolidModifier::",
                function, "] A facet has no edge ", edge.edge_id );
        }

        /// The edge (of the edge table) exists and a live tetrahedron holds
        /// it; around-vertex walks reach live tetrahedra only.
        void check_table_edge( const TetrahedralSolid< 3 >& solid,
            index_t edge,
            const char* function,
            const char* no_tetrahedron_message )
        {
            ORVANE_EXCEPTION( solid.are_edges_enabled(),
                "[TetrahedralSolidModifier::", function,
                "] Edges should be enabled to edit an edge given by its index" );
            const auto nb_edges = solid.edges().nb_edges();
            ORVANE_EXCEPTION( edge < nb_edges, "[TetrahedralSolidModifier::",
                function, "] Edge ", edge, " does not exist (the table has ",
                nb_edges, " edges)" );
            const auto vertices = solid.edges().edge_vertices( edge );
            ORVANE_EXCEPTION( vertices[0] < solid.nb_vertices()
                                  && vertices[1] < solid.nb_vertices()
                                  && solid.polyhedron_facet_edge_from_vertices(
                                      vertices ),
                no_tetrahedron_message );
        }

        void check_table_facet( const TetrahedralSolidModifier& modifier,
            const TetrahedralSolid< 3 >& solid,
            index_t facet,
            const char* function )
        {
            ORVANE_EXCEPTION( solid.are_facets_enabled(),
                "[TetrahedralSolidModifier::", function,
                "] Facets should be enabled to edit a facet given by its index" );
            const auto nb_facets = solid.facets().nb_facets();
            ORVANE_EXCEPTION( facet < nb_facets, "[TetrahedralSolidModifier::",
                function, "] Facet ", facet, " does not exist (the table has ",
                nb_facets, " facets)" );
            // A facet is active exactly when a live tetrahedron uses it.
            ORVANE_EXCEPTION( modifier.is_facet_active( facet ),
                "[SplitFacet] Facet should correspond to one or two tetrahedra, "
                "but corresponds to no tetrahedra" );
        }

        void check_finite_point( const Point< 3 >& point, const char* function )
        {
            ORVANE_EXCEPTION( point.is_finite(), "[TetrahedralSolidModifier::",
                function, "] Cannot use the non-finite point ", point.string() );
        }

        /// Both facets of the tetrahedron through the edge face one live
        /// tetrahedron on the same four vertices.
        void check_flat_pair( const TetrahedralSolidModifier& modifier,
            const TetrahedralSolid< 3 >& solid,
            const PolyhedronFacetEdge& edge )
        {
            const auto t0 = edge.polyhedron_facet.polyhedron_id;
            const auto locals = solid.edge_vertices_in_polyhedron(
                t0, solid.polyhedron_facet_edge_vertices( edge ) );
            std::optional< index_t > other;
            bool flat{ locals.has_value() };
            for( const local_index_t v : { 0, 1, 2, 3 } )
            {
                if( !flat || v == locals->at( 0 ) || v == locals->at( 1 ) )
                {
                    continue;
                }
                const auto adjacent = solid.polyhedron_adjacent( { t0, v } );
                flat = adjacent && adjacent.value() < solid.nb_polyhedra()
                       && modifier.is_polyhedron_active( adjacent.value() )
                       && ( !other || other == adjacent );
                other = adjacent;
            }
            if( flat )
            {
                auto first = solid.polyhedron_vertices( t0 );
                auto second = solid.polyhedron_vertices( other.value() );
                std::sort( first.begin(), first.end() );
                std::sort( second.begin(), second.end() );
                flat = first == second;
            }
            ORVANE_EXCEPTION( flat,
                "[TetrahedralSolidModifier::remove_tetrahedra_pair] The "
                "tetrahedra through the edge of tetrahedron ",
                t0, " are not a flat pair" );
        }
    } // namespace

    TetrahedralSolidModifier::TetrahedralSolidModifier(
        const TetrahedralSolid< 3 >& solid, TetrahedralSolidBuilder< 3 >& builder )
        : impl_( std::make_unique< Impl >( solid, builder ) )
    {
    }

    TetrahedralSolidModifier::~TetrahedralSolidModifier() = default;

    SolidSplitTetrahedronInfo TetrahedralSolidModifier::split_tetrahedron(
        index_t tetrahedron, const Point< 3 >& point )
    {
        check_live_tetrahedron( *this, impl_->solid(), tetrahedron, "split_tetrahedron" );
        check_finite_point( point, "split_tetrahedron" );
        const auto vertex = impl_->builder().create_point( point );
        return impl_->split_tetrahedron(
            tetrahedron, impl_->adjacent_facets( tetrahedron ), vertex );
    }

    SolidSplitFacetInfo TetrahedralSolidModifier::split_facet(
        const PolyhedronFacet& facet, const Point< 3 >& point )
    {
        check_live_facet( *this, impl_->solid(), facet, "split_facet" );
        check_finite_point( point, "split_facet" );
        return impl_->split_facet( facet, point );
    }

    SolidSplitFacetInfo TetrahedralSolidModifier::split_facet(
        index_t facet, const Point< 3 >& point )
    {
        check_table_facet( *this, impl_->solid(), facet, "split_facet" );
        check_finite_point( point, "split_facet" );
        return impl_->split_facet( facet, point );
    }

    SolidSplitEdgeInfo TetrahedralSolidModifier::split_edge(
        const PolyhedronFacetEdge& edge, const Point< 3 >& point )
    {
        check_live_facet_edge( *this, impl_->solid(), edge, "split_edge" );
        check_finite_point( point, "split_edge" );
        return impl_->split_edge( edge, point );
    }

    SolidSplitEdgeInfo TetrahedralSolidModifier::split_edge(
        index_t edge, const Point< 3 >& point )
    {
        check_table_edge( impl_->solid(), edge, "split_edge",
            "[SplitEdge] Given edge corresponds to no tetrahedron" );
        check_finite_point( point, "split_edge" );
        return impl_->split_edge( edge, point );
    }

    SolidCollapseEdgeInfo TetrahedralSolidModifier::collapse_edge(
        index_t edge, const Point< 3 >& point )
    {
        check_table_edge( impl_->solid(), edge, "collapse_edge",
            "[TetrahedralSolidModifier::collapse_edge] Given edge corresponds to "
            "no tetrahedron" );
        check_finite_point( point, "collapse_edge" );
        return impl_->collapse_edge( *this, edge, point );
    }

    SolidCollapseEdgeInfo TetrahedralSolidModifier::collapse_edge(
        const PolyhedronFacetEdge& edge, const Point< 3 >& point )
    {
        check_live_facet_edge( *this, impl_->solid(), edge, "collapse_edge" );
        check_finite_point( point, "collapse_edge" );
        return impl_->collapse_edge( *this, edge, point );
    }

    SolidSwapFacetInfo TetrahedralSolidModifier::swap_facet(
        const PolyhedronFacet& facet )
    {
        check_live_facet( *this, impl_->solid(), facet, "swap_facet" );
        return impl_->swap_facet( facet );
    }

    SolidSwapEdgeInfo TetrahedralSolidModifier::swap_edge(
        const PolyhedronFacetEdge& edge, index_t apex )
    {
        check_live_facet_edge( *this, impl_->solid(), edge, "swap_edge" );
        return impl_->swap_edge( edge, apex );
    }

    std::array< index_t, 2 > TetrahedralSolidModifier::remove_tetrahedra_pair(
        const PolyhedronFacetEdge& edge )
    {
        check_live_facet_edge( *this, impl_->solid(), edge, "remove_tetrahedra_pair" );
        check_flat_pair( *this, impl_->solid(), edge );
        return impl_->remove_tetrahedra_pair( edge );
    }

    std::array< index_t, 2 > TetrahedralSolidModifier::remove_tetrahedra_pair(
        const PolyhedronVertex& vertex )
    {
        check_live_tetrahedron(
            *this, impl_->solid(), vertex.polyhedron_id, "remove_tetrahedra_pair" );
        ORVANE_EXCEPTION( vertex.vertex_id < 4,
            "[TetrahedralSolidModifier::remove_tetrahedra_pair] A tetrahedron "
            "has no vertex ",
            vertex.vertex_id );
        return impl_->remove_tetrahedra_pair( vertex );
    }

    void TetrahedralSolidModifier::move_vertex(
        index_t vertex, const Point< 3 >& point )
    {
        ORVANE_EXCEPTION( vertex < impl_->solid().nb_vertices(),
            "[TetrahedralSolidModifier::move_vertex] Vertex ", vertex,
            " does not exist (the solid has ", impl_->solid().nb_vertices(),
            " vertices)" );
        check_finite_point( point, "move_vertex" );
        impl_->move_vertex( vertex, point );
    }

    SolidCleanInfo TetrahedralSolidModifier::clean()
    {
        return impl_->clean( *this );
    }

    bool TetrahedralSolidModifier::is_polyhedron_active( index_t tetrahedron ) const
    {
        return impl_->is_polyhedron_active( tetrahedron );
    }

    bool TetrahedralSolidModifier::is_facet_active( index_t facet ) const
    {
        return impl_->is_facet_active( facet );
    }

    std::vector< index_t > TetrahedralSolidModifier::delete_inactive_polyhedra()
    {
        return impl_->delete_inactive_polyhedra();
    }
} // namespace orvane
