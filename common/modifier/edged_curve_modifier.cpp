#include <common/modifier/edged_curve_modifier.hpp>

#include <limits>
#include <tuple>

#include <openorvane/basic/attribute_interpolation.hpp>
#include <openorvane/basic/attribute_manager.hpp>
#include <openorvane/basic/exception.hpp>
#include <openorvane/basic/variable_attribute.hpp>
#include <openorvane/geometry/barycentric_coordinates.hpp>
#include <openorvane/geometry/distance.hpp>
#include <openorvane/mesh/edged_curve.hpp>

namespace orvane
{
    template < index_t dimension >
    class EdgedCurveModifier< dimension >::Impl
    {
    public:
        Impl( const EdgedCurve< dimension >& mesh,
            EdgedCurveBuilder< dimension >& builder )
            : mesh_( mesh ),
              builder_( builder ),
              edge_active_( mesh.edge_attribute_manager() )
        {
        }

        bool is_edge_active( index_t edge ) const
        {
            return edge_active_.is_active( edge );
        }

        const EdgedCurve< dimension >& mesh() const
        {
            return mesh_;
        }

        index_t split_edge( index_t edge, const Point< dimension >& point )
        {
            const auto vertex = builder_.create_point( point );
            const auto vertices = mesh_.edge_vertices( edge );
            interpolate_on_segment( vertex, vertices );
            const auto edges = vertices_edges( vertices );
            for( const auto& end : edges )
            {
                for( const auto& edge_vertex : end )
                {
                    if( edge_vertex.edge_id == edge )
                    {
                        builder_.disassociate_edge_vertex_to_vertex( edge_vertex );
                    }
                }
            }
            edge_active_.set_active( edge, false );
            builder_.create_edge( vertices[0], vertex );
            builder_.create_edge( vertex, vertices[1] );
            return vertex;
        }

        EdgedCurveCollapseEdgeInfo collapse_edge( VerticesModifier& modifier,
            index_t edge,
            const Point< dimension >& point )
        {
            const auto vertex = builder_.create_point( point );
            const auto vertices = mesh_.edge_vertices( edge );
            interpolate_on_segment( vertex, vertices );
            const auto edges = vertices_edges( vertices );
            EdgedCurveCollapseEdgeInfo info;
            info.new_vertex = vertex;
            info.merged_vertices = { vertices[0], vertices[1] };
            info.collapsed_edge = edge;
            for( const auto& end : edges )
            {
                for( const auto& edge_vertex : end )
                {
                    if( edge_vertex.edge_id == edge )
                    {
                        builder_.disassociate_edge_vertex_to_vertex( edge_vertex );
                    }
                    else
                    {
                        builder_.set_edge_vertex( edge_vertex, vertex );
                    }
                }
            }
            edge_active_.set_active( edge, false );
            modifier.update_vertex_map( info );
            return info;
        }

        void move_vertex( index_t vertex, const Point< dimension >& point )
        {
            auto& vertex_attributes = mesh_.vertex_attribute_manager();
            if( !mesh_.is_vertex_isolated( vertex )
                && vertex_attributes.has_interpolable_attributes() )
            {
                auto best_distance = std::numeric_limits< double >::max();
                index_t best_edge{ NO_ID };
                for( const auto& edge_vertex : mesh_.edges_around_vertex( vertex ) )
                {
                    const auto distance = std::get< 0 >( point_segment_distance(
                        point, mesh_.segment( edge_vertex.edge_id ) ) );
                    if( distance < best_distance )
                    {
                        best_distance = distance;
                        best_edge = edge_vertex.edge_id;
                        if( distance <= GLOBAL_EPSILON )
                        {
                            break;
                        }
                    }
                }
                if( best_edge != NO_ID )
                {
                    const auto weights = safe_segment_barycentric_coordinates(
                        point, mesh_.segment( best_edge ) );
                    const auto vertices = mesh_.edge_vertices( best_edge );
                    vertex_attributes.interpolate_attribute_value(
                        AttributeLinearInterpolation{ vertices, weights }, vertex );
                }
            }
            builder_.set_point( vertex, point );
        }

        std::vector< index_t > delete_inactive_edges()
        {
            std::vector< bool > to_delete( mesh_.nb_edges(), false );
            for( index_t edge = 0; edge < mesh_.nb_edges(); edge++ )
            {
                to_delete[edge] = !is_edge_active( edge );
            }
            return builder_.delete_edges( to_delete );
        }

