#include <simplex/surface/hole_piece_simplification.hpp>

#include <array>
#include <optional>
#include <vector>

#include <openorvane/basic/attribute_manager.hpp>
#include <openorvane/mesh/triangulated_surface.hpp>
#include <openorvane/mesh/triangulated_surface_builder.hpp>

#include <openorvane/geometry/predicates.hpp>

#include <common/modifier/triangle_preview.hpp>
#include <common/modifier/triangulated_surface_modifier.hpp>

namespace orvane::internal
{
    template < index_t dimension >
    HolePieceEditor< dimension >::HolePieceEditor( FrontalHolePiece< dimension >& piece )
        : piece_( piece ),
          mesh_( *piece.mesh ),
          builder_( TriangulatedSurfaceBuilder< dimension >::create( *piece.mesh ) ),
          locks_( mesh_.vertex_attribute_manager()
                      .template find_or_create_attribute< VariableAttribute, index_t >(
                          HOLE_PIECE_LOCKS, NO_ID ) )
    {
        for( index_t v = 0; v < piece_.output_vertices.size(); v++ )
        {
            if( piece_.output_vertices[v] != NO_ID )
            {
                locks_->set_value( v, v );
            }
        }
        split_pinched_vertices();
        modifier_ = std::make_unique< TriangulatedSurfaceModifier< dimension > >(
            mesh_, *builder_ );
    }

    template < index_t dimension >
    HolePieceEditor< dimension >::~HolePieceEditor()
    {
        // The modifier removes its flags when it goes; the locks go first so
        // that no handle outlives the attribute's removal unnoticed.
        locks_.reset();
        mesh_.vertex_attribute_manager().delete_attribute( HOLE_PIECE_LOCKS );
    }

    template < index_t dimension >
    void HolePieceEditor< dimension >::split_pinched_vertices()
    {
        // Corners already reached from their vertex's stored fan keep the
        // vertex; every other fan of corners gets a copy of it.
        const auto nb_polygons = mesh_.nb_polygons();
        std::vector< bool > reached( 3 * static_cast< std::size_t >( nb_polygons ), false );
        const auto corner = []( const PolygonVertex& pv ) {
            return 3 * static_cast< std::size_t >( pv.polygon_id ) + pv.vertex_id;
        };
        for( index_t v = 0; v < mesh_.nb_vertices(); v++ )
        {
            for( const auto& pv : mesh_.polygons_around_vertex( v ) )
            {
                reached[corner( pv )] = true;
            }
        }
        for( index_t p = 0; p < nb_polygons; p++ )
        {
            for( const local_index_t lv : { 0, 1, 2 } )
            {
                const PolygonVertex start{ p, lv };
                if( reached[corner( start )] )
                {
                    continue;
                }
                const auto vertex = mesh_.polygon_vertex( start );
                std::vector< PolygonVertex > fan{ start };
                reached[corner( start )] = true;
                for( std::size_t next = 0; next < fan.size(); next++ )
                {
                    const PolygonEdge outgoing{ fan[next] };
                    for( const auto& edge :
                        { outgoing, mesh_.previous_polygon_edge( outgoing ) } )
                    {
                        const auto adjacent = mesh_.polygon_adjacent( edge );
                        if( !adjacent )
                        {
                            continue;
                        }
                        const auto local = mesh_.vertex_in_polygon( *adjacent, vertex );
                        if( !local )
                        {
                            continue;
                        }
                        const PolygonVertex across{ *adjacent, *local };
                        if( !reached[corner( across )] )
                        {
                            reached[corner( across )] = true;
                            fan.push_back( across );
                        }
                    }
                }
                const auto copy = builder_->create_point( mesh_.point( vertex ) );
                locks_->set_value( copy, locks_->value( vertex ) );
                for( const auto& pv : fan )
                {
                    builder_->set_polygon_vertex( pv, copy );
                }
            }
        }
    }

