#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

#include <openorvane/geometry/aabb.hpp>
#include <openorvane/geometry/nn_search.hpp>

namespace
{
    using orvane::index_t;
    using P3 = orvane::Point3D;

    /// A wavy regular grid surface of 2 * n * n triangles on [0, n]^2.
    struct WavySurface
    {
        explicit WavySurface( index_t n )
        {
            points.reserve( ( n + 1 ) * ( n + 1 ) );
            for( index_t j = 0; j <= n; j++ )
            {
                for( index_t i = 0; i <= n; i++ )
                {
                    const double x = i;
                    const double y = j;
                    points.push_back( P3{ { x, y,
                        2. * std::sin( x * 0.05 ) * std::cos( y * 0.07 ) } } );
                }
            }
            const auto vertex = [n]( index_t i, index_t j ) {
                return j * ( n + 1 ) + i;
            };
            boxes.reserve( 2 * n * n );
            for( index_t j = 0; j < n; j++ )
            {
                for( index_t i = 0; i < n; i++ )
                {
                    add_triangle( vertex( i, j ), vertex( i + 1, j ),
                        vertex( i + 1, j + 1 ) );
                    add_triangle( vertex( i, j ), vertex( i + 1, j + 1 ),
                        vertex( i, j + 1 ) );
                }
            }
        }

        void add_triangle( index_t a, index_t b, index_t c )
        {
            orvane::BoundingBox3D box;
            box.add_point( points[a] );
            box.add_point( points[b] );
            box.add_point( points[c] );
            boxes.push_back( box );
        }

        std::vector< P3 > points;
        std::vector< orvane::BoundingBox3D > boxes;
    };

    /// 2 * 708 * 708 = 1,002,528 triangles.
    const WavySurface& million_triangles()
    {
        static const WavySurface surface{ 708 };
        return surface;
    }

    void build_tree( benchmark::State& state )
    {
        const auto& surface = million_triangles();
        for( auto _ : state )
        {
            orvane::AABBTree3D tree{ surface.boxes };
            benchmark::DoNotOptimize( tree.nb_bboxes() );
        }
        state.counters["boxes"] = static_cast< double >( surface.boxes.size() );
    }
    BENCHMARK( build_tree )->Unit( benchmark::kMillisecond );

    void box_pair_search( benchmark::State& state )
    {
        const auto& surface = million_triangles();
        const orvane::AABBTree3D tree{ surface.boxes };
        std::size_t pairs{ 0 };
        for( auto _ : state )
        {
            pairs = 0;
            tree.visit_intersecting_box_pairs( [&pairs]( index_t, index_t ) {
                pairs++;
                return false;
            } );
            benchmark::DoNotOptimize( pairs );
        }
        state.counters["pairs"] = static_cast< double >( pairs );
    }
    BENCHMARK( box_pair_search )->Unit( benchmark::kMillisecond );

    void box_search( benchmark::State& state )
    {
        const auto& surface = million_triangles();
        const orvane::AABBTree3D tree{ surface.boxes };
        std::mt19937 random{ 1 };
        std::uniform_real_distribution< double > coordinate{ 0, 708 };
        std::size_t found{ 0 };
        for( auto _ : state )
        {
            orvane::BoundingBox3D query;
            const P3 corner{ { coordinate( random ), coordinate( random ), -3 } };
            query.add_point( corner );
            query.add_point( corner + P3{ { 2, 2, 6 } } );
            tree.visit_boxes_intersecting_box( query, [&found]( index_t ) {
                found++;
                return false;
            } );
        }
        benchmark::DoNotOptimize( found );
    }
    BENCHMARK( box_search );

    void nearest_point( benchmark::State& state )
    {
        const auto& surface = million_triangles();
        const orvane::NNSearch3D search{ surface.points };
        std::mt19937 random{ 2 };
        std::uniform_real_distribution< double > coordinate{ 0, 708 };
        for( auto _ : state )
        {
            const P3 query{ { coordinate( random ), coordinate( random ), 0.5 } };
            benchmark::DoNotOptimize( search.closest_neighbor( query ) );
        }
        state.counters["points"] = static_cast< double >( surface.points.size() );
    }
    BENCHMARK( nearest_point );

    void nn_search_build( benchmark::State& state )
    {
        const auto& surface = million_triangles();
        for( auto _ : state )
        {
            const orvane::NNSearch3D search{ surface.points };
            benchmark::DoNotOptimize( search.nb_points() );
        }
    }
    BENCHMARK( nn_search_build )->Unit( benchmark::kMillisecond );

    void colocation( benchmark::State& state )
    {
        // Every grid vertex given twice, as a merge of two surfaces would.
        auto points = million_triangles().points;
        const auto nb = points.size();
        for( std::size_t i = 0; i < nb; i++ )
        {
            points.push_back( points[i] );
        }
        const orvane::NNSearch3D search{ points };
        for( auto _ : state )
        {
            benchmark::DoNotOptimize(
                search.colocated_index_mapping( 1e-6 ).nb_unique_points() );
        }
        state.counters["points"] = static_cast< double >( points.size() );
    }
    BENCHMARK( colocation )->Unit( benchmark::kMillisecond );
} // namespace
