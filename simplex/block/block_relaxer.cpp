#include <simplex/block/block_relaxer.hpp>

#include <algorithm>
#include <array>
#include <cmath>
#include <deque>
#include <limits>
#include <optional>

#include <absl/container/flat_hash_map.h>

#include <openorvane/basic/progress_logger.hpp>
#include <openorvane/geometry/mensuration.hpp>
#include <openorvane/mesh/tetrahedral_solid.hpp>
#include <openorvane/model/brep.hpp>
#include <openorvane/model/model_component_mesh_edges.hpp>

#include <common/modifier/brep_geometric_modifier.hpp>
#include <common/modifier/brep_geometric_modifier_previews.hpp>
#include <common/modifier/tetrahedron_preview.hpp>

namespace
{
    using namespace orvane;

    /// A swap must beat the worst tetrahedron around the edge by this
    /// factor, so that equal-quality configurations never swap back and
    /// forth.
    constexpr double IMPROVEMENT_FACTOR = 1.01;

    struct EdgeEntry
    {
        PolyhedronFacetEdge edge;
        unsigned int stamp{ 0 };
    };

    struct BlockRelaxerQueueElement
    {
        PolyhedronFacetEdge edge;
        std::array< index_t, 2 > vertices;
        unsigned int stamp;
    };

    class BlockRelaxer
    {
    public:
        BlockRelaxer( BRep& model_to_relax,
            BRepGeometricModifier& model_modifier,
            const Block< 3 >& block_to_relax,
            const Metric< 3 >& run_metric )
            : model( model_to_relax ),
              modifier( model_modifier ),
              block( block_to_relax ),
              metric( run_metric ),
              mesh( dynamic_cast< const TetrahedralSolid< 3 >& >( block.mesh() ) )
        {
        }

        void relax()
        {
            if( mesh.nb_polyhedra() == 0 )
            {
                return;
            }
            for( index_t t = 0; t < mesh.nb_polyhedra(); t++ )
            {
                queue_edges( t );
            }
            auto& solid_modifier = modifier.block_modifier( block );
            while( !queue.empty() )
            {
                const auto element = queue.front();
                queue.pop_front();
                if( edges.at( element.vertices ).stamp != element.stamp
                    || !solid_modifier.is_polyhedron_active( element.edge.polyhedron_facet.polyhedron_id ) )
                {
                    continue;
                }
                const auto apex = find_apex( element );
                if( !apex )
                {
                    continue;
                }
                const auto info = modifier.swap_edge( block, element.edge, *apex );
                for( const auto& swap : info.blocks.at( block.id() ) )
                {
                    for( const auto t : swap.new_tetrahedra )
                    {
                        queue_edges( t );
                    }
                }
            }
        }

    private:
        /// Queues each edge of the tetrahedron once, from the facet edge
        /// whose vertices come in increasing order.
        void queue_edges( index_t tetrahedron )
        {
            for( const local_index_t f : { 0, 1, 2, 3 } )
            {
                for( const local_index_t e : { 0, 1, 2 } )
                {
                    const PolyhedronFacetEdge edge{ { tetrahedron, f }, e };
                    const auto ends = mesh.polyhedron_facet_edge_vertices( edge );
                    const std::array< index_t, 2 > vertices{ ends[0], ends[1] };
                    if( vertices[0] > vertices[1] )
                    {
                        continue;
                    }
                    const auto [entry, inserted] = edges.try_emplace( vertices, EdgeEntry{ edge, 0 } );
                    if( !inserted )
                    {
                        entry->second.stamp++;
                    }
                    queue.push_back( { edge, vertices, entry->second.stamp } );
                }
            }
        }

        std::optional< index_t > find_apex( const BlockRelaxerQueueElement& element ) const
        {
            const auto around = mesh.polyhedra_around_edge( element.edge );
            double worst = std::numeric_limits< double >::max();
            for( const auto t : around )
            {
                worst = std::min( worst, detail::tetrahedron_quality( mesh.tetrahedron( t ) ) );
            }
            const auto model_edge = component_mesh_edges( model, block, element.edge );
            if( !model_edge.lines.empty() )
            {
                return std::nullopt;
            }
            const EdgeVertices ends{ element.vertices[0], element.vertices[1] };
            for( const auto candidate : vertices_around_edge( mesh, ends, around ) )
            {
                const auto unique_vertex = model.unique_vertex( { block.component_id(), candidate } );
                const auto preview =
                    block_tetrahedra_after_swap_edge( model, model_edge.blocks, unique_vertex );
                const auto& tetrahedra = preview.at( block.id() );
                const auto better = std::all_of(
                    tetrahedra.begin(), tetrahedra.end(), [worst]( const Tetrahedron& tetrahedron ) {
                        return detail::tetrahedron_quality( tetrahedron ) > IMPROVEMENT_FACTOR * worst;
                    } );
                if( better && is_swap_model_edge_valid( model, model_edge, unique_vertex ) )
                {
                    return candidate;
                }
            }
            return std::nullopt;
        }

        BRep& model;
        BRepGeometricModifier& modifier;
        const Block< 3 >& block;
        [[maybe_unused]] const Metric< 3 >& metric;
        const TetrahedralSolid< 3 >& mesh;
        absl::flat_hash_map< std::array< index_t, 2 >, EdgeEntry > edges;
        std::deque< BlockRelaxerQueueElement > queue;
    };
} // namespace

namespace orvane
{
    namespace detail
    {
        double tetrahedron_quality( const Tetrahedron& tetrahedron )
        {
            const auto& v = tetrahedron.vertices();
            double sum = 0;
            for( local_index_t i = 0; i < 4; i++ )
            {
                for( auto j = static_cast< local_index_t >( i + 1 ); j < 4; j++ )
                {
                    sum += Vector< 3 >{ v[i], v[j] }.length2();
                }
            }
            const auto length = std::sqrt( sum / 6. );
            const auto cube = length * length * length;
            if( cube <= DIVISION_EPSILON )
            {
                return 0.;
            }
            return 8.485281374238571 * tetrahedron_signed_volume( tetrahedron ) / cube;
        }
    } // namespace detail

    namespace internal
    {
        void relax_blocks( BRep& model, BRepGeometricModifier& modifier, const Metric< 3 >& metric )
        {
            ProgressLogger logger{ "Relaxing Blocks", model.nb_blocks() };
            for( const auto& block : model.blocks() )
            {
                BlockRelaxer{ model, modifier, block, metric }.relax();
                logger.increment();
            }
        }
    } // namespace internal
} // namespace orvane
