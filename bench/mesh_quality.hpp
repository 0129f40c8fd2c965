#pragma once

// Quality figures of a remeshed model for the quality report: element
// shapes, edge lengths against the target, and how far the output strays
// from the input surfaces. These are measurements, not decisions: plain
// floating-point arithmetic is what they need.

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <numbers>
#include <vector>

#include <openorvane/geometry/aabb.hpp>
#include <openorvane/geometry/basic_objects.hpp>
#include <openorvane/geometry/point.hpp>
#include <openorvane/mesh/edged_curve.hpp>
#include <openorvane/mesh/surface_aabb.hpp>
#include <openorvane/mesh/triangulated_surface.hpp>
#include <openorvane/model/brep.hpp>

namespace orvane
{
    namespace bench
    {
        struct MeshQuality
        {
            index_t nb_triangles{ 0 };
            /// Smallest triangle angle, in degrees.
            double min_angle{ 180. };
            /// Mean of 2 r / R over the triangles (1 for equilateral ones).
            double mean_radius_ratio{ 0 };
            /// Edges of the model, each counted once: the line edges and the
            /// inner edges of the surfaces.
            index_t nb_edges{ 0 };
            /// Of those, the edges within [L / sqrt 2, L sqrt 2].
            index_t nb_edges_in_band{ 0 };
            /// Largest distance from an output surface vertex to the input.
            double max_distance_to_input{ 0 };
        };

        /// 2 r / R of a triangle: 1 for an equilateral triangle, 0 for a flat
        /// one.
        inline double radius_ratio( const Triangle< 3 >& triangle )
        {
            const auto& p = triangle.vertices();
            const auto a = Vector3D{ p[1], p[2] }.length();
            const auto b = Vector3D{ p[2], p[0] }.length();
            const auto c = Vector3D{ p[0], p[1] }.length();
            const auto twice_area =
                Vector3D{ p[0], p[1] }.cross( Vector3D{ p[0], p[2] } ).length();
            const auto product = a * b * c * ( a + b + c );
            return product > 1e-30 ? 4. * twice_area * twice_area / product : 0.;
        }

        /// Smallest angle of a triangle, in degrees.
        inline double min_angle_degrees( const Triangle< 3 >& triangle )
        {
            const auto& p = triangle.vertices();
            double smallest{ 180. };
            for( const index_t v : { 0, 1, 2 } )
            {
                const Vector3D u{ p[v], p[( v + 1 ) % 3] };
                const Vector3D w{ p[v], p[( v + 2 ) % 3] };
                const auto angle = std::atan2( u.cross( w ).length(), u.dot( w ) );
                smallest = std::min( smallest, angle * 180. / std::numbers::pi );
            }
            return smallest;
        }

        /// The input surfaces with a tree over each, for distance queries.
        class InputDistance
        {
        public:
            explicit InputDistance(
                const std::vector< std::unique_ptr< TriangulatedSurface< 3 > > >& surfaces )
            {
                for( const auto& surface : surfaces )
                {
                    surfaces_.push_back( surface.get() );
                    trees_.push_back( create_aabb_tree( *surface ) );
                }
            }

            double operator()( const Point< 3 >& point ) const
            {
                double best{ std::numeric_limits< double >::max() };
                for( std::size_t s = 0; s < surfaces_.size(); s++ )
                {
                    const DistanceToTriangle< 3 > distance{ *surfaces_[s] };
                    best = detail::closest_element( trees_[s], point, distance, NO_ID, best )
                               .second;
                }
                return best;
            }

        private:
            std::vector< const TriangulatedSurface< 3 >* > surfaces_;
            std::vector< AABBTree< 3 > > trees_;
        };

        inline MeshQuality measure_quality( const BRep& model,
            double metric,
            const std::vector< std::unique_ptr< TriangulatedSurface< 3 > > >& input )
        {
            MeshQuality quality;
            const InputDistance distance_to_input{ input };
            const auto count_edge = [&quality, metric]( double length ) {
                quality.nb_edges++;
                if( length >= metric / std::numbers::sqrt2
                    && length <= metric * std::numbers::sqrt2 )
                {
                    quality.nb_edges_in_band++;
                }
            };
            double radius_ratio_sum{ 0 };
            for( const auto& surface : model.surfaces() )
            {
                const auto& mesh = dynamic_cast< const TriangulatedSurface< 3 >& >( surface.mesh() );
                for( index_t p = 0; p < mesh.nb_polygons(); p++ )
                {
                    const auto triangle = mesh.triangle( p );
                    quality.nb_triangles++;
                    radius_ratio_sum += radius_ratio( triangle );
                    quality.min_angle = std::min( quality.min_angle, min_angle_degrees( triangle ) );
                    for( const local_index_t e : { 0, 1, 2 } )
                    {
                        // Border edges are line edges, counted with the
                        // lines.
                        const auto adjacent = mesh.polygon_adjacent( { p, e } );
                        if( adjacent && *adjacent > p )
                        {
                            count_edge( mesh.edge_length( { p, e } ) );
                        }
                    }
                }
                for( index_t v = 0; v < mesh.nb_vertices(); v++ )
                {
                    quality.max_distance_to_input = std::max(
                        quality.max_distance_to_input, distance_to_input( mesh.point( v ) ) );
                }
            }
            for( const auto& line : model.lines() )
            {
                const auto& mesh = line.mesh();
                for( index_t e = 0; e < mesh.nb_edges(); e++ )
                {
                    count_edge( mesh.edge_length( e ) );
                }
            }
            quality.mean_radius_ratio =
                quality.nb_triangles > 0
                    ? radius_ratio_sum / static_cast< double >( quality.nb_triangles )
                    : 0.;
            return quality;
        }
    } // namespace bench
} // namespace orvane
