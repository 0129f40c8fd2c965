#include <simplex/block/block_sampler.hpp>

#include <algorithm>
#include <cmath>
#include <utility>

#include <absl/container/flat_hash_set.h>

#include <openorvane/geometry/distance.hpp>
#include <openorvane/model/brep.hpp>

#include <simplex/block/block_vertices.hpp>
#include <simplex/metric/metric.hpp>

namespace
{
    using namespace orvane;

    constexpr double TOO_CLOSE_FACTOR = 0.8;
    constexpr double NEIGHBOUR_FACTOR = 1.2;

    /// Fills a block from its boundary: the existing vertices of the block
    /// are registered, the boundary triangles seed the front, and each front
    /// triangle proposes the two apices of the regular tetrahedron on it.
    class BlockMesher : public internal::BlockSampler
    {
    public:
        using internal::BlockSampler::BlockSampler;

    private:
        void initialize() override
        {
            absl::flat_hash_set< index_t > registered;
            detail::visit_block_vertices( brep_, block_,
                [this, &registered]( index_t unique_vertex, const Point< 3 >& point ) {
                    if( registered.insert( unique_vertex ).second )
                    {
                        register_point( point );
                    }
                } );
        }

        std::vector< OwnerTriangle< 3 > > initial_queue_elements() override
        {
            std::vector< OwnerTriangle< 3 > > triangles;
            for( const auto& surface : brep_.boundaries( block_ ) )
            {
                const auto& mesh = surface.mesh();
                for( index_t p = 0; p < mesh.nb_polygons(); p++ )
                {
                    triangles.emplace_back( mesh.point( mesh.polygon_vertex( { p, 0 } ) ),
                        mesh.point( mesh.polygon_vertex( { p, 1 } ) ),
                        mesh.point( mesh.polygon_vertex( { p, 2 } ) ) );
                }
            }
            return triangles;
        }

        Candidates candidate_points( const OwnerTriangle< 3 >& triangle ) override
        {
            const auto normal = triangle.normal();
            if( !normal )
            {
                return { 0., {} };
            }
            const auto barycenter = triangle.barycenter();
            const auto size = metric_->point_metric( barycenter );
            double mean_distance = 0;
            for( const auto& vertex : triangle.vertices() )
            {
                mean_distance += point_point_distance( vertex, barycenter );
            }
            mean_distance /= 3.;
            // For an equilateral triangle of side `size`, the height of the
            // regular tetrahedron on it.
            const auto height = std::sqrt( std::fabs( size * size - mean_distance * mean_distance ) );
            const auto offset = *normal * height;
            return { size, { { NO_ID, barycenter + offset }, { NO_ID, barycenter - offset } } };
        }
    };
} // namespace

namespace orvane
{
    namespace internal
    {
        Sampler< Triangle >::Sampler( const Metric< 3 >& metric ) : metric_( &metric ) {}

        Sampler< Triangle >::~Sampler() = default;

        Sampler< Triangle >::Result Sampler< Triangle >::sample()
        {
            initialize_grid();
            initialize();
            for( auto& triangle : initial_queue_elements() )
            {
                front_.push_back( std::move( triangle ) );
            }
            while( !front_.empty() )
            {
                const auto triangle = std::move( front_.front() );
                front_.pop_front();
                const auto [size, candidates] = candidate_points( triangle );
                for( const auto& candidate : candidates )
                {
                    const auto cells = grid_->cells( candidate.point );
                    if( cells.empty() || is_too_close( cells, size, candidate.point ) )
                    {
                        continue;
                    }
                    add_front( cells, size, candidate.point );
                    detail::add_point_to_cells( *grid_, *cell_points_, cells, candidate.point );
                    result_[candidate.owner].push_back( candidate.point );
                }
            }
            return std::move( result_ );
        }

        void Sampler< Triangle >::initialize_grid()
        {
            const auto box = bounding_box();
            cell_length_ = TOO_CLOSE_FACTOR * metric_->mean_metric();
            const auto counts = detail::sample_grid_cell_counts( box, cell_length_ );
            for( const local_index_t axis : { 0, 1, 2 } )
            {
                nb_cells_[axis] = static_cast< int >( counts[axis] );
            }
            grid_ = std::make_unique< LightRegularGrid< 3 > >(
                box.min(), counts, std::array< double, 3 >{ cell_length_, cell_length_, cell_length_ } );
            cell_points_ = detail::cell_points_attribute( *grid_ );
        }

        bool Sampler< Triangle >::is_too_close( const LightRegularGrid< 3 >::CellsAroundPoint& cells,
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

        void Sampler< Triangle >::add_front( const LightRegularGrid< 3 >::CellsAroundPoint& cells,
            double size,
            const Point< 3 >& point )
        {
            const auto neighbours = detail::cell_points_closer_than(
                *grid_, *cell_points_, cells, NEIGHBOUR_FACTOR * size, point );
            if( neighbours.size() < 2 )
            {
                return;
            }
            for( auto& triangle : new_queue_elements( neighbours, size, point ) )
            {
                front_.push_back( std::move( triangle ) );
            }
        }

        void Sampler< Triangle >::register_point( const Point< 3 >& point )
        {
            const auto cells = grid_->cells( point );
            detail::add_point_to_cells( *grid_, *cell_points_, cells, point );
        }

        BlockSampler::BlockSampler(
            const BRep& model, const Block< 3 >& block, const Metric< 3 >& metric )
            : Sampler< Triangle >( metric ), brep_( model ), block_( block )
        {
        }

        std::vector< OwnerTriangle< 3 > > BlockSampler::new_queue_elements(
            const std::vector< Point< 3 > >& neighbours, double size, const Point< 3 >& point )
        {
            std::vector< OwnerTriangle< 3 > > triangles;
            const auto limit = NEIGHBOUR_FACTOR * size;
            for( std::size_t i = 0; i < neighbours.size(); i++ )
            {
                for( auto j = i + 1; j < neighbours.size(); j++ )
                {
                    const auto distance = point_point_distance( neighbours[i], neighbours[j] );
                    if( limit > distance && distance > GLOBAL_EPSILON )
                    {
                        triangles.emplace_back( point, neighbours[i], neighbours[j] );
                    }
                }
            }
            return triangles;
        }

        BoundingBox< 3 > BlockSampler::bounding_box() const
        {
            BoundingBox< 3 > box;
            for( const auto& surface : brep_.boundaries( block_ ) )
            {
                box.add_box( surface.mesh().bounding_box() );
            }
            return box;
        }

        std::vector< Point< 3 > > sample_block_interior(
            const BRep& model, const Block< 3 >& block, const Metric< 3 >& metric )
        {
            auto result = BlockMesher{ model, block, metric }.sample();
            const auto found = result.find( NO_ID );
            if( found == result.end() )
            {
                return {};
            }
            return std::move( found->second );
        }
    } // namespace internal
} // namespace orvane
