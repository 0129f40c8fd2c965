#include <simplex/brep_remesher.hpp>

#include <memory>

#include <simplex/block/block_meshing.hpp>
#include <simplex/block/block_preprocessing.hpp>
#include <simplex/block/block_relaxer.hpp>
#include <simplex/corner/corner_remesher.hpp>
#include <simplex/line/line_relaxer.hpp>
#include <simplex/line/line_remesher.hpp>
#include <simplex/line/line_repair.hpp>
#include <simplex/metric/metric.hpp>
#include <simplex/model_splitter.hpp>
#include <simplex/remeshing_data.hpp>
#include <simplex/repair/repair_brep_surfaces.hpp>

namespace orvane
{
    BRepRemeshResult remesh_brep(
        BRep&& model, const Metric< 3 >& metric, const BRepRemeshOptions& options )
    {
        return internal::remesh_brep(
            std::move( model ), metric, options, internal::default_surface_stages() );
    }

    namespace internal
    {
        SurfaceStages default_surface_stages()
        {
            return { &remesh_surfaces, &relax_surfaces };
        }

        BRepRemeshResult remesh_brep( BRep&& model,
            const Metric< 3 >& metric,
            const BRepRemeshOptions& options,
            const SurfaceStages& stages,
            const StageObserver& observer )
        {
            StageClock clock{ observer };
            BRep output;
            auto data = std::make_unique< RemeshingData< BRep > >(
                std::move( model ), output, metric );
            prepare_remeshing( *data );
            clock.lap( "prepare" );
            remesh_corners( *data );
            clock.lap( "corners" );
            remesh_lines( *data );
            clock.lap( "lines" );
            if( options.repair_lines )
            {
                RepairModelLines repair{ *data };
                repair.repair();
                clock.lap( "repair lines" );
            }
            stages.remesh_surfaces( *data );
            clock.lap( "surfaces" );
            if( options.mesh_blocks )
            {
                // Flips only: the vertices stay where the surface stage put
                // them until the blocks are meshed.
                stages.relax_surfaces(
                    output, data->output_modifier, SurfaceRelaxerOptions{ false, true, nullptr } );
                data->output_modifier.clean();
                clock.lap( "flip surfaces" );
            }
            if( options.repair_surfaces )
            {
                repair_surfaces( *data );
                clock.lap( "repair surfaces" );
            }
            if( options.mesh_blocks )
            {
                preprocess_blocks( *data );
                // The blocks get new meshes: the modifier must not keep
                // editing the replaced ones.
                data->output_modifier.forget_block_modifiers();
                mesh_blocks( output, data->output_builder, metric );
                clock.lap( "block meshing" );
            }
            if( options.relax_lines )
            {
                relax_lines( output, data->output_modifier, &metric );
                clock.lap( "relax lines" );
            }
            if( options.relax_surfaces )
            {
                stages.relax_surfaces(
                    output, data->output_modifier, SurfaceRelaxerOptions{ true, true, &metric } );
                clock.lap( "relax surfaces" );
            }
            if( options.mesh_blocks && options.relax_blocks )
            {
                relax_blocks( output, data->output_modifier, metric );
                clock.lap( "relax blocks" );
            }
            data->output_modifier.clean();
            auto mapping = std::move( data->mappings );
            // The modifiers refer to the output model: gone before it moves.
            data.reset();
            clock.lap( "clean" );
            return { std::move( output ), std::move( mapping ) };
        }
    } // namespace internal
} // namespace orvane
