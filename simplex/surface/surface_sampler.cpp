#include <simplex/surface/surface_sampler.hpp>

#include <algorithm>
#include <atomic>
#include <optional>
#include <vector>

#include <absl/container/flat_hash_map.h>
#include <absl/container/flat_hash_set.h>

#include <openorvane/basic/exception.hpp>
#include <openorvane/basic/logger.hpp>
#include <openorvane/geometry/distance.hpp>
#include <openorvane/geometry/predicates.hpp>
#include <openorvane/mesh/triangulated_surface.hpp>
#include <openorvane/model/brep.hpp>
#include <openorvane/model/model_component_mesh_edges.hpp>
#include <openorvane/model/model_component_mesh_polygons.hpp>

#include <common/modifier/brep_geometric_modifier.hpp>
#include <common/modifier/brep_geometric_modifier_previews.hpp>
#include <common/modifier/triangle_preview.hpp>

#include <simplex/block/block_macro_vertices.hpp>
#include <simplex/surface/surface_sampler_3d.hpp>

namespace
{
    using namespace orvane;
    using namespace orvane::internal;

    constexpr index_t MAX_BORDER_CHAIN_STEPS = 1000;

    /// The number given to the next sample vertex recorded in the blocks'
    /// provenance, shared by every context of the process.
    std::atomic< index_t > next_sample_vertex{ 0 };

    /// Seeds the front with the tagged vertices of the surface and the
    /// border chains between them. Both are read at construction (under
    /// the caller's lock), like the snapshot of the base.
    class SurfaceSampler : public SurfaceSampler3D
    {
    public:
        SurfaceSampler( SamplingContext& context, const Surface< 3 >& surface )
            : SurfaceSampler3D( context, surface )
        {
            const auto& model = context.model;
            const auto& surface_mesh = mesh();
            std::vector< bool > tagged( surface_mesh.nb_vertices(), false );
            for( index_t v = 0; v < surface_mesh.nb_vertices(); v++ )
            {
                const auto unique_vertex = model.unique_vertex( { surface.component_id(), v } );
                if( is_macro_vertex_of( model, unique_vertex, context.component ) )
                {
                    tagged[v] = true;
                    seeds_.push_back( surface_mesh.point( v ) );
                }
            }
            segments_ = border_chains( tagged );
        }

    private:
        void initialize() override
        {
            for( const auto& point : seeds_ )
            {
                add_point_to_cells( grid().cells( point ), point );
            }
        }

        std::vector< Edge > initial_queue_elements() override
        {
            return std::move( segments_ );
        }

        /// For each live polygon edge on the border that starts at a tagged
        /// vertex, the segment to the tagged vertex that ends its chain of
        /// border edges.
        std::vector< Edge > border_chains( const std::vector< bool >& tagged ) const
        {
            const auto& surface_mesh = mesh();
            auto& surface_modifier = context().modifier.surface_modifier( surface() );
            std::vector< Edge > segments;
            for( index_t polygon = 0; polygon < surface_mesh.nb_polygons(); polygon++ )
            {
                if( !surface_modifier.is_polygon_active( polygon ) )
                {
                    continue;
                }
                for( const local_index_t e : { 0, 1, 2 } )
                {
                    const PolygonEdge first{ polygon, e };
                    const auto start = surface_mesh.polygon_vertex( PolygonVertex{ first } );
                    if( !tagged[start] || !surface_mesh.is_edge_on_border( first ) )
                    {
                        continue;
                    }
                    if( const auto end = chain_end( first, tagged ) )
                    {
                        segments.push_back(
                            Edge{ surface_mesh.point( start ), surface_mesh.point( *end ) } );
                    }
                }
            }
            return segments;
        }

        /// The tagged vertex that ends the border chain starting with the
        /// edge, or nothing when the walk along the border breaks off.
        std::optional< index_t > chain_end(
            const PolygonEdge& first, const std::vector< bool >& tagged ) const
        {
            const auto& surface_mesh = mesh();
            auto edge = first;
            for( index_t steps = 1;; steps++ )
            {
                const auto next = surface_mesh.next_on_border( edge );
                if( !next )
                {
                    return std::nullopt;
                }
                if( steps >= MAX_BORDER_CHAIN_STEPS )
                {
                    throw OpenOrvaneException{
                        "[SurfaceSampler::initial_queue_elements] Safety count exceeded"
                    };
                }
                edge = *next;
                const auto vertex = surface_mesh.polygon_vertex( PolygonVertex{ edge } );
                if( tagged[vertex] )
                {
                    return vertex;
                }
            }
        }

