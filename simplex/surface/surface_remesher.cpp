#include <simplex/surface/surface_remesher.hpp>

#include <algorithm>
#include <array>

#include <openorvane/basic/attribute_manager.hpp>
#include <openorvane/basic/exception.hpp>
#include <openorvane/basic/variable_attribute.hpp>
#include <openorvane/mesh/surface_mesh.hpp>
#include <openorvane/mesh/surface_mesh_builder.hpp>
#include <openorvane/mesh/triangulated_surface.hpp>
#include <openorvane/mesh/triangulated_surface_builder.hpp>
#include <openorvane/model/brep.hpp>
#include <openorvane/model/brep_builder.hpp>

#include <simplex/line/line_remesher.hpp>
#include <simplex/remeshing_data.hpp>
#include <simplex/surface/hole_piece_simplification.hpp>

namespace orvane
{
    namespace detail
    {
        std::unique_ptr< TriangulatedSurfaceBuilder< 3 > > create_surface_builder(
            SurfacesBuilder< 3 >& builder, const uuid& surface )
        {
            auto& mesh = dynamic_cast< TriangulatedSurface< 3 >& >(
                builder.modifiable_surface( surface ).get_modifiable_mesh() );
            return TriangulatedSurfaceBuilder< 3 >::create( mesh );
        }
    } // namespace detail
} // namespace orvane

namespace orvane::internal
{
    SurfaceRemesher< RemeshingData< BRep > >::SurfaceRemesher(
        RemeshingData< BRep >& data, const Surface< 3 >& surface )
        : impl_( std::make_unique< Impl >( data, surface ) )
    {
    }

    SurfaceRemesher< RemeshingData< BRep > >::~SurfaceRemesher() = default;

    RemeshedComponent SurfaceRemesher< RemeshingData< BRep > >::remesh()
    {
        impl_->add_boundary_vertices();
        do_remesh();
        impl_->remove_duplicated_triangles();
        if( impl_->output_mesh.nb_polygons() == 0 )
        {
            throw OpenOrvaneException{ "[SurfaceRemesher::remesh] Remeshed surface empty" };
        }
        return impl_->release_result();
    }

    SurfaceRemesher< RemeshingData< BRep > >::Impl::Impl(
        RemeshingData< BRep >& remeshing_data, const Surface< 3 >& input_surface )
        : data( remeshing_data ),
          output_id( Surface< 3 >::component_type_static(),
              output_component_id( remeshing_data, input_surface.component_id() ) ),
          surface( input_surface ),
          mesh( dynamic_cast< const TriangulatedSurface< 3 >& >( input_surface.mesh() ) ),
          builder( detail::create_surface_builder(
              remeshing_data.input_builder, input_surface.id() ) ),
          output_mesh( remeshing_data.output->surface( output_id.id() ).mesh() ),
          output_builder(
              remeshing_data.output_builder.surface_mesh_builder( output_id.id() ) ),
          result( output_id )
    {
    }

    SurfaceRemesher< RemeshingData< BRep > >::Impl::~Impl() = default;

    index_t SurfaceRemesher< RemeshingData< BRep > >::Impl::fixed_output_vertex(
        index_t input_vertex )
    {
        const auto [found, inserted] =
            fixed_vertex_outputs.try_emplace( input_vertex, output_mesh.nb_vertices() );
        if( inserted )
        {
            output_builder->create_point( mesh.point( input_vertex ) );
            fixed_macro_vertices.push_back( input_vertex );
        }
        return found->second;
    }

    void SurfaceRemesher< RemeshingData< BRep > >::Impl::set_unique_vertex(
        index_t output_vertex, index_t unique_vertex )
    {
        auto& list = result.unique_vertices;
        if( list.size() <= output_vertex )
        {
            if( list.capacity() <= output_vertex )
            {
                list.reserve(
                    std::max< std::size_t >( 2 * list.capacity(), output_vertex + 1 ) );
            }
            list.resize( output_vertex + 1, NO_ID );
        }
        list[output_vertex] = unique_vertex;
    }

    void SurfaceRemesher< RemeshingData< BRep > >::Impl::add_boundary_vertices()
    {
        const auto& input = data.input;
        for( const auto& line : input.boundaries( surface ) )
        {
            add_line_vertices( line );
        }
        for( const auto& line : input.internal_lines( surface ) )
        {
            add_line_vertices( line );
        }
        for( const auto& corner : input.internal_corners( surface ) )
        {
            add_corner_vertices( corner );
        }
    }

    void SurfaceRemesher< RemeshingData< BRep > >::Impl::add_line_vertices(
        const Line< 3 >& line )
    {
        const auto remeshed =
            line.mesh().vertex_attribute_manager().find_attribute< index_t >(
                REMESHED_LINE_ATTRIBUTE );
        const auto line_id = line.component_id();
        for( index_t v = 0; v < line.mesh().nb_vertices(); v++ )
        {
            const auto output_unique = remeshed->value( v );
            if( output_unique == NO_ID )
            {
                continue;
            }
            const auto unique = data.input.unique_vertex( { line_id, v } );
            if( unique == NO_ID )
            {
                continue;
            }
            for( const auto& cmv : data.input.component_mesh_vertices( unique ) )
            {
                if( cmv.component_id.id() == surface.id() )
                {
                    set_unique_vertex( fixed_output_vertex( cmv.vertex ), output_unique );
                }
            }
        }
    }

