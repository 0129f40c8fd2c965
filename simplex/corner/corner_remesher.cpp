#include <simplex/corner/corner_remesher.hpp>

#include <vector>

#include <openorvane/basic/async.hpp>
#include <openorvane/basic/progress_logger.hpp>
#include <openorvane/mesh/point_set.hpp>

#include <simplex/remeshing_data.hpp>

namespace orvane
{
    namespace internal
    {
        void remesh_corners( RemeshingData< BRep >& data )
        {
            const auto nb_corners = data.output->nb_corners();
            ProgressLogger logger{ "Remeshing Corners", nb_corners };
            if( nb_corners == 0 )
            {
                return;
            }
            // Created before the tasks: each task only sets its own entry.
            const auto first = data.output_builder.create_unique_vertices( nb_corners );
            std::vector< async::Task< void > > tasks;
            tasks.reserve( nb_corners );
            index_t count{ 0 };
            for( const auto& corner : data.input.corners() )
            {
                const auto unique_vertex = first + count++;
                tasks.push_back( async::spawn( [&data, &corner, &logger, unique_vertex] {
                    const auto output_id = output_component_id( data, corner.component_id() );
                    auto builder = data.output_builder.corner_mesh_builder( output_id );
                    const auto vertex = builder->create_point( corner.mesh().point( 0 ) );
                    data.output_builder.set_unique_vertex(
                        { { Corner< 3 >::component_type_static(), output_id }, vertex },
                        unique_vertex );
                    logger.increment();
                } ) );
            }
            async::wait_all( tasks );
        }
    } // namespace internal
} // namespace orvane
