#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include <oneapi/tbb/task_arena.h>

#include <openorvane/basic/async.hpp>
#include <openorvane/geometry/aabb.hpp>
#include <openorvane/geometry/distance.hpp>
#include <openorvane/geometry/nn_search.hpp>

#include <bench/bench_meshes.hpp>
#include <bench/bench_process.hpp>

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

    /// A million points of the wavy surface of 1000 by 1000 squares.
    const std::vector< P3 >& million_points()
    {
        static const std::vector< P3 > points = [] {
            std::vector< P3 > result;
            result.reserve( 1001 * 1001 );
            for( index_t j = 0; j <= 1000; j++ )
            {
                for( index_t i = 0; i <= 1000; i++ )
                {
                    const double x = i;
                    const double y = j;
                    result.push_back( P3{ { x, y,
                        2. * std::sin( x * 0.05 ) * std::cos( y * 0.07 ) } } );
                }
            }
            return result;
        }();
        return points;
    }

    /// Runs the body on an arena of state.range( 0 ) threads and records the
    /// thread count, the peak memory and the CPU time of every thread of the
    /// process per iteration (the figure to trust on a busy machine, where
    /// the wall time of several threads says little).
    template < typename Body >
    void on_threads( benchmark::State& state, const Body& body )
    {
        tbb::task_arena arena{ static_cast< int >( state.range( 0 ) ) };
        const auto cpu_before = orvane::bench::process_cpu_seconds();
        arena.execute( body );
        const auto cpu = orvane::bench::process_cpu_seconds() - cpu_before;
        state.counters["threads"] = static_cast< double >( state.range( 0 ) );
        state.counters["peak_rss_MB"] = orvane::bench::peak_rss_mib();
        state.counters["all_threads_cpu_ms"] =
            1e3 * cpu / static_cast< double >( std::max< benchmark::IterationCount >( state.iterations(), 1 ) );
    }

    void build_tree( benchmark::State& state )
    {
        const auto& surface = million_triangles();
        double held{ 0 };
        on_threads( state, [&] {
            for( auto _ : state )
            {
                const auto before = orvane::bench::heap_in_use();
                orvane::AABBTree3D tree{ surface.boxes };
                held = orvane::bench::heap_growth_since( before );
                benchmark::DoNotOptimize( tree.nb_bboxes() );
            }
        } );
        state.counters["boxes"] = static_cast< double >( surface.boxes.size() );
        state.counters["tree_MB"] = held / 1e6;
    }
    BENCHMARK( build_tree )->Arg( 1 )->Arg( 8 )->Unit( benchmark::kMillisecond )->UseRealTime();

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

    /// Closest triangle of the million-triangle surface to points within 3
    /// of it: the greedy leaf guess, then the branch-and-bound search.
    void closest_triangle( benchmark::State& state )
    {
        const auto& surface = million_triangles();
        const orvane::AABBTree3D tree{ surface.boxes };
        const auto n = index_t{ 708 };
        const auto vertex = [n]( index_t i, index_t j ) {
            return j * ( n + 1 ) + i;
        };
        const auto triangle = [&]( index_t element ) {
            const auto square = element / 2;
            const auto i = square % n;
            const auto j = square / n;
            if( element % 2 == 0 )
            {
                return orvane::Triangle3D{ surface.points[vertex( i, j )],
                    surface.points[vertex( i + 1, j )],
                    surface.points[vertex( i + 1, j + 1 )] };
            }
            return orvane::Triangle3D{ surface.points[vertex( i, j )],
                surface.points[vertex( i + 1, j + 1 )],
                surface.points[vertex( i, j + 1 )] };
        };
        const auto distance = [&triangle]( const P3& point, index_t element ) {
            return std::get< 0 >(
                orvane::point_triangle_distance( point, triangle( element ) ) );
        };
        std::mt19937 random{ 4 };
        std::uniform_real_distribution< double > coordinate{ 0, 708 };
        std::uniform_real_distribution< double > height{ -3, 3 };
        for( auto _ : state )
        {
            const P3 query{ { coordinate( random ), coordinate( random ),
                height( random ) } };
            const auto guess = orvane::detail::closest_leaf_element( tree, query );
            benchmark::DoNotOptimize( orvane::detail::closest_element(
                tree, query, distance, guess, distance( query, guess ) ) );
        }
    }
    BENCHMARK( closest_triangle );

    /// One closest-point query, on one thread.
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

    /// 100,000 closest-point queries on the million points, spread over the
    /// pool; per_query is the wall time of one query.
    void nearest_point_batch( benchmark::State& state )
    {
        const orvane::NNSearch3D search{ million_points() };
        std::mt19937 random{ 2 };
        std::uniform_real_distribution< double > coordinate{ 0, 1000 };
        std::vector< P3 > queries;
        for( int q = 0; q < 100000; q++ )
        {
            queries.push_back(
                P3{ { coordinate( random ), coordinate( random ), 0.5 } } );
        }
        std::vector< index_t > closest( queries.size() );
        on_threads( state, [&] {
            for( auto _ : state )
            {
                orvane::async::parallel_for( 0,
                    static_cast< index_t >( queries.size() ), [&]( index_t q ) {
                        closest[q] = search.closest_neighbor( queries[q] );
                    } );
                benchmark::DoNotOptimize( closest.data() );
            }
        } );
        state.counters["per_query"] = benchmark::Counter(
            static_cast< double >( queries.size() ),
            benchmark::Counter::kIsIterationInvariantRate
                | benchmark::Counter::kInvert );
    }
    BENCHMARK( nearest_point_batch )->Arg( 1 )->Arg( 8 )->UseRealTime()->Unit( benchmark::kMillisecond );

    /// Eight nearest points, on one thread.
    void eight_nearest_points( benchmark::State& state )
    {
        const auto& surface = million_triangles();
        const orvane::NNSearch3D search{ surface.points };
        std::mt19937 random{ 2 };
        std::uniform_real_distribution< double > coordinate{ 0, 708 };
        for( auto _ : state )
        {
            const P3 query{ { coordinate( random ), coordinate( random ), 0.5 } };
            benchmark::DoNotOptimize( search.neighbors( query, 8 ) );
        }
    }
    BENCHMARK( eight_nearest_points );

    /// k-d tree over a million points.
    void nn_search_build( benchmark::State& state )
    {
        const auto& points = million_points();
        double held{ 0 };
        on_threads( state, [&] {
            for( auto _ : state )
            {
                const auto before = orvane::bench::heap_in_use();
                const orvane::NNSearch3D search{ points };
                held = orvane::bench::heap_growth_since( before );
                benchmark::DoNotOptimize( search.nb_points() );
            }
        } );
        state.counters["points"] = static_cast< double >( points.size() );
        state.counters["search_MB"] = held / 1e6;
    }
    BENCHMARK( nn_search_build )->Arg( 1 )->Arg( 8 )->UseRealTime()->Unit( benchmark::kMillisecond );

    /// Colocation of a million points: every grid vertex of the wavy
    /// surface given twice, as a merge of two surfaces would.
    void colocation( benchmark::State& state )
    {
        auto points = million_triangles().points;
        const auto nb = points.size();
        for( std::size_t i = 0; i < nb; i++ )
        {
            points.push_back( points[i] );
        }
        const orvane::NNSearch3D search{ points };
        on_threads( state, [&] {
            for( auto _ : state )
            {
                benchmark::DoNotOptimize(
                    search.colocated_index_mapping( 1e-6 ).nb_unique_points() );
            }
        } );
        state.counters["points"] = static_cast< double >( points.size() );
    }
    BENCHMARK( colocation )->Arg( 1 )->Arg( 8 )->UseRealTime()->Unit( benchmark::kMillisecond );
} // namespace