    template < index_t dimension >
    bool HolePieceEditor< dimension >::has_lonely_locked_apex(
        const PolygonEdge& edge ) const
    {
        const auto apex = mesh_.polygon_vertex(
            PolygonVertex{ mesh_.previous_polygon_edge( edge ) } );
        return is_locked( apex ) && mesh_.polygons_around_vertex( apex ).size() < 2;
    }

    template < index_t dimension >
    void HolePieceEditor< dimension >::collapse(
        const PolygonEdge& edge, const Point< dimension >& point )
    {
        auto lock = NO_ID;
        for( const local_index_t end : { 0, 1 } )
        {
            const auto value = locks_->value( mesh_.polygon_edge_vertex( edge, end ) );
            if( value != NO_ID )
            {
                lock = value;
            }
        }
        const auto info = modifier_->collapse_edge( edge, point );
        locks_->set_value( info.new_vertex, lock );
    }

    namespace
    {
        /// The apex of the edge is free or in two polygons or more.
        template < index_t dimension >
        bool apex_keeps_a_polygon(
            const HolePieceEditor< dimension >& editor, const PolygonEdge& edge )
        {
            const auto& mesh = editor.mesh();
            const auto apex =
                mesh.polygon_vertex( PolygonVertex{ mesh.previous_polygon_edge( edge ) } );
            return !editor.is_locked( apex )
                   || mesh.polygons_around_vertex( apex ).size() >= 2;
        }

        template < index_t dimension >
        bool try_interior_collapse(
            HolePieceEditor< dimension >& editor, const PolygonEdge& edge )
        {
            const auto& mesh = editor.mesh();
            const auto [b, c] = mesh.polygon_edge_vertices( edge );
            const auto b_free = !editor.is_locked( b );
            if( !b_free && editor.is_locked( c ) )
            {
                return false;
            }
            const auto point = b_free ? mesh.point( c ) : mesh.point( b );
            if( !is_collapse_edge_valid< dimension >( mesh, { b, c }, point ) )
            {
                return false;
            }
            if( !apex_keeps_a_polygon( editor, edge ) )
            {
                return false;
            }
            if( const auto adjacent = mesh.polygon_adjacent_edge( edge ) )
            {
                if( editor.has_lonely_locked_apex( *adjacent ) )
                {
                    return false;
                }
            }
            editor.collapse( edge, point );
            return true;
        }
    } // namespace

    namespace
    {
        /// Whether moving the edge's end other than `kept_end` onto the kept
        /// end turns none of the triangles that remain around it: in 3-D
        /// against the polygon each replaces, in 2-D counter-clockwise.
        template < index_t dimension >
        bool collapse_keeps_orientation( const TriangulatedSurface< dimension >& mesh,
            const std::array< index_t, 2 >& ends,
            local_index_t kept_end )
        {
            for( const auto& preview :
                triangles_after_collapse_onto_vertex( mesh, ends, kept_end ) )
            {
                if constexpr( dimension == 3 )
                {
                    if( detail::is_triangle_inverted_in_polygon(
                            mesh, preview.triangle, preview.polygon ) )
                    {
                        return false;
                    }
                }
                else
                {
                    const auto& corners = preview.triangle.vertices();
                    if( detail::orient2d( corners[0], corners[1], corners[2] ) <= 0 )
                    {
                        return false;
                    }
                }
            }
            return true;
        }

        /// The border edge of the surface that ends at the vertex, if any.
        template < index_t dimension >
        std::optional< PolygonEdge > border_edge_into(
            const TriangulatedSurface< dimension >& mesh, index_t vertex )
        {
            for( const auto& corner : mesh.polygons_around_vertex( vertex ) )
            {
                const auto edge = mesh.previous_polygon_edge( PolygonEdge{ corner } );
                if( mesh.is_edge_on_border( edge ) )
                {
                    return edge;
                }
            }
            return std::nullopt;
        }

