#include <absl/container/flat_hash_map.h>

#include <openorvane/basic/exception.hpp>

#include <simplex/surface/frontal/frontal_remesher_impl.hpp>

namespace
{
    /// The longest walk through open elements before the cycle search gives
    /// up.
    constexpr orvane::index_t MAX_CYCLE_WALK = 1000;

    /// The piece being built from one cycle: its mesh and builder, and the
    /// macro vertices and polygons copied into it.
    template < orvane::index_t dimension >
    struct PieceBuilder
    {
        PieceBuilder()
            : mesh( orvane::TriangulatedSurface< dimension >::create() ),
              builder( orvane::TriangulatedSurfaceBuilder< dimension >::create( *mesh ) )
        {
        }

        /// The piece vertex of the macro vertex, made on first use: piece
        /// vertices are numbered in order of first use.
        orvane::index_t vertex( const orvane::SurfaceMesh< dimension >& macro,
            orvane::index_t macro_vertex )
        {
            const auto [entry, inserted] = vertices.try_emplace(
                macro_vertex, static_cast< orvane::index_t >( vertices.size() ) );
            if( inserted )
            {
                builder->create_point( macro.point( macro_vertex ) );
                macro_vertices.push_back( macro_vertex );
            }
            return entry->second;
        }

        /// The piece triangle copying the macro polygon, made on first use.
        orvane::index_t triangle( const orvane::SurfaceMesh< dimension >& macro,
            orvane::index_t polygon )
        {
            const auto found = polygons.find( polygon );
            if( found != polygons.end() )
            {
                return found->second;
            }
            const auto index = static_cast< orvane::index_t >( polygons.size() );
            polygons.emplace( polygon, index );
            const auto corners = macro.polygon_vertices( polygon );
            std::array< orvane::index_t, 3 > copied;
            for( orvane::local_index_t v = 0; v < 3; v++ )
            {
                copied[v] = vertex( macro, corners[v] );
            }
            builder->create_triangle( copied );
            return index;
        }

        std::unique_ptr< orvane::TriangulatedSurface< dimension > > mesh;
        std::unique_ptr< orvane::TriangulatedSurfaceBuilder< dimension > > builder;
        absl::flat_hash_map< orvane::index_t, orvane::index_t > vertices;
        /// Piece vertex i copies macro_vertices[i].
        std::vector< orvane::index_t > macro_vertices;
        absl::flat_hash_map< orvane::index_t, orvane::index_t > polygons;
    };
} // namespace

namespace orvane::internal
{
    template < index_t dimension >
    FrontalResult< dimension > FrontalRemesher< dimension >::Impl::finish()
    {
        auto result = owner->release_output();
        for( const auto& cycle : macro_edges_cycles() )
        {
            if( auto piece = make_hole_piece( cycle ) )
            {
                result.holes.push_back( std::move( *piece ) );
            }
        }
        return result;
    }

    template < index_t dimension >
    absl::InlinedVector< std::vector< index_t >, 1 >
        FrontalRemesher< dimension >::Impl::macro_edges_cycles()
    {
        std::vector< index_t > open;
        absl::flat_hash_map< index_t, absl::InlinedVector< index_t, 4 > > outgoing;
        const auto nb_elements = static_cast< index_t >( element_triangles.size() );
        for( index_t e = 0; e < nb_elements; e++ )
        {
            if( element_triangles[e].second == NO_ID )
            {
                open.push_back( e );
                outgoing[element_vertices( e ).first].push_back( e );
            }
        }
        std::vector< bool > visited( nb_elements, false );
        absl::InlinedVector< std::vector< index_t >, 1 > cycles;
        for( const auto start : open )
        {
            if( visited[start] )
            {
                continue;
            }
            std::vector< index_t > walk;
            auto current = start;
            index_t counter{ 0 };
            while( true )
            {
                counter++;
                visited[current] = true;
                walk.push_back( current );
                const auto& next_candidates =
                    outgoing.at( element_vertices( current ).second );
                index_t next{ NO_ID };
                for( const auto candidate : next_candidates )
                {
                    if( !visited[candidate] )
                    {
                        next = candidate;
                        break;
                    }
                }
                if( counter >= MAX_CYCLE_WALK )
                {
                    throw OpenOrvaneException{
                        "[Frontal::macro_edges_cycles] Safety count exceeded"
                    };
                }
                if( next == NO_ID )
                {
                    break;
                }
                current = next;
            }

            // A walk through a vertex twice closes a loop there: cut it out
            // as a cycle of its own.
            std::vector< bool > taken( walk.size(), false );
            absl::flat_hash_map< index_t, std::size_t > position;
            for( std::size_t k = 0; k < walk.size(); k++ )
            {
                const auto v0 = element_vertices( walk[k] ).first;
                const auto [entry, inserted] = position.try_emplace( v0, k );
                if( inserted )
                {
                    continue;
                }
                std::vector< index_t > cycle;
                for( auto j = entry->second; j < k; j++ )
                {
                    if( taken[j] )
                    {
                        continue;
                    }
                    taken[j] = true;
                    cycle.push_back( walk[j] );
                    position.erase( element_vertices( walk[j] ).first );
                }
                cycles.push_back( std::move( cycle ) );
                position[v0] = k;
            }
            std::vector< index_t > last;
            for( std::size_t k = 0; k < walk.size(); k++ )
            {
                if( !taken[k] )
                {
                    last.push_back( walk[k] );
                }
            }
            if( !last.empty() )
            {
                cycles.push_back( std::move( last ) );
            }
        }
        return cycles;
    }

