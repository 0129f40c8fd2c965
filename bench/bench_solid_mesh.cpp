// Tetrahedral solid: building, adjacency computation and around-vertex and
// around-edge walks on a conformal grid of 6 tetrahedra per cell.

#include <malloc.h>

#include <array>
#include <memory>

#include <benchmark/benchmark.h>

#include <openorvane/mesh/mesh_library.hpp>
#include <openorvane/mesh/tetrahedral_solid.hpp>

namespace
{
    using namespace orvane;

    // The 6 tetrahedra of a cell around its diagonal from corner 0 to corner
    // 7 (corner c at (c & 1, (c >> 1) & 1, (c >> 2) & 1)), ordered positive.
    constexpr std::array< std::array< index_t, 4 >, 6 > CELL_TETRAHEDRA{ {
        { 0, 1, 3, 7 },
        { 0, 5, 1, 7 },
        { 0, 3, 2, 7 },
        { 0, 2, 6, 7 },
        { 0, 6, 4, 7 },
        { 0, 4, 5, 7 },
    } };

    std::unique_ptr< TetrahedralSolid< 3 > > grid_solid( index_t n )
    {
        OpenOrvaneMeshLibrary::initialize();
        auto solid = TetrahedralSolid< 3 >::create();
        auto builder = TetrahedralSolidBuilder< 3 >::create( *solid );
        for( index_t k = 0; k <= n; k++ )
        {
            for( index_t j = 0; j <= n; j++ )
            {
                for( index_t i = 0; i <= n; i++ )
                {
                    builder->create_point( Point< 3 >{ { static_cast< double >( i ),
                        static_cast< double >( j ), static_cast< double >( k ) } } );
                }
            }
        }
        const auto vertex = [n]( index_t i, index_t j, index_t k ) {
            return i + ( n + 1 ) * ( j + ( n + 1 ) * k );
        };
        for( index_t k = 0; k < n; k++ )
        {
            for( index_t j = 0; j < n; j++ )
            {
                for( index_t i = 0; i < n; i++ )
                {
                    std::array< index_t, 8 > corners;
                    for( index_t c = 0; c < 8; c++ )
                    {
                        corners[c] = vertex( i + ( c & 1 ), j + ( ( c >> 1 ) & 1 ),
                            k + ( ( c >> 2 ) & 1 ) );
                    }
                    for( const auto& tetrahedron : CELL_TETRAHEDRA )
                    {
                        builder->create_tetrahedron(
                            { corners[tetrahedron[0]], corners[tetrahedron[1]],
                                corners[tetrahedron[2]], corners[tetrahedron[3]] } );
                    }
                }
            }
        }
        return solid;
    }

    std::size_t heap_in_use()
    {
        return mallinfo2().uordblks;
    }

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
                static_cast< double >( heap_in_use() - before ) / nb_tetrahedra;
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
