// Background solid: building it from a tetrahedral solid, and edits that
// carry provenance through its modifier against the same edits through the
// plain tetrahedral-solid modifier.
//
// Each solid is the grid of bench_meshes.hpp with 26^3 cells (105,456
// tetrahedra); in the background solid the facets and edges of the plane
// z = 13 and the line y = z = 13 carry provenance, and the tetrahedra a block
// each side of the plane. Both runs make the same sequence of 20,000 random
// splits (tetrahedron, facet, edge) and facet swaps, each tested first by its
// preview. Run with the argument 1 and 8: that many solids are edited at
// once, one pool task each, with the pool limited to that many threads.

#include <memory>
#include <random>
#include <vector>

#include <benchmark/benchmark.h>
#include <oneapi/tbb/global_control.h>

#include <openorvane/basic/async.hpp>
#include <openorvane/basic/attribute_manager.hpp>
#include <openorvane/basic/uuid.hpp>
#include <openorvane/basic/variable_attribute.hpp>
#include <openorvane/geometry/predicates.hpp>
#include <openorvane/mesh/tetrahedral_solid.hpp>

#include <common/modifier/tetrahedral_solid_modifier.hpp>
#include <common/modifier/tetrahedron_preview.hpp>

#include <background/background_solid.hpp>
#include <background/background_solid_library.hpp>
#include <background/background_solid_modifier.hpp>

#include <bench/bench_meshes.hpp>
#include <bench/bench_process.hpp>

namespace
{
    using namespace orvane;

    constexpr index_t CELLS = 26;
    constexpr double PLANE = 13.;
    constexpr int EDITS = 20000;

    std::unique_ptr< TetrahedralSolid< 3 > > grid()
    {
        auto solid = bench::grid_solid( CELLS );
        TetrahedralSolidBuilder< 3 >::create( *solid )->compute_polyhedron_adjacencies();
        return solid;
    }

    /// Provenance on the plane z = 13, the line y = z = 13, and blocks.
    void add_provenance( internal::BackgroundSolid& solid )
    {
        internal::BackgroundSolidBuilder builder{ solid };
        const uuid surface;
        const uuid curve;
        const auto on_plane = [&solid]( index_t v ) {
            return solid.point( v ).value( 2 ) == PLANE;
        };
        index_t polygon{ 0 };
        for( index_t f = 0; f < solid.facets().nb_facets(); f++ )
        {
            const auto vertices = solid.facets().facet_vertices( f );
            if( on_plane( vertices[0] ) && on_plane( vertices[1] ) && on_plane( vertices[2] ) )
            {
                const index_t facets[] = { f };
                builder.add_init_facet_id( surface, polygon++, facets );
            }
        }
        index_t segment{ 0 };
        for( index_t e = 0; e < solid.edges().nb_edges(); e++ )
        {
            const auto vertices = solid.edges().edge_vertices( e );
            const auto on_line = [&]( index_t v ) {
                return on_plane( v ) && solid.point( v ).value( 1 ) == PLANE;
            };
            if( on_line( vertices[0] ) && on_line( vertices[1] ) )
            {
                const index_t edges[] = { e };
                builder.add_edges_init_edge_id( curve, segment++, edges );
            }
        }
        const uuid below;
        const uuid above;
        auto blocks = solid.polyhedron_attribute_manager()
                          .find_or_create_attribute< VariableAttribute, std::vector< uuid > >(
                              "orvane_macro_block_id", {} );
        for( index_t t = 0; t < solid.nb_polyhedra(); t++ )
        {
            blocks->set_value(
                t, { solid.polyhedron_barycenter( t ).value( 2 ) < PLANE ? below : above } );
        }
    }

    /// The same random edits on any solid and modifier: the choices depend
    /// on the topology and geometry only.
    index_t random_edits( const TetrahedralSolid< 3 >& solid,
        TetrahedralSolidModifier& modifier,
        unsigned seed )
    {
        std::mt19937 random{ seed };
        const auto uniform = [&random]( index_t max ) {
            return std::uniform_int_distribution< index_t >{ 0, max }( random );
        };
        const auto weight = [&random] {
            return std::uniform_real_distribution< double >{ 0.2, 1. }( random );
        };
        index_t nb_done{ 0 };
        for( int edit = 0; edit < EDITS; edit++ )
        {
            auto tetrahedron = uniform( solid.nb_polyhedra() - 1 );
            while( !modifier.is_polyhedron_active( tetrahedron ) )
            {
                tetrahedron = uniform( solid.nb_polyhedra() - 1 );
            }
            const PolyhedronFacet facet{ tetrahedron, static_cast< local_index_t >( uniform( 3 ) ) };
            const PolyhedronFacetEdge edge{ facet, static_cast< local_index_t >( uniform( 2 ) ) };
            switch( edit % 4 )
            {
            case 0: {
                const auto v = solid.polyhedron_vertices( tetrahedron );
                std::array< double, 4 > w{ weight(), weight(), weight(), weight() };
                const auto sum = w[0] + w[1] + w[2] + w[3];
                const auto at = solid.point( v[0] ) * ( w[0] / sum )
                                + solid.point( v[1] ) * ( w[1] / sum )
                                + solid.point( v[2] ) * ( w[2] / sum )
                                + solid.point( v[3] ) * ( w[3] / sum );
                static_cast< void >( modifier.split_tetrahedron( tetrahedron, at ) );
                nb_done++;
                break;
            }
            case 1: {
                const auto v = solid.polyhedron_facet_vertices( facet );
                std::array< double, 3 > w{ weight(), weight(), weight() };
                const auto sum = w[0] + w[1] + w[2];
                const auto at = solid.point( v[0] ) * ( w[0] / sum )
                                + solid.point( v[1] ) * ( w[1] / sum )
                                + solid.point( v[2] ) * ( w[2] / sum );
                if( detail::are_tetrahedra_positive(
                        tetrahedra_after_split_facet( solid, facet, at ) ) )
                {
                    static_cast< void >( modifier.split_facet( facet, at ) );
                    nb_done++;
                }
                break;
            }
            case 2: {
                const auto v = solid.polyhedron_facet_edge_vertices( edge );
                const auto w = weight();
                const auto at = solid.point( v[0] ) * w + solid.point( v[1] ) * ( 1. - w );
                if( is_split_edge_valid( solid, edge, at ) )
                {
                    static_cast< void >( modifier.split_edge( edge, at ) );
                    nb_done++;
                }
                break;
            }
            default: {
                if( solid.polyhedron_adjacent( facet )
                    && detail::are_tetrahedra_positive(
                        tetrahedra_after_swap_facet( solid, facet ) ) )
                {
                    static_cast< void >( modifier.swap_facet( facet ) );
                    nb_done++;
                }
            }
            }
        }
        return nb_done;
    }