        std::vector< Point< 3 > > seeds_;
        std::vector< Edge > segments_;
    };

    /// Inserts sample points into one surface of the model; every call runs
    /// under the context's mutex.
    class SampleInserter
    {
    public:
        SampleInserter( SamplingContext& context, const Surface< 3 >& surface )
            : context_( context ),
              surface_( surface ),
              mesh_( dynamic_cast< const TriangulatedSurface< 3 >& >( surface.mesh() ) ),
              surface_modifier_( context.modifier.surface_modifier( surface ) )
        {
        }

        /// Offers the owner's points in order to the candidate polygons,
        /// which start as the live polygons that now cover the owner (the
        /// owner itself when nothing split it). After an insertion the
        /// candidates are the polygons refused for that point, then those
        /// the insertion reports, then those not tried. When no candidate
        /// takes a point, the point is dropped and the next one starts again
        /// from the live polygons that cover the owner, so that one refusal
        /// does not lose the owner's later points.
        void insert_samples( index_t owner, const std::vector< Point< 3 > >& points )
        {
            std::vector< index_t > candidates;
            for( const auto& point : points )
            {
                if( candidates.empty() )
                {
                    candidates = current_polygons( owner );
                }
                std::vector< index_t > refused;
                std::vector< index_t > next_candidates;
                for( std::size_t c = 0; c < candidates.size(); c++ )
                {
                    const auto polygon = candidates[c];
                    if( !surface_modifier_.is_polygon_active( polygon ) )
                    {
                        // Replaced by an earlier insertion: the polygons
                        // that replace it are among the reported ones.
                        continue;
                    }
                    std::vector< index_t > reported;
                    if( insert_sample( point, polygon, reported ) )
                    {
                        next_candidates = std::move( refused );
                        next_candidates.insert(
                            next_candidates.end(), reported.begin(), reported.end() );
                        next_candidates.insert( next_candidates.end(),
                            candidates.begin() + static_cast< std::ptrdiff_t >( c + 1 ),
                            candidates.end() );
                        break;
                    }
                    refused.push_back( polygon );
                }
                candidates = std::move( next_candidates );
            }
        }

        /// The unique vertices of the inserted or reused vertices, in order.
        [[nodiscard]] const std::vector< index_t >& unique_vertices() const
        {
            return unique_vertices_;
        }

    private:
        std::optional< index_t > insert_sample(
            const Point< 3 >& point, index_t polygon, std::vector< index_t >& reported )
        {
            const auto& model = context_.model;
            if( const auto corner = detail::polygon_vertex_at_point< 3 >( mesh_, polygon, point ) )
            {
                reported.push_back( polygon );
                const auto vertex = mesh_.polygon_vertex( { polygon, *corner } );
                collect( model.unique_vertex( { surface_.component_id(), vertex } ) );
                return vertex;
            }
            for( const local_index_t e : { 0, 1, 2 } )
            {
                const PolygonEdge edge{ polygon, e };
                const auto distance =
                    std::get< 0 >( point_segment_distance( point, mesh_.segment( edge ) ) );
                if( distance > GLOBAL_EPSILON
                    || !is_split_edge_valid(
                        model, component_mesh_edges( model, surface_, edge ), point ) )
                {
                    continue;
                }
                const auto split = context_.modifier.split_edge( surface_, edge, point );
                collect( split.new_unique_vertex );
                const auto found = split.surfaces.find( surface_.id() );
                if( found == split.surfaces.end() || found->second.empty() )
                {
                    continue;
                }
                for( const auto& info : found->second )
                {
                    for( const auto& half : info.halves )
                    {
                        for( const auto& origin : half.polygons )
                        {
                            record_replacement( origin );
                            reported.push_back( origin.new_element );
                        }
                    }
                }
                return found->second.front().new_vertex;
            }
            // The model previews only judge block tetrahedra: a point off
            // the triangle would fold the surface where no block holds it.
            if( !lies_over_triangle( point, polygon ) )
            {
                return std::nullopt;
            }
            const auto polygons = component_mesh_polygons( model, surface_, polygon );
            if( !is_split_triangle_valid( model, polygons, point ) )
            {
                return std::nullopt;
            }
            const auto split = context_.modifier.split_triangle( polygons, point );
            collect( split.new_unique_vertex );
            const auto found = split.surfaces.find( surface_.id() );
            if( found == split.surfaces.end() || found->second.empty() )
            {
                return std::nullopt;
            }
            for( const auto& info : found->second )
            {
                for( const auto& origin : info.polygons )
                {
                    record_replacement( origin );
                    reported.push_back( origin.new_element );
                }
            }
            return found->second.front().new_vertex;
        }