    void SurfaceRemesher< RemeshingData< BRep > >::Impl::add_corner_vertices(
        const Corner< 3 >& corner )
    {
        const auto unique = data.input.unique_vertex( { corner.component_id(), 0 } );
        const ComponentID output_corner{ Corner< 3 >::component_type_static(),
            output_component_id( data, corner.component_id() ) };
        const auto output_unique = data.output->unique_vertex( { output_corner, 0 } );
        if( unique == NO_ID )
        {
            return;
        }
        for( const auto& cmv : data.input.component_mesh_vertices( unique ) )
        {
            if( cmv.component_id.id() == surface.id() )
            {
                set_unique_vertex( fixed_output_vertex( cmv.vertex ), output_unique );
            }
        }
    }

    void SurfaceRemesher< RemeshingData< BRep > >::Impl::remove_duplicated_triangles()
    {
        // Triangles are grouped by their sorted vertices; the parity of the
        // sorting permutation tells the orientation of each copy.
        struct Copy
        {
            index_t polygon;
            bool odd;
        };
        absl::flat_hash_map< std::array< index_t, 3 >, absl::InlinedVector< Copy, 1 > > groups;
        const auto nb_polygons = output_mesh.nb_polygons();
        groups.reserve( nb_polygons );
        for( index_t p = 0; p < nb_polygons; p++ )
        {
            std::array< index_t, 3 > key{ output_mesh.polygon_vertex( { p, 0 } ),
                output_mesh.polygon_vertex( { p, 1 } ),
                output_mesh.polygon_vertex( { p, 2 } ) };
            // The rotation that brings the smallest vertex first keeps the
            // orientation; the last two then tell it.
            const auto first = static_cast< std::size_t >(
                std::min_element( key.begin(), key.end() ) - key.begin() );
            std::rotate( key.begin(), key.begin() + first, key.end() );
            const auto odd = key[1] > key[2];
            if( odd )
            {
                std::swap( key[1], key[2] );
            }
            groups[key].push_back( { p, odd } );
        }
        std::vector< bool > to_delete( nb_polygons, false );
        bool any{ false };
        for( const auto& [key, copies] : groups )
        {
            if( copies.size() < 2 )
            {
                continue;
            }
            const auto mixed = std::any_of( copies.begin(), copies.end(),
                [&copies]( const Copy& copy ) { return copy.odd != copies.front().odd; } );
            // The first copy in polygon order is kept unless the copies
            // face both ways.
            auto kept = copies.front().polygon;
            for( const auto& copy : copies )
            {
                kept = std::min( kept, copy.polygon );
            }
            for( const auto& copy : copies )
            {
                if( mixed || copy.polygon != kept )
                {
                    to_delete[copy.polygon] = true;
                    any = true;
                }
            }
        }
        if( !any )
        {
            return;
        }
        output_builder->delete_polygons( to_delete );
        const auto old2new = output_builder->delete_isolated_vertices();
        output_builder->compute_polygon_adjacencies();
        auto& list = result.unique_vertices;
        std::vector< index_t > renumbered( output_mesh.nb_vertices(), NO_ID );
        for( index_t v = 0; v < std::min< std::size_t >( list.size(), old2new.size() ); v++ )
        {
            if( old2new[v] != NO_ID )
            {
                renumbered[old2new[v]] = list[v];
            }
        }
        list = std::move( renumbered );
    }

    void SurfaceRemesher< RemeshingData< BRep > >::Impl::write_polygons(
        const SurfaceMesh< 3 >& source, absl::Span< const index_t > map )
    {
        const auto nb_polygons = source.nb_polygons();
        std::vector< index_t > written( nb_polygons );
        absl::InlinedVector< index_t, 3 > vertices;
        for( index_t p = 0; p < nb_polygons; p++ )
        {
            vertices.clear();
            for( const auto vertex : source.polygon_vertices( p ) )
            {
                vertices.push_back( map.at( vertex ) );
            }
            written[p] = output_builder->create_polygon( vertices );
        }
        for( index_t p = 0; p < nb_polygons; p++ )
        {
            for( local_index_t e = 0; e < source.nb_polygon_vertices( p ); e++ )
            {
                if( const auto adjacent = source.polygon_adjacent( { p, e } ) )
                {
                    output_builder->set_polygon_adjacent( { written[p], e }, written[*adjacent] );
                }
            }
        }
    }

    std::vector< index_t > SurfaceRemesher< RemeshingData< BRep > >::Impl::fill_hole_piece(
        FrontalHolePiece< 3 >& piece, absl::Span< const index_t > map )
    {
        HolePieceEditor< 3 > editor{ piece };
        collapse_unlocked_edges( editor );
        collapse_unlocked_border_edges( editor );
        const auto& reduced = editor.mesh();
        std::vector< index_t > answer( reduced.nb_vertices() );
        for( index_t v = 0; v < reduced.nb_vertices(); v++ )
        {
            const auto stands_for = editor.locks().value( v );
            if( stands_for == NO_ID || piece.output_vertices.at( stands_for ) == NO_ID )
            {
                answer[v] = output_builder->create_point( reduced.point( v ) );
            }
            else
            {
                answer[v] = map.at( piece.output_vertices[stands_for] );
            }
        }
        return answer;
    }

    RemeshedComponent SurfaceRemesher< RemeshingData< BRep > >::Impl::release_result()
    {
        result.unique_vertices.resize( output_mesh.nb_vertices(), NO_ID );
        RemeshedComponent answer{ output_id };
        answer.unique_vertices = std::move( result.unique_vertices );
        result.unique_vertices.clear();
        return answer;
    }
} // namespace orvane::internal
