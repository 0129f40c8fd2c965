#include <common/modifier/brep_geometric_modifier.hpp>

#include <openorvane/model/brep.hpp>
#include <openorvane/model/brep_builder.hpp>

namespace orvane
{
    ComponentOldToNew BRepGeometricModifier::Impl::delete_inactive_block_polyhedra()
    {
        std::vector< CleanJob > jobs;
        for( const auto& block : model_.blocks() )
        {
            auto& modifier = block_modifier( block );
            const auto nb_polyhedra = block.mesh().nb_polyhedra();
            for( index_t p = 0; p < nb_polyhedra; p++ )
            {
                if( !modifier.is_polyhedron_active( p ) )
                {
                    auto* target = &modifier;
                    jobs.push_back( { block.id(),
                        [target] { return target->delete_inactive_polyhedra(); } } );
                    break;
                }
            }
        }
        return run_clean_batch( std::move( jobs ), {} );
    }

    ComponentOldToNew BRepGeometricModifier::Impl::delete_isolated_block_vertices()
    {
        std::vector< CleanJob > jobs;
        for( const auto& block : model_.blocks() )
        {
            const auto& mesh = block.mesh();
            bool isolated{ false };
            for( index_t v = 0; v < mesh.nb_vertices() && !isolated; v++ )
            {
                isolated = mesh.is_vertex_isolated( v );
            }
            if( !isolated )
            {
                continue;
            }
            // Taken on the calling thread: tasks never touch the stores.
            auto* modifier = &block_modifier( block );
            auto* builder = block_builders_.at( block.id() ).get();
            jobs.push_back( { block.id(), [modifier, builder] {
                                 auto old2new = builder->delete_isolated_vertices();
                                 modifier->clear_vertex_map();
                                 return old2new;
                             } } );
        }
        return run_clean_batch( std::move( jobs ),
            [this]( const uuid& id, const std::vector< index_t >& old2new ) {
                builder_.update_unique_vertices(
                    { Block< 3 >::component_type_static(), id }, old2new );
            } );
    }

    BRepCleanInfo BRepGeometricModifier::clean()
    {
        BRepCleanInfo result;
        // Inactive elements first, so that the vertices they leave isolated
        // go in the second phase.
        result.line_edges = impl_->delete_inactive_line_edges();
        result.surface_polygons = impl_->delete_inactive_surface_polygons();
        result.block_polyhedra = impl_->delete_inactive_block_polyhedra();
        result.line_vertices = impl_->delete_isolated_line_vertices();
        result.surface_vertices = impl_->delete_isolated_surface_vertices();
        result.block_vertices = impl_->delete_isolated_block_vertices();
        result.unique_vertices = impl_->builder().delete_isolated_vertices();
        // The map holds unique vertices of the old numbering.
        clear_vertex_map();
        return result;
    }
} // namespace orvane