        /// The border edge of the surface that starts at the vertex, if any.
        template < index_t dimension >
        std::optional< PolygonEdge > border_edge_out_of(
            const TriangulatedSurface< dimension >& mesh, index_t vertex )
        {
            for( const auto& corner : mesh.polygons_around_vertex( vertex ) )
            {
                const PolygonEdge edge{ corner };
                if( mesh.is_edge_on_border( edge ) )
                {
                    return edge;
                }
            }
            return std::nullopt;
        }

        /// The border edge from b to c has the free end b, whose border
        /// neighbours are c and, across the border edge a -> b, a. The free
        /// end goes onto c unless that turns a triangle and going onto a
        /// does not; when both turn one, it still goes onto c, so that no
        /// free vertex stays on the border.
        template < index_t dimension >
        void collapse_free_border_start( HolePieceEditor< dimension >& editor,
            const PolygonEdge& edge )
        {
            const auto& mesh = editor.mesh();
            const auto [b, c] = mesh.polygon_edge_vertices( edge );
            if( !collapse_keeps_orientation( mesh, { b, c }, 1 ) )
            {
                if( const auto into = border_edge_into( mesh, b ) )
                {
                    const auto a = mesh.polygon_edge_vertex( *into, 0 );
                    if( a != c && collapse_keeps_orientation( mesh, { a, b }, 0 ) )
                    {
                        editor.collapse( *into, mesh.point( a ) );
                        return;
                    }
                }
            }
            editor.collapse( edge, mesh.point( c ) );
        }
    } // namespace

    template < index_t dimension >
    void collapse_unlocked_edges( HolePieceEditor< dimension >& editor )
    {
        const auto& mesh = editor.mesh();
        bool collapsed{ true };
        while( collapsed )
        {
            collapsed = false;
            const auto nb_polygons = mesh.nb_polygons();
            for( index_t p = 0; p < nb_polygons; p++ )
            {
                for( const local_index_t e : { 0, 1, 2 } )
                {
                    if( !editor.modifier().is_polygon_active( p ) )
                    {
                        break;
                    }
                    if( try_interior_collapse( editor, { p, e } ) )
                    {
                        collapsed = true;
                        break;
                    }
                }
            }
        }
    }

    template < index_t dimension >
    void collapse_unlocked_border_edges( HolePieceEditor< dimension >& editor )
    {
        const auto& mesh = editor.mesh();
        const auto nb_polygons = mesh.nb_polygons();
        for( index_t p = 0; p < nb_polygons; p++ )
        {
            for( const local_index_t e : { 0, 1, 2 } )
            {
                if( !editor.modifier().is_polygon_active( p ) )
                {
                    break;
                }
                const PolygonEdge edge{ p, e };
                if( !mesh.is_edge_on_border( edge ) )
                {
                    continue;
                }
                const auto [b, c] = mesh.polygon_edge_vertices( edge );
                if( !editor.is_locked( b ) )
                {
                    collapse_free_border_start( editor, edge );
                    break;
                }
                if( !editor.is_locked( c ) )
                {
                    // The free end c goes onto b, or onto its other border
                    // neighbour when only that keeps the orientations.
                    if( !collapse_keeps_orientation( mesh, { b, c }, 0 ) )
                    {
                        const auto out = border_edge_out_of( mesh, c );
                        if( out && mesh.polygon_edge_vertex( *out, 1 ) != b
                            && collapse_keeps_orientation(
                                mesh, mesh.polygon_edge_vertices( *out ), 1 ) )
                        {
                            editor.collapse(
                                *out, mesh.point( mesh.polygon_edge_vertex( *out, 1 ) ) );
                            break;
                        }
                    }
                    editor.collapse( edge, mesh.point( b ) );
                    break;
                }
            }
        }
        editor.modifier().clean();
    }

    template class HolePieceEditor< 2 >;
    template class HolePieceEditor< 3 >;
    template void collapse_unlocked_edges( HolePieceEditor< 2 >& );
    template void collapse_unlocked_edges( HolePieceEditor< 3 >& );
    template void collapse_unlocked_border_edges( HolePieceEditor< 2 >& );
    template void collapse_unlocked_border_edges( HolePieceEditor< 3 >& );
} // namespace orvane::internal
