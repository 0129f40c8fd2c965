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
            auto* modifier = &block_modifier( block );
            if( detail::any_index( block.mesh().nb_polyhedra(),
                    [modifier]( index_t p ) {
                        return !modifier->is_polyhedron_active( p );
                    } ) )
            {
                jobs.push_back( { block.id(),
                    [modifier] { return modifier->delete_inactive_polyhedra(); } } );
            }
        }
        return run_clean_batch( std::move( jobs ), {} );
    }

    ComponentOldToNew BRepGeometricModifier::Impl::delete_isolated_block_vertices()
    {
        std::vector< CleanJob > jobs;
        for( const auto& block : model_.blocks() )
        {
            if( detail::has_isolated_vertex( block.mesh() ) )
            {
                // Taken on the calling thread: tasks never touch the stores.
                // The modifier first: it creates the builder.
                auto& modifier = block_modifier( block );
                jobs.push_back( isolated_vertices_job(
                    block.id(), *block_builders_.at( block.id() ), modifier ) );
            }
        }
        return run_clean_batch( std::move( jobs ),
            unique_vertex_update( Block< 3 >::component_type_static() ) );
    }

    BRepInactiveElementsInfo BRepGeometricModifier::delete_inactive_component_elements()
    {
        BRepInactiveElementsInfo result;
        result.line_edges = impl_->delete_inactive_line_edges();
        result.surface_polygons = impl_->delete_inactive_surface_polygons();
        result.block_polyhedra = impl_->delete_inactive_block_polyhedra();
        return result;
    }

    BRepCleanInfo BRepGeometricModifier::clean()
    {
        BRepCleanInfo result;
        // Inactive elements first, so that the vertices they leave isolated
        // go in the second phase.
        auto inactive = delete_inactive_component_elements();
        result.line_edges = std::move( inactive.line_edges );
        result.surface_polygons = std::move( inactive.surface_polygons );
        result.block_polyhedra = std::move( inactive.block_polyhedra );
        result.line_vertices = impl_->delete_isolated_line_vertices();
        result.surface_vertices = impl_->delete_isolated_surface_vertices();
        result.block_vertices = impl_->delete_isolated_block_vertices();
        result.unique_vertices = impl_->builder().delete_isolated_vertices();
        // The map holds unique vertices of the old numbering.
        clear_vertex_map();
        return result;
    }
} // namespace orvane
