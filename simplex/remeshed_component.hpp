#pragma once

#include <utility>
#include <vector>

#include <openorvane/basic/types.hpp>
#include <openorvane/model/component.hpp>

namespace orvane
{
    class BRepBuilder;

    namespace internal
    {
        /// The result of remeshing one component (a surface, or a block):
        /// the output component and, for each vertex of its new mesh in
        /// vertex order, the unique vertex of the output model it joins, or
        /// NO_ID when it needs a unique vertex of its own.
        ///
        /// Made by the task that remeshes the component and moved to the
        /// serial code that registers it, so that the output model's vertex
        /// identifier is never written by two threads.
        struct RemeshedComponent
        {
            explicit RemeshedComponent( ComponentID output_component )
                : component( std::move( output_component ) )
            {
            }

            ComponentID component;
            std::vector< index_t > unique_vertices;
        };

        /// Links every vertex i of the component's mesh in the builder's
        /// model to `unique_vertices[i]`, creating a fresh unique vertex for
        /// each NO_ID entry (in vertex order). The list must have exactly one
        /// entry per mesh vertex; an empty list registers nothing.
        void register_unique_vertices(
            BRepBuilder& builder, const RemeshedComponent& result );
    } // namespace internal
} // namespace orvane
