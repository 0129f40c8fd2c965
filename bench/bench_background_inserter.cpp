// Inserting crossing triangles into background solids: 10,000 triangles per
// run, spread over 8 independent solids of 24^3 cells of 6 tetrahedra
// (82,944 tetrahedra each), one solid per pool task.
//
// Each solid receives 1,250 random triangles of about one cell across,
// drawn in its box so that some cross one another (a few per cell at most:
// denser scenes cost far more per triangle); every triangle becomes
// a union of facets (its sides first, then the triangle). Run with the
// argument 1 and 8: the pool is limited to that many threads. Reports
// triangles per second, the share of triangles inserted and the peak
// resident memory.

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

    /// Random triangles of about one cell across in the box of the solid,
    /// each with its own three vertices.
    std::unique_ptr< TriangulatedSurface< 3 > > crossing_triangles( unsigned seed )
    {
        auto surface = TriangulatedSurface< 3 >::create();
        auto builder = TriangulatedSurfaceBuilder< 3 >::create( *surface );
        std::mt19937 random{ seed };
        std::uniform_real_distribution< double > centre{ 1.5, CELLS - 1.5 };
        std::uniform_real_distribution< double > offset{ -0.6, 0.6 };
        while( surface->nb_polygons() < TRIANGLES_PER_SOLID )
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
                < 0.15 )
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

    void BM_insert_crossing_triangles( benchmark::State& state )
    {
        BackgroundSolidLibrary::initialize();
        std::atomic< std::size_t > inserted{ 0 };
        bench::reset_peak_rss();
        bench::run_objects_on_threads( state, NB_SOLIDS, TRIANGLES_PER_SOLID,
            []( std::size_t s ) {
                auto scene = std::make_unique< Scene >();
                auto grid = bench::grid_solid( CELLS );
                TetrahedralSolidBuilder< 3 >::create( *grid )
                    ->compute_polyhedron_adjacencies();
                scene->solid = std::make_unique< internal::BackgroundSolid >( *grid );
                scene->surface = crossing_triangles( static_cast< unsigned >( s ) );
                return scene;
            },
            [&]( Scene& scene, std::size_t ) {
                std::vector< index_t > polygons( scene.surface->nb_polygons() );
                std::iota( polygons.begin(), polygons.end(), 0 );
                internal::BackgroundSolidInserter inserter{ *scene.solid };
                try
                {
                    inserter.insert_surface( *scene.surface, polygons );
                    inserted += TRIANGLES_PER_SOLID;
                }
                catch( const internal::BackgroundInsertionException& error )
                {
                    inserted += TRIANGLES_PER_SOLID - error.elements().size();
                }
            } );
        state.counters["threads"] = static_cast< double >( state.range( 0 ) );
        state.counters["triangles"] =
            static_cast< double >( NB_SOLIDS * TRIANGLES_PER_SOLID );
        state.counters["inserted_share"] =
            static_cast< double >( inserted.load() )
            / static_cast< double >(
                state.iterations() * NB_SOLIDS * TRIANGLES_PER_SOLID );
    }
    BENCHMARK( BM_insert_crossing_triangles )
        ->Arg( 1 )
        ->Arg( 8 )
        ->Unit( benchmark::kMillisecond )
        ->UseRealTime()
        ->Iterations( 1 );
} // namespace
