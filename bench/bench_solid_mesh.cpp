// Tetrahedral solid: building, adjacency computation and around-vertex and
// around-edge walks on a conformal grid of 6 tetrahedra per cell.

#include <benchmark/benchmark.h>

#include <openorvane/mesh/tetrahedral_solid.hpp>

#include <bench/bench_meshes.hpp>

namespace
{
    using namespace orvane;

    using bench::grid_solid;
    using bench::heap_growth_since;
    using bench::heap_in_use;

    void BM_BuildGridSolid( benchmark::State& state )
    {
        const auto n = static_cast< index_t >( state.range( 0 ) );
        double bytes_per_tetrahedron{ 0 };
        index_t nb_tetrahedra{ 0 };
        for( auto _ : state )
        {
            const auto before = heap_in_use();
            auto solid = grid_solid( n );
            nb_tetrahedra = solid->nb_polyhedra();
            bytes_per_tetrahedron =
                heap_growth_since( before ) / nb_tetrahedra;
            benchmark::DoNotOptimize( solid );
        }
        state.counters["tetrahedra"] = nb_tetrahedra;
        state.counters["bytes_per_tetrahedron"] = bytes_per_tetrahedron;
        state.counters["tetrahedra_per_second"] = benchmark::Counter(
            static_cast< double >( nb_tetrahedra ) * state.iterations(),
            benchmark::Counter::kIsRate );
    }
    BENCHMARK( BM_BuildGridSolid )->Arg( 20 )->Arg( 55 )->Unit( benchmark::kMillisecond );

    void BM_ComputeAdjacencies( benchmark::State& state )
    {
        const auto solid = grid_solid( static_cast< index_t >( state.range( 0 ) ) );
        auto builder = TetrahedralSolidBuilder< 3 >::create( *solid );
        for( auto _ : state )
        {
            builder->compute_polyhedron_adjacencies();
        }
        state.counters["tetrahedra_per_second"] = benchmark::Counter(
            static_cast< double >( solid->nb_polyhedra() ) * state.iterations(),
            benchmark::Counter::kIsRate );
    }
    BENCHMARK( BM_ComputeAdjacencies )->Arg( 20 )->Arg( 55 )->Unit( benchmark::kMillisecond );

    void BM_PolyhedraAroundEveryVertex( benchmark::State& state )
    {
        const auto solid = grid_solid( static_cast< index_t >( state.range( 0 ) ) );
        TetrahedralSolidBuilder< 3 >::create( *solid )->compute_polyhedron_adjacencies();
        for( auto _ : state )
        {
            std::size_t total{ 0 };
            for( index_t v = 0; v < solid->nb_vertices(); v++ )
            {
                total += solid->polyhedra_around_vertex( v ).size();
            }
            benchmark::DoNotOptimize( total );
        }
        state.counters["vertices_per_second"] = benchmark::Counter(
            static_cast< double >( solid->nb_vertices() ) * state.iterations(),
            benchmark::Counter::kIsRate );
    }
    BENCHMARK( BM_PolyhedraAroundEveryVertex )->Arg( 20 )->Arg( 55 )->Unit( benchmark::kMillisecond );

    void BM_PolyhedraAroundEveryTetrahedronFirstEdge( benchmark::State& state )
    {
        const auto solid = grid_solid( static_cast< index_t >( state.range( 0 ) ) );
        TetrahedralSolidBuilder< 3 >::create( *solid )->compute_polyhedron_adjacencies();
        for( auto _ : state )
        {
            std::size_t total{ 0 };
            for( index_t t = 0; t < solid->nb_polyhedra(); t++ )
            {
                const EdgeVertices edge{ solid->polyhedron_vertex( { t, 0 } ),
                    solid->polyhedron_vertex( { t, 1 } ) };
                total += solid->polyhedra_around_edge( edge, t ).size();
            }
            benchmark::DoNotOptimize( total );
        }
        state.counters["edges_per_second"] = benchmark::Counter(
            static_cast< double >( solid->nb_polyhedra() ) * state.iterations(),
            benchmark::Counter::kIsRate );
    }
    BENCHMARK( BM_PolyhedraAroundEveryTetrahedronFirstEdge )
        ->Arg( 20 )
        ->Arg( 55 )
        ->Unit( benchmark::kMillisecond );

    void BM_EnableEdgesAndFacets( benchmark::State& state )
    {
        for( auto _ : state )
        {
            state.PauseTiming();
            const auto solid = grid_solid( static_cast< index_t >( state.range( 0 ) ) );
            state.ResumeTiming();
            solid->enable_edges();
            solid->enable_facets();
            benchmark::DoNotOptimize( solid->facets().nb_facets() );
        }
    }
    BENCHMARK( BM_EnableEdgesAndFacets )->Arg( 20 )->Unit( benchmark::kMillisecond );
} // namespace
