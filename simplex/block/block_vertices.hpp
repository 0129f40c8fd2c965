#pragma once

#include <openorvane/geometry/point.hpp>
#include <openorvane/model/brep.hpp>

namespace orvane
{
    namespace detail
    {
        /// Calls visitor(unique vertex, point) for every mesh vertex of the
        /// components that shape a block, in this order: each boundary
        /// surface, each internal surface, each internal line, each internal
        /// corner (model range order, vertices in mesh order). A unique
        /// vertex held by several of them is visited once per holder: the
        /// caller keeps the first.
        template < typename Visitor >
        void visit_block_vertices(
            const BRep& model, const Block< 3 >& block, Visitor&& visitor )
        {
            const auto visit_mesh = [&model, &visitor](
                                        const ComponentID& id, const auto& mesh ) {
                for( index_t v = 0; v < mesh.nb_vertices(); v++ )
                {
                    visitor( model.unique_vertex( { id, v } ), mesh.point( v ) );
                }
            };
            for( const auto& surface : model.boundaries( block ) )
            {
                visit_mesh( surface.component_id(), surface.mesh() );
            }
            for( const auto& surface : model.internal_surfaces( block ) )
            {
                visit_mesh( surface.component_id(), surface.mesh() );
            }
            for( const auto& line : model.internal_lines( block ) )
            {
                visit_mesh( line.component_id(), line.mesh() );
            }
            for( const auto& corner : model.internal_corners( block ) )
            {
                visit_mesh( corner.component_id(), corner.mesh() );
            }
        }
    } // namespace detail
} // namespace orvane
