// Repair passes of a background solid: the epsilon pass and the quality pass
// over a whole solid.
//
// Each solid is the grid of bench_meshes.hpp with 26^3 cells (105,456
// tetrahedra), its inner vertices jittered by up to 0.2 cell; then one inner
// vertex per 100 tetrahedra is pushed within 1e-7 of a neighbour, an
// opposite edge or an opposite facet (needles, wedges, slivers), so that
// about 1% of the tetrahedra are defective. Run with the argument 1 and 8:
// that many independent solids are repaired at once, one pool task each, on
// a pool of that many threads.

#include <memory>
#include <random>
#include <vector>

#include <benchmark/benchmark.h>

#include <openorvane/geometry/basic_objects.hpp>
#include <openorvane/geometry/predicates.hpp>
#include <openorvane/mesh/tetrahedral_solid.hpp>

#include <background/background_solid.hpp>
#include <background/background_solid_edit_context.hpp>
#include <background/background_solid_library.hpp>
#include <background/background_solid_modifier.hpp>
#include <background/background_solid_optimization.hpp>

#include <bench/bench_meshes.hpp>
#include <bench/bench_process.hpp>

namespace
{
    using namespace orvane;

    constexpr index_t CELLS = 26;

    bool is_star_positive( const TetrahedralSolid< 3 >& solid, index_t vertex )
    {
        for( const auto& around : solid.polyhedra_around_vertex( vertex ) )
        {
            if( tetrahedron_volume_sign( solid.tetrahedron( around.polyhedron_id ) )
                != SIDE::positive )
            {
                return false;
            }
        }
        return true;
    }

    bool try_move( TetrahedralSolid< 3 >& solid,
        TetrahedralSolidBuilder< 3 >& builder,
        index_t vertex,
        const Point< 3 >& point )
    {
        const auto old = solid.point( vertex );
        builder.set_point( vertex, point );
        if( is_star_positive( solid, vertex ) )
        {
            return true;
        }
        builder.set_point( vertex, old );
        return false;
    }

    bool is_inner( index_t vertex )
    {
        const auto n = CELLS + 1;
        for( const auto c : { vertex % n, ( vertex / n ) % n, vertex / ( n * n ) } )
        {
            if( c == 0 || c == CELLS )
            {
                return false;
            }
        }
        return true;
    }

    std::unique_ptr< TetrahedralSolid< 3 > > defective_grid( unsigned seed )
    {
        auto solid = bench::grid_solid( CELLS );
        auto builder = TetrahedralSolidBuilder< 3 >::create( *solid );
        builder->compute_polyhedron_adjacencies();
        std::mt19937 random{ seed };
        std::uniform_real_distribution< double > jitter( -0.2, 0.2 );
        std::uniform_real_distribution< double > unit( 0.15, 0.85 );
        std::uniform_real_distribution< double > gap( 1e-9, 1e-7 );
        std::vector< index_t > inner;
        for( index_t v = 0; v < solid->nb_vertices(); v++ )
        {
            if( !is_inner( v ) )
            {
                continue;
            }
            inner.push_back( v );
            const auto p = solid->point( v );
            try_move( *solid, *builder, v,
                Point< 3 >{ { p.value( 0 ) + jitter( random ), p.value( 1 ) + jitter( random ),
                    p.value( 2 ) + jitter( random ) } } );
        }
        std::shuffle( inner.begin(), inner.end(), random );
        inner.resize( solid->nb_polyhedra() / 100 );
        const auto towards = []( const Point< 3 >& from, const Point< 3 >& to, double length ) {
            return from + Vector< 3 >{ from, to }.normalize() * length;
        };
        for( const auto vertex : inner )
        {
            for( int attempt = 0; attempt < 10; attempt++ )
            {
                const auto around = solid->polyhedra_around_vertex( vertex );
                const auto& chosen = around[random() % around.size()];
                const auto corners = solid->tetrahedron( chosen.polyhedron_id ).vertices();
                const auto& here = corners[chosen.vertex_id];
                const auto other = [&chosen]( local_index_t k ) {
                    return static_cast< local_index_t >( ( chosen.vertex_id + 1 + k ) % 4 );
                };
                Point< 3 > target;
                const auto s = unit( random );
                switch( random() % 3 )
                {
                case 0:
                    target = towards( corners[other( 0 )], here, gap( random ) );
                    break;
                case 1:
                    target = towards(
                        corners[other( 0 )] * ( 1 - s ) + corners[other( 1 )] * s, here,
                        gap( random ) );
                    break;
                default: {
                    const auto t = unit( random ) * ( 1 - s );
                    target = towards( corners[other( 0 )] * ( 1 - s - t )
                                          + corners[other( 1 )] * s + corners[other( 2 )] * t,
                        here, gap( random ) );
                }
                }
                if( try_move( *solid, *builder, vertex, target ) )
                {
                    break;
                }
            }
        }
        return solid;
    }

    /// A background solid with what the repair passes edit it through.
    struct Repair
    {
        explicit Repair( unsigned seed )
        {
            auto grid = defective_grid( seed );
            solid = std::make_unique< internal::BackgroundSolid >( *grid );
            builder = std::make_unique< internal::BackgroundSolidBuilder >( *solid );
            modifier = std::make_unique< internal::BackgroundSolidModifier >( *solid, *builder );
            context = internal::make_edit_context( *solid, *modifier, *builder, {} );
        }

        std::unique_ptr< internal::BackgroundSolid > solid;
        std::unique_ptr< internal::BackgroundSolidBuilder > builder;
        std::unique_ptr< internal::BackgroundSolidModifier > modifier;
        std::unique_ptr< internal::BackgroundSolidEditContext > context;
    };

    void BM_epsilon_pass( benchmark::State& state )
    {
        BackgroundSolidLibrary::initialize();
        const auto nb_solids = static_cast< std::size_t >( state.range( 0 ) );
        bench::run_objects_on_threads(
            state, nb_solids, CELLS * CELLS * CELLS * 6,
            []( std::size_t s ) { return std::make_unique< Repair >( 7 + s ); },
            []( Repair& repair, std::size_t ) {
                benchmark::DoNotOptimize(
                    internal::optimize_epsilon_from( repair.context, 0 ) );
            } );
    }

    void BM_quality_pass( benchmark::State& state )
    {
        BackgroundSolidLibrary::initialize();
        const auto nb_solids = static_cast< std::size_t >( state.range( 0 ) );
        bench::run_objects_on_threads(
            state, nb_solids, CELLS * CELLS * CELLS * 6,
            []( std::size_t s ) { return std::make_unique< Repair >( 7 + s ); },
            []( Repair& repair, std::size_t ) {
                internal::optimize_quality( repair.context, 0 );
            } );
    }
} // namespace

BENCHMARK( BM_epsilon_pass )->Arg( 1 )->Arg( 8 )->Unit( benchmark::kMillisecond )->UseRealTime();
BENCHMARK( BM_quality_pass )->Arg( 1 )->Arg( 8 )->Unit( benchmark::kMillisecond )->UseRealTime();
