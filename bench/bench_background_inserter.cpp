// Inserting crossing triangles into background solids: 10,000 triangles per
// run, spread over 8 independent solids of 24^3 cells of 6 tetrahedra
// (82,944 tetrahedra each), one solid per pool task; and a dense scene of
// 400, then 1,250 triangles of two cells across in one solid of 12^3 cells,
// where the cost per triangle grows with the number already inserted.
//
// Each solid receives 1,250 random triangles of about one cell across,
// drawn in its box so that some cross one another (a few per cell at most:
// denser scenes cost far more per triangle); every triangle becomes
// a union of facets (its sides first, then the triangle). Run with the
// argument 1 and 8: the pool is limited to that many threads. Reports
// triangles per second, the CPU time of all threads, the share of triangles
// inserted, the number of tetrahedra after the runs and the peak resident
// memory.

#include <atomic>
#include <memory>
#include <numeric>
#include <random>
#include <vector>

#include <benchmark/benchmark.h>

#include <openorvane/geometry/basic_objects.hpp>
#include <openorvane/mesh/mesh_library.hpp>
#include <openorvane/mesh/triangulated_surface.hpp>
#include <openorvane/mesh/triangulated_surface_builder.hpp>

#include <background/background_solid.hpp>
#include <background/background_solid_inserter.hpp>
#include <background/background_solid_library.hpp>

#include <bench/bench_meshes.hpp>
#include <bench/bench_process.hpp>

namespace
{
    using namespace orvane;

    constexpr index_t CELLS = 24;
    constexpr index_t NB_SOLIDS = 8;
    constexpr index_t TRIANGLES_PER_SOLID = 1250;
    constexpr index_t DENSE_CELLS = 12;

    /// Random triangles of about `size` cells across in the box of a solid
    /// of `cells`^3 cells, each with its own three vertices.
    std::unique_ptr< TriangulatedSurface< 3 > > crossing_triangles( unsigned seed,
        index_t cells = CELLS,
        index_t nb_triangles = TRIANGLES_PER_SOLID,
        double size = 1. )
    {
        auto surface = TriangulatedSurface< 3 >::create();
        auto builder = TriangulatedSurfaceBuilder< 3 >::create( *surface );
        std::mt19937 random{ seed };
        std::uniform_real_distribution< double > centre{ 0.5 + size,
            cells - 0.5 - size };
        std::uniform_real_distribution< double > offset{ -0.6 * size, 0.6 * size };
        while( surface->nb_polygons() < nb_triangles )
        {
            const Point< 3 > middle{ { centre( random ), centre( random ),
                centre( random ) } };
            std::array< Point< 3 >, 3 > corners;
            for( auto& corner : corners )
            {
                corner = middle
                         + Point< 3 >{ { offset( random ), offset( random ),
                             offset( random ) } };
            }
            if( Triangle< 3 >{ corners[0], corners[1], corners[2] }.minimum_height()
                < 0.15 * size )
            {
                continue;
            }
            const auto first = builder->create_point( corners[0] );
            builder->create_point( corners[1] );
            builder->create_point( corners[2] );
            builder->create_triangle( { first, first + 1, first + 2 } );
        }
        return surface;
    }

    struct Scene
    {
        std::unique_ptr< internal::BackgroundSolid > solid;
        std::unique_ptr< TriangulatedSurface< 3 > > surface;
    };

    /// Inserts `nb_triangles` random triangles of `size` cells across into
    /// each of `nb_solids` solids of `cells`^3 cells, one solid per pool task.
    void insert_on_threads( benchmark::State& state,
        index_t nb_solids,
        index_t cells,
        index_t nb_triangles,
        double size )
    {
        BackgroundSolidLibrary::initialize();
        std::atomic< std::size_t > inserted{ 0 };
        std::atomic< std::size_t > tetrahedra{ 0 };
        bench::reset_peak_rss();
        bench::run_objects_on_threads( state, nb_solids, nb_triangles,
            [&]( std::size_t s ) {
                auto scene = std::make_unique< Scene >();
                auto grid = bench::grid_solid( cells );
                TetrahedralSolidBuilder< 3 >::create( *grid )
                    ->compute_polyhedron_adjacencies();
                scene->solid = std::make_unique< internal::BackgroundSolid >( *grid );
                scene->surface = crossing_triangles(
                    static_cast< unsigned >( s ), cells, nb_triangles, size );
                return scene;
            },
            [&]( Scene& scene, std::size_t ) {
                std::vector< index_t > polygons( scene.surface->nb_polygons() );
                std::iota( polygons.begin(), polygons.end(), 0 );
                internal::BackgroundSolidInserter inserter{ *scene.solid };
                try
                {
                    inserter.insert_surface( *scene.surface, polygons );
                    inserted += nb_triangles;
                }
                catch( const internal::BackgroundInsertionException& error )
                {
                    inserted += nb_triangles - error.elements().size();
                }
                tetrahedra += scene.solid->nb_polyhedra();
            } );
        state.counters["threads"] = static_cast< double >( state.range( 0 ) );
        state.counters["triangles"] =
            static_cast< double >( nb_solids * nb_triangles );
        state.counters["inserted_share"] =
            static_cast< double >( inserted.load() )
            / static_cast< double >(
                state.iterations() * nb_solids * nb_triangles );
        // The size of the result: a change in it means that the insertion
        // made other edits, not only that it made them faster.
        state.counters["tetrahedra"] = static_cast< double >( tetrahedra.load() )
                                       / static_cast< double >( state.iterations() );
    }

    void BM_insert_crossing_triangles( benchmark::State& state )
    {
        insert_on_threads( state, NB_SOLIDS, CELLS, TRIANGLES_PER_SOLID, 1. );
    }
    BENCHMARK( BM_insert_crossing_triangles )
        ->Arg( 1 )
        ->Arg( 8 )
        ->Unit( benchmark::kMillisecond )
        ->UseRealTime()
        ->Iterations( 1 );

    /// A dense scene: range(1) triangles of about two cells across in one
    /// solid of 12^3 cells, so that many triangles cross in every cell.
    void BM_insert_dense_triangles( benchmark::State& state )
    {
        insert_on_threads( state, 1, DENSE_CELLS,
            static_cast< index_t >( state.range( 1 ) ), 2. );
    }
    BENCHMARK( BM_insert_dense_triangles )
        ->Args( { 1, 400 } )
        ->Args( { 1, 1250 } )
        ->Unit( benchmark::kMillisecond )
        ->UseRealTime()
        ->Iterations( 1 );
} // namespace
