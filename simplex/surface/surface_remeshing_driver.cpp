#include <simplex/surface/surface_remeshing_driver.hpp>

#include <utility>
#include <vector>

#include <absl/container/inlined_vector.h>

#include <openorvane/basic/async.hpp>
#include <openorvane/basic/progress_logger.hpp>
#include <openorvane/model/brep.hpp>
#include <openorvane/model/brep_builder.hpp>

#include <simplex/remeshing_data.hpp>
#include <simplex/surface/surface_remesher_3d.hpp>

namespace orvane
{
    namespace internal
    {
        void remesh_surfaces( RemeshingData< BRep >& data )
        {
            absl::InlinedVector< uuid, 16 > surfaces;
            surfaces.reserve( data.input.nb_surfaces() );
            for( const auto& surface : data.input.surfaces() )
            {
                surfaces.push_back( surface.id() );
            }
            remesh_listed_surfaces( data, surfaces );
        }

        void remesh_listed_surfaces(
            RemeshingData< BRep >& data, absl::Span< const uuid > surfaces )
        {
            remesh_listed_surfaces( data, surfaces,
                []( RemeshingData< BRep >& remeshing_data, const Surface< 3 >& surface ) {
                    return std::unique_ptr< SurfaceRemesher< RemeshingData< BRep > > >{
                        std::make_unique< SurfaceRemesher3D >( remeshing_data, surface )
                    };
                } );
        }

        void remesh_listed_surfaces( RemeshingData< BRep >& data,
            absl::Span< const uuid > surfaces,
            const SurfaceRemesherMaker& make_remesher )
        {
            ProgressLogger logger{ "Remeshing Surfaces",
                static_cast< index_t >( surfaces.size() ) };
            std::vector< async::Task< RemeshedComponent > > tasks;
            tasks.reserve( surfaces.size() );
            for( const auto& id : surfaces )
            {
                const auto& surface = data.input.surface( id );
                tasks.push_back( async::spawn( [&data, &surface, &logger, &make_remesher] {
                    return remesh_surface_task( data, surface, logger, make_remesher );
                } ) );
            }
            async::when_all( std::move( tasks ) )
                .then( [&data]( std::vector< async::Task< RemeshedComponent > >&& ended ) {
                    collect_remeshed_surfaces( data, ended );
                } )
                .get();
        }

        RemeshedComponent remesh_surface_task( RemeshingData< BRep >& data,
            const Surface< 3 >& surface,
            ProgressLogger& logger,
            const SurfaceRemesherMaker& make_remesher )
        {
            auto result = [&] {
                auto remesher = make_remesher( data, surface );
                return remesher->remesh();
            }();
            logger.increment();
            return result;
        }

        void collect_remeshed_surfaces(
            RemeshingData< BRep >& data, std::vector< async::Task< RemeshedComponent > >& tasks )
        {
            for( auto& task : tasks )
            {
                // The first failure in surface order leaves here: the
                // surfaces before it stay registered, the later ones are
                // dropped.
                const auto result = task.get();
                register_unique_vertices( data.output_builder, result );
            }
        }
    } // namespace internal
} // namespace orvane
