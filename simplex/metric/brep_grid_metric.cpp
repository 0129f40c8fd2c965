#include <simplex/metric/brep_grid_metric.hpp>

#include <absl/container/flat_hash_map.h>

#include <openorvane/basic/variable_attribute.hpp>
#include <openorvane/mesh/repair_polygon_orientations.hpp>
#include <openorvane/mesh/triangulated_surface.hpp>
#include <openorvane/mesh/triangulated_surface_builder.hpp>
#include <openorvane/model/block.hpp>
#include <openorvane/model/brep.hpp>
#include <openorvane/model/surface.hpp>

namespace orvane
{
    class BRepGridMetric::Impl
    {
    public:
        Impl( const LightRegularGrid< 3 >& grid, const BRep& model )
            : grid_( grid ),
              values_( grid.cell_attribute_manager()
                           .find_or_create_attribute< VariableAttribute, double >(
                               ATTRIBUTE_NAME, NO_SIZE_REQUESTED ) ),
              model_( model )
        {
        }

        const LightRegularGrid< 3 >& grid_;
        std::shared_ptr< VariableAttribute< double > > values_;
        const BRep& model_;
    };

    BRepGridMetric::BRepGridMetric(
        const LightRegularGrid< 3 >& grid, double default_value, const BRep& model )
        : GridMetric< 3 >( grid, default_value ),
          impl_( std::make_unique< Impl >( grid, model ) )
    {
    }

    BRepGridMetric::~BRepGridMetric() = default;

    std::unique_ptr< TriangulatedSurface< 3 > > BRepGridMetric::block_boundary_surface(
        const Block< 3 >& block ) const
    {
        auto boundary = TriangulatedSurface< 3 >::create();
        auto builder = TriangulatedSurfaceBuilder< 3 >::create( *boundary );
        absl::flat_hash_map< index_t, index_t > unique_to_new;
        const auto& model = impl_->model_;
        for( const auto& surface : model.boundaries( block ) )
        {
            const auto& mesh = surface.mesh();
            const auto id = surface.component_id();
            // Vertices without a unique vertex are not merged with anything.
            std::vector< index_t > own_vertex( mesh.nb_vertices(), NO_ID );
            const auto new_vertex = [&]( index_t vertex ) {
                const auto unique = model.unique_vertex( { id, vertex } );
                if( unique == NO_ID )
                {
                    if( own_vertex[vertex] == NO_ID )
                    {
                        own_vertex[vertex] = builder->create_point( mesh.point( vertex ) );
                    }
                    return own_vertex[vertex];
                }
                const auto found = unique_to_new.find( unique );
                if( found != unique_to_new.end() )
                {
                    return found->second;
                }
                const auto created = builder->create_point( mesh.point( vertex ) );
                unique_to_new.emplace( unique, created );
                return created;
            };
            for( index_t polygon = 0; polygon < mesh.nb_polygons(); polygon++ )
            {
                const auto vertices = mesh.polygon_vertices( polygon );
                const auto first = new_vertex( vertices[0] );
                auto previous = new_vertex( vertices[1] );
                for( std::size_t v = 2; v < vertices.size(); v++ )
                {
                    const auto next = new_vertex( vertices[v] );
                    builder->create_triangle( { first, previous, next } );
                    previous = next;
                }
            }
        }
        builder->compute_polygon_adjacencies();
        repair_polygon_orientations( *boundary );
        return boundary;
    }
} // namespace orvane
