#include <simplex/surface/surface_sampler_3d.hpp>

#include <openorvane/geometry/aabb.hpp>
#include <openorvane/geometry/basic_objects.hpp>
#include <openorvane/geometry/intersection.hpp>
#include <openorvane/mesh/surface_aabb.hpp>
#include <openorvane/mesh/triangulated_surface.hpp>
#include <openorvane/model/surface.hpp>

#include <common/modifier/brep_geometric_modifier.hpp>

#include <simplex/metric/metric.hpp>
#include <simplex/surface/sampling_context.hpp>

namespace orvane
{
    namespace internal
    {
        struct SurfaceSampler3D::Record
        {
            Record( SamplingContext& sampling_context, const Surface< 3 >& sampled_surface )
                : context( sampling_context ),
                  modifier( sampling_context.modifier ),
                  metric( sampling_context.metric ),
                  surface( sampled_surface ),
                  mesh( dynamic_cast< const TriangulatedSurface< 3 >& >( sampled_surface.mesh() ) ),
                  tree( create_aabb_tree( mesh ) ),
                  box( mesh.bounding_box() )
            {
                auto& surface_modifier = modifier.surface_modifier( surface );
                triangles.reserve( mesh.nb_polygons() );
                active.reserve( mesh.nb_polygons() );
                for( index_t polygon = 0; polygon < mesh.nb_polygons(); polygon++ )
                {
                    triangles.push_back( mesh.triangle( polygon ) );
                    active.push_back( surface_modifier.is_polygon_active( polygon ) );
                }
            }

            SamplingContext& context;
            BRepGeometricModifier& modifier;
            const Metric< 3 >& metric;
            const Surface< 3 >& surface;
            const TriangulatedSurface< 3 >& mesh;
            AABBTree< 3 > tree;
            // The snapshot the front reads.
            BoundingBox< 3 > box;
            std::vector< Triangle< 3 > > triangles;
            std::vector< bool > active;
        };

        SurfaceSampler3D::SurfaceSampler3D( SamplingContext& context, const Surface< 3 >& surface )
            : Sampler< Edge >( context.metric ),
              record_( std::make_unique< Record >( context, surface ) )
        {
        }

        SurfaceSampler3D::~SurfaceSampler3D() = default;

        SampleCandidates SurfaceSampler3D::candidate_points( const Edge& segment )
        {
            const Vector< 3 > direction{ segment.start, segment.end };
            if( direction.length2() <= GLOBAL_EPSILON2 )
            {
                return { 0., {} };
            }
            const auto middle = ( segment.start + segment.end ) / 2.;
            SampleCandidates result{ record_->metric.point_metric( middle ), {} };
            const Circle circle{ Plane{ direction, middle }, result.size };
            record_->tree.visit_boxes_intersecting_box(
                circle.bounding_box(), [this, &circle, &result]( index_t polygon ) {
                    if( !record_->active[polygon] )
                    {
                        return false;
                    }
                    const auto points =
                        triangle_circle_intersection( record_->triangles[polygon], circle );
                    if( points )
                    {
                        for( const auto& point : *points )
                        {
                            result.candidates.push_back( { polygon, point } );
                        }
                    }
                    return false;
                } );
            return result;
        }

        std::vector< Edge > SurfaceSampler3D::new_queue_elements(
            absl::Span< const Point< 3 > > close_points, double /*size*/, const Point< 3 >& point )
        {
            std::vector< Edge > segments;
            for( const auto& close : close_points )
            {
                if( Vector< 3 >{ point, close }.length2() > GLOBAL_EPSILON2 )
                {
                    segments.push_back( { point, close } );
                }
            }
            return segments;
        }

        BoundingBox< 3 > SurfaceSampler3D::bounding_box() const
        {
            return record_->box;
        }

        SamplingContext& SurfaceSampler3D::context() const
        {
            return record_->context;
        }

        const Surface< 3 >& SurfaceSampler3D::surface() const
        {
            return record_->surface;
        }

        const TriangulatedSurface< 3 >& SurfaceSampler3D::mesh() const
        {
            return record_->mesh;
        }
    } // namespace internal
} // namespace orvane
