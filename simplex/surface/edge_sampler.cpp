#include <simplex/surface/edge_sampler.hpp>

#include <utility>

#include <openorvane/geometry/distance.hpp>

#include <simplex/metric/metric.hpp>

namespace
{
    constexpr double CELL_FACTOR = 0.5;
    constexpr double TOO_CLOSE_FACTOR = 0.5;
    constexpr double CLOSE_FACTOR = 1.5;
} // namespace

namespace orvane
{
    namespace internal
    {
        Sampler< Edge >::Sampler( const Metric< 3 >& metric ) : metric_( &metric ) {}

        Sampler< Edge >::~Sampler() = default;

        Sampler< Edge >::Result Sampler< Edge >::sample()
        {
            initialize_grid();
            initialize();
            for( auto& segment : initial_queue_elements() )
            {
                front_.push_back( std::move( segment ) );
            }
            while( !front_.empty() )
            {
                const auto segment = std::move( front_.front() );
                front_.pop_front();
                const auto [size, candidates] = candidate_points( segment );
                for( const auto& candidate : candidates )
                {
                    const auto cells = grid_->cells( candidate.point );
                    if( cells.empty() || is_too_close( cells, size, candidate.point ) )
                    {
                        continue;
                    }
                    const auto close = close_points( cells, size, candidate.point );
                    if( close.size() >= 2 )
                    {
                        for( auto& new_segment : new_queue_elements( close, size, candidate.point ) )
                        {
                            front_.push_back( std::move( new_segment ) );
                        }
                    }
                    add_point_to_cells( cells, candidate.point );
                    result_[candidate.owner].push_back( candidate.point );
                }
            }
            return std::move( result_ );
        }

        void Sampler< Edge >::initialize_grid()
        {
            const auto box = bounding_box();
            cell_length_ = CELL_FACTOR * metric_->mean_metric();
            const auto counts = detail::sample_grid_cell_counts( box, cell_length_ );
            for( const local_index_t axis : { 0, 1, 2 } )
            {
                cells_per_axis_[axis] = static_cast< int >( counts[axis] );
            }
            grid_ = std::make_unique< LightRegularGrid< 3 > >(
                box.min(), counts, std::array< double, 3 >{ cell_length_, cell_length_, cell_length_ } );
            cell_points_ = detail::cell_points_attribute( *grid_ );
        }

        void Sampler< Edge >::add_point_to_cells(
            const LightRegularGrid< 3 >::CellsAroundPoint& cells, const Point< 3 >& point )
        {
            detail::add_point_to_cells( *grid_, *cell_points_, cells, point );
        }

        bool Sampler< Edge >::is_too_close( const LightRegularGrid< 3 >::CellsAroundPoint& cells,
            double size,
            const Point< 3 >& point ) const
        {
            const auto radius = TOO_CLOSE_FACTOR * size;
            return detail::visit_cell_points( *grid_, *cell_points_,
                detail::cell_range( *grid_, cells, radius ),
                [&point, radius]( const Point< 3 >& other ) {
                    return point_point_distance( point, other ) < radius;
                } );
        }

        std::vector< Point< 3 > > Sampler< Edge >::close_points(
            const LightRegularGrid< 3 >::CellsAroundPoint& cells,
            double size,
            const Point< 3 >& point ) const
        {
            return detail::cell_points_closer_than(
                *grid_, *cell_points_, cells, CLOSE_FACTOR * size, point );
        }
    } // namespace internal
} // namespace orvane
