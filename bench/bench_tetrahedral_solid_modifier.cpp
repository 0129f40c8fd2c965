// Tetrahedral solid modifier: splits, validity-tested edge collapses and
// clean-up on a conformal grid of 6 tetrahedra per cell.

#include <memory>

#include <benchmark/benchmark.h>

#include <openorvane/mesh/tetrahedral_solid.hpp>

#include <common/modifier/tetrahedral_collapse_validity.hpp>
#include <common/modifier/tetrahedral_solid_modifier.hpp>

#include <bench/bench_meshes.hpp>

namespace
{
    using namespace orvane;

    /// The grid solid of bench_meshes.hpp with its adjacencies.
    std::unique_ptr< TetrahedralSolid< 3 > > grid_solid( index_t n )
    {
        auto solid = bench::grid_solid( n );
        TetrahedralSolidBuilder< 3 >::create( *solid )->compute_polyhedron_adjacencies();
        return solid;
    }

    /// Splits every tetrahedron of the grid at its barycentre, then cleans.
    void BM_SplitEveryTetrahedron( benchmark::State& state )
    {
        const auto n = static_cast< index_t >( state.range( 0 ) );
        index_t nb_splits{ 0 };
        for( auto _ : state )
        {
            state.PauseTiming();
            auto solid = grid_solid( n );
            auto builder = TetrahedralSolidBuilder< 3 >::create( *solid );
            const auto nb_tetrahedra = solid->nb_polyhedra();
            state.ResumeTiming();
            TetrahedralSolidModifier modifier{ *solid, *builder };
            for( index_t t = 0; t < nb_tetrahedra; t++ )
            {
                benchmark::DoNotOptimize( modifier.split_tetrahedron(
                    t, solid->polyhedron_barycenter( t ) ) );
            }
            benchmark::DoNotOptimize( modifier.clean() );
            nb_splits = nb_tetrahedra;
        }
        state.counters["splits"] = nb_splits;
        state.counters["per_split"] = benchmark::Counter( static_cast< double >( nb_splits ),
            benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert );
    }
    BENCHMARK( BM_SplitEveryTetrahedron )->Arg( 10 )->Unit( benchmark::kMillisecond );

    /// Tests every facet edge of the original tetrahedra for a collapse at
    /// its midpoint and collapses the accepted ones whose tetrahedron is
    /// still live.
    void BM_TestedEdgeCollapses( benchmark::State& state )
    {
        const auto n = static_cast< index_t >( state.range( 0 ) );
        index_t nb_collapses{ 0 };
        index_t nb_tests{ 0 };
        for( auto _ : state )
        {
            state.PauseTiming();
            auto solid = grid_solid( n );
            auto builder = TetrahedralSolidBuilder< 3 >::create( *solid );
            const auto nb_tetrahedra = solid->nb_polyhedra();
            state.ResumeTiming();
            TetrahedralSolidModifier modifier{ *solid, *builder };
            nb_collapses = 0;
            nb_tests = 0;
            for( index_t t = 0; t < nb_tetrahedra; t++ )
            {
                if( !modifier.is_polyhedron_active( t ) )
                {
                    continue;
                }
                const PolyhedronFacetEdge edge{ { t, 0 }, 0 };
                const auto at = solid->edge_barycenter(
                    solid->polyhedron_facet_edge_vertices( edge ) );
                nb_tests++;
                if( is_collapse_edge_valid( *solid, edge, at ) )
                {
                    benchmark::DoNotOptimize( modifier.collapse_edge( edge, at ) );
                    nb_collapses++;
                }
            }
            benchmark::DoNotOptimize( modifier.clean() );
        }
        state.counters["collapses"] = nb_collapses;
        state.counters["tests"] = nb_tests;
        // Each collapse with its validity test, the tests of refused
        // collapses and the final clean-up spread over the collapses.
        state.counters["per_collapse"] = benchmark::Counter(
            static_cast< double >( nb_collapses ),
            benchmark::Counter::kIsIterationInvariantRate
                | benchmark::Counter::kInvert );
    }
    BENCHMARK( BM_TestedEdgeCollapses )->Arg( 10 )->Unit( benchmark::kMillisecond );
} // namespace