    private:
        /// Copies of the edge-end lists of both vertices, taken before the
        /// edit changes them.
        std::array< EdgesAroundVertex, 2 > vertices_edges(
            const EdgeVertices& vertices ) const
        {
            return { mesh_.edges_around_vertex( vertices[0] ),
                mesh_.edges_around_vertex( vertices[1] ) };
        }

        void interpolate_on_segment(
            index_t new_vertex, const EdgeVertices& vertices )
        {
            auto& manager = mesh_.vertex_attribute_manager();
            if( !manager.has_interpolable_attributes() )
            {
                return;
            }
            const auto weights =
                safe_segment_barycentric_coordinates( mesh_.point( new_vertex ),
                    Segment< dimension >{ mesh_.point( vertices[0] ),
                        mesh_.point( vertices[1] ) } );
            manager.interpolate_attribute_value(
                AttributeLinearInterpolation{ vertices, weights }, new_vertex );
        }

    private:
        const EdgedCurve< dimension >& mesh_;
        EdgedCurveBuilder< dimension >& builder_;
        internal::ActiveFlags edge_active_;
    };

    template < index_t dimension >
    EdgedCurveModifier< dimension >::EdgedCurveModifier(
        const EdgedCurve< dimension >& mesh, EdgedCurveBuilder< dimension >& builder )
        : impl_( std::make_unique< Impl >( mesh, builder ) )
    {
    }

    template < index_t dimension >
    EdgedCurveModifier< dimension >::~EdgedCurveModifier() = default;

    namespace
    {
        /// The edited edge exists and is live, and the point is finite:
        /// checked before any change.
        template < index_t dimension >
        void check_edit( const EdgedCurveModifier< dimension >& modifier,
            index_t nb_edges,
            index_t edge,
            const Point< dimension >& point,
            const char* function )
        {
            ORVANE_EXCEPTION( edge < nb_edges, "[EdgedCurveModifier::", function,
                "] Edge ", edge, " does not exist (the curve has ", nb_edges,
                " edges)" );
            ORVANE_EXCEPTION( modifier.is_edge_active( edge ),
                "[EdgedCurveModifier::", function, "] Edge ", edge, " is inactive" );
            ORVANE_EXCEPTION( point.is_finite(), "[EdgedCurveModifier::", function,
                "] Cannot use the non-finite point ", point.string() );
        }
    } // namespace

    template < index_t dimension >
    EdgedCurveCollapseEdgeInfo EdgedCurveModifier< dimension >::collapse_edge(
        index_t edge, const Point< dimension >& point )
    {
        check_edit( *this, impl_->mesh().nb_edges(), edge, point, "collapse_edge" );
        return impl_->collapse_edge( *this, edge, point );
    }

    template < index_t dimension >
    index_t EdgedCurveModifier< dimension >::split_edge(
        index_t edge, const Point< dimension >& point )
    {
        check_edit( *this, impl_->mesh().nb_edges(), edge, point, "split_edge" );
        return impl_->split_edge( edge, point );
    }

    template < index_t dimension >
    void EdgedCurveModifier< dimension >::move_vertex(
        index_t vertex, const Point< dimension >& point )
    {
        const auto nb_vertices = impl_->mesh().nb_vertices();
        ORVANE_EXCEPTION( vertex < nb_vertices, "[EdgedCurveModifier::move_vertex] "
            "Vertex ", vertex, " does not exist (the curve has ", nb_vertices,
            " vertices)" );
        ORVANE_EXCEPTION( point.is_finite(), "[EdgedCurveModifier::move_vertex] "
            "Cannot use the non-finite point ", point.string() );
        impl_->move_vertex( vertex, point );
    }

    template < index_t dimension >
    bool EdgedCurveModifier< dimension >::is_edge_active( index_t edge ) const
    {
        return impl_->is_edge_active( edge );
    }

    template < index_t dimension >
    std::vector< index_t > EdgedCurveModifier< dimension >::delete_inactive_edges()
    {
        return impl_->delete_inactive_edges();
    }

    namespace detail
    {
        std::optional< local_index_t > edge_vertex_at_point(
            const EdgedCurve< 3 >& mesh, index_t edge, const Point< 3 >& point )
        {
            const auto vertices = mesh.edge_vertices( edge );
            for( local_index_t end = 0; end < 2; end++ )
            {
                if( mesh.point( vertices[end] ).inexact_equal( point ) )
                {
                    return end;
                }
            }
            return std::nullopt;
        }
    } // namespace detail

    template class EdgedCurveModifier< 2 >;
    template class EdgedCurveModifier< 3 >;
} // namespace orvane
