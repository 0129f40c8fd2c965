#include <simplex/repair/repair_brep_surfaces.hpp>

#include <algorithm>

#include <absl/container/flat_hash_set.h>

#include <openorvane/basic/async.hpp>
#include <openorvane/basic/exception.hpp>
#include <openorvane/geometry/distance.hpp>
#include <openorvane/geometry/intersection.hpp>
#include <openorvane/geometry/projection.hpp>
#include <openorvane/geometry/ray_tracing.hpp>
#include <openorvane/mesh/surface_aabb.hpp>
#include <openorvane/mesh/triangulated_surface.hpp>
#include <openorvane/model/block.hpp>
#include <openorvane/model/brep.hpp>
#include <openorvane/model/line.hpp>
#include <openorvane/model/surface.hpp>

#include <common/modifier/brep_geometric_modifier.hpp>

#include <simplex/metric/metric.hpp>
#include <simplex/remeshing_data.hpp>
#include <simplex/repair/do_repair_intersection.hpp>
#include <simplex/repair/repair_geometry.hpp>
#include <simplex/repair/triangle_pair_collector.hpp>

namespace
{
    using namespace orvane;

    /// Iterations of the pair search for one pair of surfaces.
    constexpr index_t MAX_PAIR_ITERATIONS{ 9 };

    /// Passes of the whole repair.
    constexpr index_t MAX_PASSES{ 10 };

    /// The box of the surface's points, each enlarged by the metric there,
    /// so that surfaces that come close without touching are paired too.
    BoundingBox< 3 > compute_surface_box(
        const SurfaceMesh< 3 >& mesh, const Metric< 3 >& metric )
    {
        BoundingBox< 3 > box;
        for( index_t v = 0; v < mesh.nb_vertices(); v++ )
        {
            const auto& point = mesh.point( v );
            const auto size = metric.point_metric( point );
            const Point< 3 > offset{ { size, size, size } };
            box.add_point( point - offset );
            box.add_point( point + offset );
        }
        return box;
    }

    /// Where the line along the direction from the origin meets the input
    /// surface first, through the triangle the ray hits first.
    std::optional< Point< 3 > > cast_ray_to_input_surface( const TriangulatedSurface< 3 >& mesh,
        const AABBTree< 3 >& tree,
        const Point< 3 >& origin,
        const Vector< 3 >& direction )
    {
        const Ray< 3 > ray{ direction, origin };
        RayTracing3D tracing{ mesh, ray };
        tree.visit_boxes_along_ray( ray, tracing );
        const auto closest = tracing.closest_polygon();
        if( !closest )
        {
            return std::nullopt;
        }
        const auto hit = line_triangle_intersection(
            InfiniteLine< 3 >{ direction, origin }, mesh.triangle( closest->polygon ) );
        if( !hit.has_intersection() )
        {
            return std::nullopt;
        }
        return hit.result;
    }
} // namespace

namespace orvane::internal
{
    RepairBRepSurfaces::RepairBRepSurfaces( RemeshingData< BRep >& data )
        : data_( data ),
          input_( data.input ),
          output_( *data.output ),
          modifier_( data.output_modifier ),
          logger_( "Repairing surface intersections",
              output_.nb_blocks() + output_.nb_surfaces() )
    {
        // The three jobs write disjoint maps.
        async::parallel_invoke(
            [this] {
                async::parallel_invoke(
                    [this] { find_candidate_surfaces(); },
                    [this] { build_output_surface_trees(); } );
            },
            [this] { add_line_tree_entries(); } );
    }

    RepairBRepSurfaces::~RepairBRepSurfaces() = default;

