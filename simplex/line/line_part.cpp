#include <simplex/line/line_part.hpp>

#include <algorithm>
#include <optional>

#include <openorvane/basic/attribute_manager.hpp>
#include <openorvane/basic/exception.hpp>
#include <openorvane/basic/variable_attribute.hpp>
#include <openorvane/mesh/edged_curve.hpp>
#include <openorvane/model/brep.hpp>

#include <simplex/line/line_remesher.hpp>

namespace
{
    using namespace orvane;

    /// The vertices of the line's mesh at the vertex's unique vertex; the
    /// vertex alone when it has none.
    std::vector< index_t > copies_of(
        const BRep& model, const Line< 3 >& line, index_t vertex )
    {
        const auto unique_vertex = model.unique_vertex( { line.component_id(), vertex } );
        if( unique_vertex == NO_ID )
        {
            return { vertex };
        }
        return model.mesh_component_vertices( unique_vertex, line.id() );
    }

    struct Walk
    {
        std::vector< index_t > edges;
        double length{ 0 };
    };
} // namespace

namespace orvane
{
    namespace internal::Repair
    {
        std::vector< index_t > line_part( const BRep& model,
            const Line< 3 >& line,
            index_t from_vertex,
            index_t to_vertex )
        {
            const auto& mesh = line.mesh();
            const auto remeshed =
                mesh.vertex_attribute_manager().find_attribute< index_t >(
                    REMESHED_LINE_ATTRIBUTE );
            const auto targets = copies_of( model, line, to_vertex );
            const auto is_target = [&targets]( index_t vertex ) {
                return std::find( targets.begin(), targets.end(), vertex ) != targets.end();
            };
            std::optional< Walk > best;
            for( const auto start : copies_of( model, line, from_vertex ) )
            {
                for( const auto& first : mesh.edges_around_vertex( start ) )
                {
                    Walk walk;
                    auto arriving = first.opposite();
                    // A walk visits every edge at most once unless the line
                    // is a cycle of unlinked vertices: bound it by the edge
                    // count so that such a cycle is dropped, not followed
                    // forever.
                    for( index_t step = 0; step < mesh.nb_edges(); step++ )
                    {
                        walk.edges.push_back( arriving.edge_id );
                        walk.length += mesh.edge_length( arriving.edge_id );
                        const auto vertex = mesh.edge_vertex( arriving );
                        if( is_target( vertex ) )
                        {
                            if( !best || walk.length < best->length )
                            {
                                best = std::move( walk );
                            }
                            break;
                        }
                        if( remeshed->value( vertex ) != NO_ID )
                        {
                            break;
                        }
                        const auto& around = mesh.edges_around_vertex( vertex );
                        if( around.size() != 2 )
                        {
                            throw OpenOrvaneException{
                                "[Repair::line_part] At least 2 edges around vertex (",
                                around.size(), ")" };
                        }
                        const auto& next =
                            around[0].edge_id == arriving.edge_id ? around[1] : around[0];
                        arriving = next.opposite();
                    }
                }
            }
            if( !best )
            {
                throw OpenOrvaneException{ "[Repair::line_part] orvane::No line part found" };
            }
            return std::move( best->edges );
        }
    } // namespace internal::Repair
} // namespace orvane
