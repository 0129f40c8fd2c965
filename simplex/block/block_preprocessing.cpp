#include <simplex/block/block_preprocessing.hpp>

#include <array>
#include <optional>
#include <vector>

#include <openorvane/basic/progress_logger.hpp>
#include <openorvane/model/brep.hpp>

#include <simplex/remeshing_data.hpp>

namespace
{
    using namespace orvane;

    /// The surface vertices that stand on a free border line of the
    /// surface; empty when the surface has no such line.
    std::vector< bool > free_border_vertices( const BRep& model, const Surface< 3 >& surface )
    {
        std::vector< bool > marked;
        for( const auto& line : model.boundaries( surface ) )
        {
            if( model.nb_incidences( line.id() ) != 1 )
            {
                continue;
            }
            marked.resize( surface.mesh().nb_vertices(), false );
            for( index_t v = 0; v < line.mesh().nb_vertices(); v++ )
            {
                const auto unique_vertex = model.unique_vertex( { line.component_id(), v } );
                if( unique_vertex == NO_ID )
                {
                    continue;
                }
                for( const auto& vertex : model.component_mesh_vertices( unique_vertex ) )
                {
                    if( vertex.component_id.id() == surface.id() )
                    {
                        marked[vertex.vertex] = true;
                    }
                }
            }
        }
        return marked;
    }

    /// The inner edges joining two marked vertices, as vertex pairs, listed
    /// from each marked end and each triangle around it (so possibly several
    /// times).
    std::vector< std::array< index_t, 2 > > edges_to_split(
        const SurfaceMesh< 3 >& mesh, const std::vector< bool >& marked )
    {
        std::vector< std::array< index_t, 2 > > edges;
        for( index_t v = 0; v < marked.size(); v++ )
        {
            if( !marked[v] )
            {
                continue;
            }
            for( const auto& around : mesh.polygons_around_vertex( v ) )
            {
                const auto previous = mesh.previous_polygon_vertex( around );
                const auto previous_vertex = mesh.polygon_vertex( previous );
                if( marked[previous_vertex]
                    && !mesh.is_edge_on_border( { previous.polygon_id, previous.vertex_id } ) )
                {
                    edges.push_back( { previous_vertex, v } );
                }
                const auto next_vertex = mesh.polygon_vertex( mesh.next_polygon_vertex( around ) );
                if( marked[next_vertex]
                    && !mesh.is_edge_on_border( { around.polygon_id, around.vertex_id } ) )
                {
                    edges.push_back( { v, next_vertex } );
                }
            }
        }
        return edges;
    }

    /// The polygon edge joining the two vertices in an active triangle of
    /// the surface, when they still form an edge.
    std::optional< PolygonEdge > find_active_edge( const SurfaceMesh< 3 >& mesh,
        const TriangulatedSurfaceModifier< 3 >& modifier,
        const std::array< index_t, 2 >& vertices )
    {
        for( const auto& around : mesh.polygons_around_vertex( vertices[0] ) )
        {
            if( !modifier.is_polygon_active( around.polygon_id ) )
            {
                continue;
            }
            const auto next = mesh.next_polygon_vertex( around );
            if( mesh.polygon_vertex( next ) == vertices[1] )
            {
                return PolygonEdge{ around.polygon_id, around.vertex_id };
            }
            const auto previous = mesh.previous_polygon_vertex( around );
            if( mesh.polygon_vertex( previous ) == vertices[1] )
            {
                return PolygonEdge{ previous.polygon_id, previous.vertex_id };
            }
        }
        return std::nullopt;
    }

    void preprocess_surface( RemeshingData< BRep >& data, const Surface< 3 >& surface )
    {
        const auto marked = free_border_vertices( *data.output, surface );
        if( marked.empty() )
        {
            return;
        }
        const auto edges = edges_to_split( surface.mesh(), marked );
        auto& modifier = data.output_modifier.surface_modifier( surface );
        for( const auto& vertices : edges )
        {
            // A split replaces both triangles beside its edge, so an entry
            // listed before it may name a replaced triangle, or an edge
            // already split: find the edge again by its ends.
            const auto edge = find_active_edge( surface.mesh(), modifier, vertices );
            if( !edge )
            {
                continue;
            }
            data.output_modifier.split_edge(
                surface, *edge, surface.mesh().edge_barycenter( *edge ) );
        }
    }
} // namespace

namespace orvane
{
    namespace internal
    {
        void preprocess_blocks( RemeshingData< BRep >& data )
        {
            const auto& model = *data.output;
            ProgressLogger logger{ "Pre-process Blocks", model.nb_blocks() };
            for( const auto& block : model.blocks() )
            {
                for( const auto& surface : model.internal_surfaces( block ) )
                {
                    preprocess_surface( data, surface );
                }
                logger.increment();
            }
            data.output_modifier.clean();
        }
    } // namespace internal
} // namespace orvane