    void RepairBRepSurfaces::find_candidate_surfaces()
    {
        std::vector< uuid > ids;
        std::vector< const Surface< 3 >* > surfaces;
        ids.reserve( input_.nb_surfaces() );
        candidate_surfaces_.reserve( input_.nb_surfaces() );
        for( const auto& surface : input_.surfaces() )
        {
            surfaces_to_check_[surface.id()] = true;
            // Every surface has a list, empty when nothing comes near it.
            candidate_surfaces_[surface.id()];
            ids.push_back( surface.id() );
            surfaces.push_back( &surface );
        }
        std::vector< BoundingBox< 3 > > boxes( ids.size() );
        std::vector< async::Task< void > > tasks;
        tasks.reserve( ids.size() );
        const auto& metric = *data_.metric;
        for( index_t i = 0; i < ids.size(); i++ )
        {
            tasks.push_back( async::spawn( [&boxes, &surfaces, &metric, i] {
                boxes[i] = compute_surface_box( surfaces[i]->mesh(), metric );
            } ) );
        }
        async::wait_all( tasks );
        const AABBTree< 3 > tree{ boxes };
        tree.visit_intersecting_box_pairs( [&]( index_t first, index_t second ) {
            if( first != second && boxes[first].intersects( boxes[second] ) )
            {
                candidate_surfaces_[ids[first]].push_back( ids[second] );
                candidate_surfaces_[ids[second]].push_back( ids[first] );
            }
            return false;
        } );
    }

    void RepairBRepSurfaces::build_output_surface_trees()
    {
        input_surface_trees_.reserve( output_.nb_surfaces() );
        output_surface_trees_.reserve( output_.nb_surfaces() );
        for( const auto& surface : output_.surfaces() )
        {
            input_surface_trees_.emplace( surface.id(), std::nullopt );
            output_surface_trees_.emplace( surface.id(), create_aabb_tree( surface.mesh() ) );
        }
    }

    void RepairBRepSurfaces::add_line_tree_entries()
    {
        input_line_trees_.reserve( output_.nb_lines() );
        for( const auto& line : output_.lines() )
        {
            input_line_trees_.emplace( line.id(), std::nullopt );
        }
    }

    void RepairBRepSurfaces::repair_small_blocks()
    {
        // Insertion order, so that the snaps run in model order.
        std::vector< uuid > to_snap;
        absl::flat_hash_set< uuid > listed;
        for( const auto& block : output_.blocks() )
        {
            index_t nb_triangles{ 0 };
            for( const auto& surface : output_.boundaries( block ) )
            {
                nb_triangles += surface.mesh().nb_polygons();
                if( nb_triangles > 3 )
                {
                    break;
                }
            }
            if( nb_triangles < 4 )
            {
                for( const auto& surface : output_.boundaries( block ) )
                {
                    if( surface.mesh().nb_polygons() == 1 && listed.insert( surface.id() ).second )
                    {
                        to_snap.push_back( surface.id() );
                    }
                }
            }
            logger_.increment();
        }
        for( const auto& id : to_snap )
        {
            snap_single_triangle_surface( output_.surface( id ) );
        }
    }

    void RepairBRepSurfaces::snap_single_triangle_surface( const Surface< 3 >& output_surface )
    {
        const auto& mesh = output_surface.mesh();
        const auto barycenter = mesh.polygon_barycenter( 0 );
        const auto normal = mesh.polygon_normal( 0 ).value();
        const auto& input_mesh = dynamic_cast< const TriangulatedSurface< 3 >& >(
            input_surface_of( output_surface ).mesh() );
        const auto& tree = input_surface_tree( output_surface );
        const auto along = cast_ray_to_input_surface( input_mesh, tree, barycenter, normal );
        const auto against = cast_ray_to_input_surface( input_mesh, tree, barycenter, -normal );
        Point< 3 > target;
        if( along && against )
        {
            target = point_point_distance( barycenter, *along )
                             < point_point_distance( barycenter, *against )
                         ? *along
                         : *against;
        }
        else if( along || against )
        {
            target = along ? *along : *against;
        }
        else
        {
            const auto closest = detail::closest_element_box(
                tree, barycenter, DistanceToTriangle< 3 >{ input_mesh } )
                                     .second;
            if( closest == NO_ID )
            {
                return;
            }
            target = point_triangle_projection( barycenter, input_mesh.triangle( closest ) );
        }
        split_single_triangle( output_surface, target );
    }

    void RepairBRepSurfaces::split_single_triangle(
        const Surface< 3 >& output_surface, const Point< 3 >& point )
    {
        // Through the output modifier's own surface modifier: a second
        // modifier on the same mesh would delete, when destroyed, the
        // activity flags the output modifier still reads.
        const auto new_unique = data_.output_builder.create_unique_vertex();
        ComponentEditResults< SurfaceSplitTriangleInfo > results;
        modifier_.impl().split_surface_triangles(
            { { output_surface.id(), { 0 } } }, point, new_unique, results );
        modifier_.surface_modifier( output_surface ).delete_inactive_polygons();
        output_surface_trees_.at( output_surface.id() ).reset();
    }

