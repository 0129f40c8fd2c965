#pragma once

#include <array>
#include <memory>
#include <type_traits>
#include <vector>

#include <simplex/metric/constant_metric.hpp>
#include <simplex/surface/frontal/frontal_remesher_2d.hpp>
#include <simplex/surface/frontal/frontal_remesher_3d.hpp>
#include <simplex/surface/frontal/frontal_remesher_impl.hpp>

#include <tests/support/surface_fixtures.hpp>
#include <tests/support/surface_modifier_checks.hpp>

// Small macro surfaces with a frontal remesher on them, and a way to lay
// front elements along chains of macro edges by hand.

namespace orvane::test
{
    /// A flat grid of nx by ny unit squares in the plane z = 0; vertex
    /// (i, j) is i + (nx + 1) * j, each square split from bottom-left to
    /// top-right.
    template < index_t dimension >
    EditableSurface< dimension > flat_grid( index_t nx, index_t ny )
    {
        initialize_surface_meshes();
        std::vector< std::array< double, 3 > > points;
        for( index_t j = 0; j <= ny; j++ )
        {
            for( index_t i = 0; i <= nx; i++ )
            {
                points.push_back( { double( i ), double( j ), 0. } );
            }
        }
        std::vector< std::array< index_t, 3 > > triangles;
        for( index_t j = 0; j < ny; j++ )
        {
            for( index_t i = 0; i < nx; i++ )
            {
                const index_t v = i + ( nx + 1 ) * j;
                triangles.push_back( { v, v + 1, v + nx + 2 } );
                triangles.push_back( { v, v + nx + 2, v + nx + 1 } );
            }
        }
        return make_surface< dimension >( points, triangles );
    }

    /// A frontal remesher of the right dimension on a surface it keeps.
    template < index_t dimension >
    struct FrontalFixture
    {
        using Remesher = std::conditional_t< dimension == 3,
            internal::FrontalRemesher3D,
            internal::FrontalRemesher2D >;

        explicit FrontalFixture( EditableSurface< dimension > editable,
            std::vector< index_t > fixed_vertices = {},
            double size = 1. )
            // The remesher creates meshes through the factories: start the
            // mesh library first, even when the surface was built directly.
            : surface( ( initialize_surface_meshes(), std::move( editable ) ) ),
              metric( size ),
              fixed( std::move( fixed_vertices ) ),
              remesher( std::make_unique< Remesher >(
                  *surface.mesh, *surface.builder, metric, fixed ) )
        {
        }

        typename internal::FrontalRemesher< dimension >::Impl& state()
        {
            return remesher->state();
        }

        /// Prepares the macro surface and creates the working attributes.
        void prepare()
        {
            state().prepare_macro_surface();
            state().create_macro_attributes();
        }

        /// Appends an open element running along the chain of macro vertices
        /// and lists it on each polygon edge of the chain; its ends get
        /// output vertices.
        index_t add_element( const std::vector< index_t >& chain )
        {
            auto& impl = state();
            const auto id = static_cast< index_t >( impl.element_vertices_.size() );
            impl.element_vertices_.emplace_back( chain.front(), chain.back() );
            impl.element_triangles.emplace_back( NO_ID, NO_ID );
            for( std::size_t i = 0; i + 1 < chain.size(); i++ )
            {
                const auto edge =
                    surface.mesh->polygon_edge_from_vertices( chain[i], chain[i + 1] )
                        .value();
                impl.edge_info->modify_value( edge.polygon_id,
                    [&]( internal::FrontalEdgeInfo& info ) {
                        info[edge.edge_id].push_back( id );
                    } );
            }
            impl.output_vertex( chain.front(), false );
            impl.output_vertex( chain.back(), false );
            return id;
        }

        internal::FrontalQueueElement< dimension > queue_element(
            index_t element, index_t kind = 1 )
        {
            const auto ends = state().element_vertices( element );
            return { *surface.mesh, metric, ends.first, ends.second, kind, element };
        }

        EditableSurface< dimension > surface;
        ConstantMetric< dimension > metric;
        std::vector< index_t > fixed;
        std::unique_ptr< Remesher > remesher;
    };
} // namespace orvane::test
