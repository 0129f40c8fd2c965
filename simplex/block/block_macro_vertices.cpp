#include <simplex/block/block_macro_vertices.hpp>

#include <openorvane/model/brep.hpp>
#include <openorvane/model/brep_builder.hpp>

#include <background/background_solid.hpp>

namespace orvane
{
    namespace internal
    {
        MacroVertexRecorder::MacroVertexRecorder( const BRep& model, BRepBuilder& builder )
            : model_( model ), builder_( builder )
        {
        }

        MacroVertexRecorder::~MacroVertexRecorder() = default;

        BackgroundSolidBuilder* MacroVertexRecorder::block_builder( const uuid& block )
        {
            auto [entry, inserted] = builders_.try_emplace( block );
            if( inserted
                && dynamic_cast< const BackgroundSolid* >( &model_.block( block ).mesh() ) != nullptr )
            {
                entry->second.builder = builder_.block_mesh_builder( block );
                entry->second.background =
                    dynamic_cast< BackgroundSolidBuilder* >( entry->second.builder.get() );
            }
            return entry->second.background;
        }

        bool is_macro_vertex_of( const BRep& model, index_t unique_vertex, const uuid& component )
        {
            if( unique_vertex == NO_ID )
            {
                return false;
            }
            for( const auto& block_vertex :
                model.component_mesh_vertices( unique_vertex, Block< 3 >::component_type_static() ) )
            {
                const auto* solid = dynamic_cast< const BackgroundSolid* >(
                    &model.block( block_vertex.component_id.id() ).mesh() );
                if( solid != nullptr
                    && solid->has_init_vertex_component( block_vertex.vertex, component ) )
                {
                    return true;
                }
            }
            return false;
        }

        void add_macro_component( MacroVertexRecorder& recorder,
            const uuid& component,
            index_t element,
            index_t unique_vertex )
        {
            for( const auto& block_vertex : recorder.model().component_mesh_vertices(
                     unique_vertex, Block< 3 >::component_type_static() ) )
            {
                if( auto* builder = recorder.block_builder( block_vertex.component_id.id() ) )
                {
                    builder->add_init_vertex_id( component, element, block_vertex.vertex );
                }
            }
        }
    } // namespace internal
} // namespace orvane