    template < index_t dimension >
    std::optional< FrontalHolePiece< dimension > >
        FrontalRemesher< dimension >::Impl::make_hole_piece(
            absl::Span< const index_t > cycle )
    {
        PieceBuilder< dimension > piece;
        FrontalHolePiece< dimension > result;
        result.element_chains.reserve( cycle.size() );
        // The vertices of the hole's boundary next to covered polygons, in
        // the order they were met.
        std::vector< index_t > boundary;
        absl::flat_hash_map< index_t, index_t > boundary_map;
        std::vector< index_t > stack;
        const auto add_boundary = [&]( index_t a, index_t b ) {
            for( const auto vertex : { a, b } )
            {
                if( boundary_map.try_emplace( vertex, piece.vertex( macro, vertex ) )
                        .second )
                {
                    boundary.push_back( vertex );
                }
            }
        };
        for( const auto element : cycle )
        {
            const auto ends = element_vertices( element );
            auto& chain = result.element_chains.emplace_back();
            chain.push_back( piece.vertex( macro, ends.second ) );
            for( const auto& step : macro_edge_path( ends.second, ends.first, element ) )
            {
                const auto a = macro.polygon_edge_vertex( step.edge, 0 );
                const auto b = macro.polygon_edge_vertex( step.edge, 1 );
                piece.vertex( macro, a );
                piece.vertex( macro, b );
                chain.push_back(
                    piece.vertex( macro, step_destination( macro, step ) ) );
                const auto across = macro.polygon_adjacent( step.edge );
                const auto polygon = across ? *across : step.edge.polygon_id;
                if( triangle_info->value( polygon ) == NO_ID )
                {
                    stack.push_back( polygon );
                }
                else
                {
                    add_boundary( a, b );
                }
            }
        }

        while( !stack.empty() )
        {
            const auto polygon = stack.back();
            stack.pop_back();
            if( triangle_info->value( polygon ) != NO_ID )
            {
                continue;
            }
            triangle_info->set_value( polygon, FRONTAL_HOLE_MARK );
            const auto triangle = piece.triangle( macro, polygon );
            for( local_index_t e = 0; e < 3; e++ )
            {
                const PolygonEdge edge{ polygon, e };
                if( element_on_polygon_edge( edge ) != NO_ID )
                {
                    continue;
                }
                const auto twin = macro.polygon_adjacent_edge( edge );
                if( !twin )
                {
                    continue;
                }
                const auto state = triangle_info->value( twin->polygon_id );
                if( state == FRONTAL_HOLE_MARK )
                {
                    const auto neighbour = piece.polygons.at( twin->polygon_id );
                    piece.builder->set_polygon_adjacent( { triangle, e }, neighbour );
                    piece.builder->set_polygon_adjacent(
                        { neighbour, twin->edge_id }, triangle );
                }
                else if( state == NO_ID )
                {
                    stack.push_back( twin->polygon_id );
                }
            }
        }
        if( piece.mesh->nb_polygons() == 0 )
        {
            return std::nullopt;
        }

        for( const auto vertex : boundary )
        {
            for( const auto& corner : macro.polygons_around_vertex( vertex ) )
            {
                if( piece.polygons.contains( corner.polygon_id ) )
                {
                    continue;
                }
                result.collar_triangles.push_back(
                    piece.triangle( macro, corner.polygon_id ) );
            }
        }

        const auto nb_vertices = piece.macro_vertices.size();
        result.output_vertices.assign( nb_vertices, NO_ID );
        for( std::size_t v = 0; v < nb_vertices; v++ )
        {
            result.output_vertices[v] = vertex_info->value( piece.macro_vertices[v] );
        }
        result.macro_vertices = std::move( piece.macro_vertices );
        piece.builder->compute_polygon_adjacencies();
        piece.builder.reset();
        result.mesh = std::move( piece.mesh );
        return result;
    }

    template class FrontalRemesher< 2 >::Impl;
    template class FrontalRemesher< 3 >::Impl;
} // namespace orvane::internal
