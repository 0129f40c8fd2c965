#include <simplex/remeshed_component.hpp>

#include <openorvane/model/brep_builder.hpp>

namespace orvane
{
    namespace internal
    {
        void register_unique_vertices(
            BRepBuilder& builder, const RemeshedComponent& result )
        {
            for( index_t v = 0; v < result.unique_vertices.size(); v++ )
            {
                auto unique_vertex = result.unique_vertices[v];
                if( unique_vertex == NO_ID )
                {
                    unique_vertex = builder.create_unique_vertex();
                }
                builder.set_unique_vertex( { result.component, v }, unique_vertex );
            }
        }
    } // namespace internal
} // namespace orvane
