// Tetrahedral solid modifier: splits, validity-tested edge collapses and
// clean-up on a conformal grid of 6 tetrahedra per cell.

#include <array>
#include <memory>

#include <benchmark/benchmark.h>

#include <openorvane/mesh/mesh_library.hpp>
#include <openorvane/mesh/tetrahedral_solid.hpp>

#include <common/modifier/tetrahedral_collapse_validity.hpp>
#include <common/modifier/tetrahedral_solid_modifier.hpp>

namespace
{
    using namespace orvane;

    // The 6 positive tetrahedra of a cell around its diagonal from corner 0
    // to corner 7 (corner c at (c & 1, (c >> 1) & 1, (c >> 2) & 1)).
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
        builder->compute_polyhedron_adjacencies();
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
        for( auto _ : state )
        {
            state.PauseTiming();
            auto solid = grid_solid( n );
            auto builder = TetrahedralSolidBuilder< 3 >::create( *solid );
            const auto nb_tetrahedra = solid->nb_polyhedra();
            state.ResumeTiming();
            TetrahedralSolidModifier modifier{ *solid, *builder };
            nb_collapses = 0;
            for( index_t t = 0; t < nb_tetrahedra; t++ )
            {
                if( !modifier.is_polyhedron_active( t ) )
                {
                    continue;
                }
                const PolyhedronFacetEdge edge{ { t, 0 }, 0 };
                const auto at = solid->edge_barycenter(
                    solid->polyhedron_facet_edge_vertices( edge ) );
                if( is_collapse_edge_valid( *solid, edge, at ) )
                {
                    benchmark::DoNotOptimize( modifier.collapse_edge( edge, at ) );
                    nb_collapses++;
                }
            }
            benchmark::DoNotOptimize( modifier.clean() );
        }
        state.counters["collapses"] = nb_collapses;
    }
    BENCHMARK( BM_TestedEdgeCollapses )->Arg( 10 )->Unit( benchmark::kMillisecond );
} // namespace
