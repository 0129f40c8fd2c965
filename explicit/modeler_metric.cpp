#include <explicit/modeler_metric.hpp>

#include <algorithm>
#include <cmath>

#include <absl/container/flat_hash_set.h>
#include <absl/container/inlined_vector.h>

#include <openorvane/basic/exception.hpp>
#include <openorvane/geometry/distance.hpp>
#include <openorvane/geometry/nn_search.hpp>
#include <openorvane/mesh/light_regular_grid.hpp>
#include <openorvane/mesh/surface_mesh.hpp>

#include <simplex/metric/grid_metric.hpp>

namespace orvane
{
    namespace internal
    {
        namespace
        {
            using Distances = absl::InlinedVector< double, 32 >;

            /// The distance from each point to its nearest point farther than
            /// GLOBAL_EPSILON, 0 when there is none. Neighbours are asked
            /// five at a time, so that clusters of coincident points are
            /// searched past.
            Distances nearest_distinct_distances( const NNSearch< 3 >& search )
            {
                const auto nb = search.nb_points();
                Distances distances( nb, 0. );
                for( index_t i = 0; i < nb; ++i )
                {
                    const auto& point = search.point( i );
                    index_t start{ 0 };
                    while( true )
                    {
                        const auto k = std::min( nb, start + 5 );
                        const auto neighbors = search.neighbors( i, k );
                        bool found{ false };
                        for( auto n = static_cast< std::size_t >( start );
                             n < neighbors.size(); ++n )
                        {
                            const auto distance = point_point_distance(
                                point, search.point( neighbors[n] ) );
                            if( distance > GLOBAL_EPSILON )
                            {
                                distances[i] = distance;
                                found = true;
                                break;
                            }
                        }
                        if( found || k == nb )
                        {
                            break;
                        }
                        start = k;
                    }
                }
                return distances;
            }

            /// The first distance strictly above the lower bound, taking the
            /// distances in increasing order from the median upward; the
            /// lower bound when there is none.
            double cell_length( Distances distances, double lower_bound )
            {
                const auto middle = distances.begin()
                                    + static_cast< std::ptrdiff_t >(
                                        distances.size() / 2 );
                std::nth_element( distances.begin(), middle, distances.end() );
                std::sort( middle, distances.end() );
                const auto found = std::find_if( middle, distances.end(),
                    [lower_bound]( double d ) { return d > lower_bound; } );
                return found == distances.end() ? lower_bound : *found;
            }
        } // namespace

        ModelerMetric::ModelerMetric() = default;

        ModelerMetric::~ModelerMetric() = default;

        void ModelerMetric::add_point( const Point< 3 >& point )
        {
            points_.push_back( point );
            box_.add_point( point );
        }

        void ModelerMetric::add_polygons( const SurfaceMesh< 3 >& surface,
            absl::Span< const index_t > polygons )
        {
            absl::flat_hash_set< index_t > added;
            for( const auto polygon : polygons )
            {
                for( const auto vertex : surface.polygon_vertices( polygon ) )
                {
                    if( added.insert( vertex ).second )
                    {
                        add_point( surface.point( vertex ) );
                    }
                }
            }
        }

        const Metric< 3 >& ModelerMetric::build()
        {
            if( points_.empty() )
            {
                throw OpenOrvaneException{ "[ModelerMetric::build] No point added" };
            }
            const Point< 3 > margin{ { BOX_MARGIN, BOX_MARGIN, BOX_MARGIN } };
            const auto low = box_.min() - margin;
            const auto high = box_.max() + margin;
            box_.add_point( low );
            box_.add_point( high );

            const NNSearch< 3 > search{ std::move( points_ ) };
            points_.clear();
            const auto distances = nearest_distinct_distances( search );

            // No grid of the box can have more cells than an index_t counts,
            // so no cell needs to be smaller than this.
            const auto diagonal = box_.diagonal();
            const auto lower_bound = std::cbrt(
                diagonal.value( 0 ) * diagonal.value( 1 ) * diagonal.value( 2 )
                / 4294967295.0 );
            const auto length = cell_length( distances, lower_bound );

            grid_ = build_grid_from_bbox_target_length_and_maximum_cell_number(
                box_, length, MAX_NB_CELLS );
            auto metric =
                std::make_unique< GridMetric< 3 > >( *grid_, NO_SIZE_REQUESTED );
            for( index_t i = 0; i < search.nb_points(); ++i )
            {
                const auto distance = distances[i];
                if( distance == 0. )
                {
                    continue;
                }
                metric->lower_point_value(
                    search.point( i ), std::max( length, distance ) );
            }
            metric->optimize( GRADATION );
            metric_ = std::move( metric );
            return *metric_;
        }
    } // namespace internal
} // namespace orvane
