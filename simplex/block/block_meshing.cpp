#include <simplex/block/block_meshing.hpp>

#include <utility>
#include <vector>

#include <absl/container/inlined_vector.h>

#include <openorvane/basic/async.hpp>
#include <openorvane/basic/progress_logger.hpp>
#include <openorvane/mesh/tetrahedral_solid.hpp>
#include <openorvane/model/brep.hpp>
#include <openorvane/model/brep_builder.hpp>
#include <openorvane/model/split_along_borders.hpp>

#include <simplex/block/block_sampler.hpp>
#include <simplex/block/tetgen_mesher.hpp>

namespace orvane
{
    namespace internal
    {
        RemeshedComponent mesh_block( const BRep& model,
            BRepBuilder& builder,
            const Block< 3 >& block,
            const Metric< 3 >& metric )
        {
            const auto points = sample_block_interior( model, block, metric );
            TetgenMesher mesher{ model, builder, block, points };
            return mesher.assign_result();
        }

        void mesh_blocks( BRep& model, BRepBuilder& builder, const Metric< 3 >& metric )
        {
            absl::InlinedVector< uuid, 16 > blocks;
            for( const auto& block : model.blocks() )
            {
                blocks.push_back( block.id() );
            }
            ProgressLogger logger{ "Meshing Blocks", static_cast< index_t >( blocks.size() ) };
            for( const auto& id : blocks )
            {
                builder.update_block_mesh( model.block( id ), TetrahedralSolid< 3 >::create() );
            }
            std::vector< async::Task< RemeshedComponent > > tasks;
            tasks.reserve( blocks.size() );
            for( const auto& id : blocks )
            {
                const auto& block = model.block( id );
                tasks.push_back( async::spawn( [&model, &builder, &block, &metric, &logger] {
                    auto result = mesh_block( model, builder, block, metric );
                    logger.increment();
                    return result;
                } ) );
            }
            async::when_all( std::move( tasks ) )
                .then( [&model, &builder]( std::vector< async::Task< RemeshedComponent > >&& ended ) {
                    for( auto& task : ended )
                    {
                        register_unique_vertices( builder, task.get() );
                    }
                    detail::SplitAlongBlockMeshBorders{ model, builder }.split_all_blocks();
                } )
                .get();
        }
    } // namespace internal
} // namespace orvane