    bool RepairBRepSurfaces::repair_pass()
    {
        bool changed{ false };
        for( const auto& surface : input_.surfaces() )
        {
            auto& flag = surfaces_to_check_[surface.id()];
            if( !flag )
            {
                continue;
            }
            flag = false;
            // repair_surface may insert flags: no reference is held across.
            changed |= repair_surface( surface );
            logger_.increment();
        }
        if( !changed )
        {
            return false;
        }
        for( const auto& [id, flag] : surfaces_to_check_ )
        {
            if( flag )
            {
                logger_.increment_nb_steps();
            }
        }
        return true;
    }

    bool RepairBRepSurfaces::repair_surface( const Surface< 3 >& input_surface )
    {
        const auto& d =
            output_.surface( output_component_id( data_, input_surface.component_id() ) );
        const auto candidates = candidate_surfaces_.at( input_surface.id() );
        bool found{ false };
        for( const auto& candidate : candidates )
        {
            const auto& m = output_.surface(
                output_component_id( data_, input_.surface( candidate ).component_id() ) );
            // Up to nine iterations repair what the search finds; a search
            // after the ninth decides whether the pair converged.
            for( index_t iteration = 1;; iteration++ )
            {
                TrianglePairCollector collector{ *this, d, m };
                const auto& tree_d = output_surface_tree( d );
                const auto& tree_m = output_surface_tree( m );
                if( tree_d.nb_bboxes() > 0 && tree_m.nb_bboxes() > 0 )
                {
                    tree_d.visit_intersecting_box_pairs(
                        tree_m, [&collector]( index_t triangle_d, index_t triangle_m ) {
                            return collector( triangle_d, triangle_m );
                        } );
                }
                if( collector.crossing_edges.empty() && collector.shared_edges.empty() )
                {
                    break;
                }
                found = true;
                if( iteration > MAX_PAIR_ITERATIONS )
                {
                    throw OpenOrvaneException{
                        "[RepairBRepSurfaces::repair_surface] Too many surface repair occurs"
                    };
                }
                const auto record_touched = [this]( const absl::flat_hash_set< uuid >& touched ) {
                    // Sorted, so that the flags and trees do not depend on
                    // the set's order.
                    std::vector< uuid > ids( touched.begin(), touched.end() );
                    std::sort( ids.begin(), ids.end() );
                    for( const auto& id : ids )
                    {
                        surface_changed( id );
                    }
                };
                if( !collector.shared_edges.empty() )
                {
                    for( const auto& record : collector.shared_edges )
                    {
                        if( !is_triangle_active( d, record.edge.polygon_id )
                            || !is_triangle_active( m, record.other_edge.polygon_id ) )
                        {
                            continue;
                        }
                        DoRepairIntersection operation{ *this, d, record.edge, m,
                            { record.other_edge } };
                        record_touched( operation.repair_shared_edges() );
                    }
                }
                else
                {
                    for( const auto& record : collector.crossing_edges )
                    {
                        if( !is_triangle_active( d, record.edge.polygon_id )
                            || !is_triangle_active( m, record.triangle ) )
                        {
                            continue;
                        }
                        DoRepairIntersection operation{ *this, d, record.edge, m,
                            triangle_edges( record.triangle ) };
                        record_touched( operation.apply() );
                    }
                }
                modifier_.impl().delete_inactive_surface_polygons();
            }
        }
        return found;
    }

    void repeat_surface_repair_passes( const std::function< bool() >& pass )
    {
        for( index_t count = 1; pass(); count++ )
        {
            if( count == MAX_PASSES )
            {
                throw OpenOrvaneException{
                    "[RepairBRepSurfaces::repair] Too many surface repair occurs"
                };
            }
        }
    }

    void repair_surfaces( RemeshingData< BRep >& data )
    {
        {
            RepairBRepSurfaces repair{ data };
            repair.repair_small_blocks();
            repeat_surface_repair_passes( [&repair] { return repair.repair_pass(); } );
        }
        data.output_modifier.clean();
    }
} // namespace orvane::internal