    /// One solid with its builder and modifier, plain or background.
    struct Job
    {
        std::unique_ptr< TetrahedralSolid< 3 > > solid;
        std::unique_ptr< TetrahedralSolidBuilder< 3 > > builder;
        std::unique_ptr< TetrahedralSolidModifier > modifier;
    };

    Job make_job( bool background )
    {
        Job job;
        if( background )
        {
            auto plain = grid();
            auto solid = std::make_unique< internal::BackgroundSolid >( *plain );
            add_provenance( *solid );
            auto builder = std::make_unique< internal::BackgroundSolidBuilder >( *solid );
            job.modifier =
                std::make_unique< internal::BackgroundSolidModifier >( *solid, *builder );
            job.builder = std::move( builder );
            job.solid = std::move( solid );
        }
        else
        {
            job.solid = grid();
            job.solid->enable_edges();
            job.solid->enable_facets();
            job.builder = TetrahedralSolidBuilder< 3 >::create( *job.solid );
            job.modifier =
                std::make_unique< TetrahedralSolidModifier >( *job.solid, *job.builder );
        }
        return job;
    }

    void run_edits( benchmark::State& state, bool background )
    {
        BackgroundSolidLibrary::initialize();
        const auto nb_solids = static_cast< unsigned >( state.range( 0 ) );
        const tbb::global_control threads{ tbb::global_control::max_allowed_parallelism,
            nb_solids };
        index_t nb_done{ 0 };
        double peak_edit_mb{ 0 };
        for( auto _ : state )
        {
            state.PauseTiming();
            std::vector< Job > jobs;
            for( unsigned s = 0; s < nb_solids; s++ )
            {
                jobs.push_back( make_job( background ) );
            }
            const auto before_kb = bench::status_kb( "VmRSS" );
            bench::reset_peak_rss();
            state.ResumeTiming();
            std::vector< async::Task< index_t > > tasks;
            for( unsigned s = 0; s < nb_solids; s++ )
            {
                tasks.push_back( async::spawn( [&job = jobs[s], s] {
                    return random_edits( *job.solid, *job.modifier, 11 + s );
                } ) );
            }
            nb_done = 0;
            for( auto& task : tasks )
            {
                nb_done += task.get();
            }
            state.PauseTiming();
            peak_edit_mb = ( bench::status_kb( "VmHWM" ) - before_kb ) / 1024.;
            for( auto& job : jobs )
            {
                job.modifier.reset();
            }
            jobs.clear();
            state.ResumeTiming();
        }
        state.counters["threads"] = static_cast< double >( nb_solids );
        state.counters["edits"] = static_cast< double >( nb_done );
        state.counters["edits_per_s"] = benchmark::Counter(
            static_cast< double >( nb_done ), benchmark::Counter::kIsIterationInvariantRate );
        state.counters["edit_growth_mb"] = peak_edit_mb;
        state.counters["peak_rss_mb"] = bench::peak_rss_mib();
    }

    void BM_plain_modifier_edits( benchmark::State& state )
    {
        run_edits( state, false );
    }

    void BM_background_modifier_edits( benchmark::State& state )
    {
        run_edits( state, true );
    }

    /// Wrapping a grid solid as a background solid: move, search snapshot,
    /// facet and edge tables side by side, provenance attributes.
    void BM_build_background_solid( benchmark::State& state )
    {
        BackgroundSolidLibrary::initialize();
        for( auto _ : state )
        {
            state.PauseTiming();
            auto plain = grid();
            state.ResumeTiming();
            const internal::BackgroundSolid solid{ *plain };
            benchmark::DoNotOptimize( solid.nb_polyhedra() );
            state.PauseTiming();
            plain.reset();
            state.ResumeTiming();
        }
        state.counters["tetrahedra"] = 6. * CELLS * CELLS * CELLS;
        state.counters["peak_rss_mb"] = bench::peak_rss_mib();
    }
} // namespace

BENCHMARK( BM_build_background_solid )->Unit( benchmark::kMillisecond )->Iterations( 3 );
BENCHMARK( BM_plain_modifier_edits )
    ->Arg( 1 )
    ->Arg( 8 )
    ->Unit( benchmark::kMillisecond )
    ->Iterations( 2 )
    ->UseRealTime();
BENCHMARK( BM_background_modifier_edits )
    ->Arg( 1 )
    ->Arg( 8 )
    ->Unit( benchmark::kMillisecond )
    ->Iterations( 2 )
    ->UseRealTime();