        /// Whether the point lies in the closed prism that the triangle
        /// sweeps along its normal: for each edge, the point is not strictly
        /// on the other side than the opposite corner (exact signs). False
        /// for a triangle without normal.
        bool lies_over_triangle( const Point< 3 >& point, index_t polygon ) const
        {
            const auto triangle = mesh_.triangle( polygon );
            const auto normal = triangle.normal();
            if( !normal )
            {
                return false;
            }
            const auto& corners = triangle.vertices();
            for( const local_index_t e : { 0, 1, 2 } )
            {
                const auto& from = corners[e];
                const auto& to = corners[( e + 1 ) % 3];
                const auto lifted = from + *normal;
                const auto side = tetrahedron_volume_sign( { from, to, lifted, point } );
                if( side != SIDE::zero
                    && side
                           != tetrahedron_volume_sign( { from, to, lifted, corners[( e + 2 ) % 3] } ) )
                {
                    return false;
                }
            }
            return true;
        }

        void record_replacement( const ElementOrigin& origin )
        {
            if( origin.old_element != NO_ID && origin.old_element != origin.new_element )
            {
                replaced_by_[origin.old_element].push_back( origin.new_element );
            }
        }

        /// The live polygons that descend from the polygon through the
        /// splits made so far, in the order they were made.
        std::vector< index_t > current_polygons( index_t polygon ) const
        {
            std::vector< index_t > result;
            std::vector< index_t > stack{ polygon };
            absl::flat_hash_set< index_t > visited;
            while( !stack.empty() )
            {
                const auto current = stack.back();
                stack.pop_back();
                if( !visited.insert( current ).second )
                {
                    continue;
                }
                if( surface_modifier_.is_polygon_active( current ) )
                {
                    result.push_back( current );
                }
                const auto found = replaced_by_.find( current );
                if( found != replaced_by_.end() )
                {
                    stack.insert( stack.end(), found->second.rbegin(), found->second.rend() );
                }
            }
            return result;
        }

        void collect( index_t unique_vertex )
        {
            if( unique_vertex != NO_ID )
            {
                unique_vertices_.push_back( unique_vertex );
            }
        }

        SamplingContext& context_;
        const Surface< 3 >& surface_;
        const TriangulatedSurface< 3 >& mesh_;
        TriangulatedSurfaceModifier< 3 >& surface_modifier_;
        absl::flat_hash_map< index_t, std::vector< index_t > > replaced_by_;
        std::vector< index_t > unique_vertices_;
    };
} // namespace

namespace orvane
{
    namespace internal
    {
        void sample_surface( SamplingContext& context, const Surface< 3 >& surface )
        {
            std::optional< SurfaceSampler > sampler;
            {
                std::lock_guard< std::mutex > lock{ context.mutex };
                if( surface.mesh().nb_polygons() == 0 )
                {
                    return;
                }
                sampler.emplace( context, surface );
            }
            auto result = sampler->sample();
            std::vector< index_t > owners;
            owners.reserve( result.size() );
            for( const auto& [owner, points] : result )
            {
                owners.push_back( owner );
            }
            std::sort( owners.begin(), owners.end() );

            std::lock_guard< std::mutex > lock{ context.mutex };
            SampleInserter inserter{ context, surface };
            for( const auto owner : owners )
            {
                inserter.insert_samples( owner, result.at( owner ) );
            }
            for( const auto unique_vertex : inserter.unique_vertices() )
            {
                add_macro_component( context.recorder, context.component,
                    next_sample_vertex.fetch_add( 1, std::memory_order_relaxed ), unique_vertex );
            }
            Logger::log_debug( "Remeshed Surface ", surface.id().string() );
        }
    } // namespace internal
} // namespace orvane
