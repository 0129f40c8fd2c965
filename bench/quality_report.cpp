// The quality report: meshes the geological scenes of quality_scenes.hpp
// through the whole build_and_mesh pipeline and prints, per scene and
// thread count, the input and output sizes, the wall and CPU time of every
// stage, the peak resident memory and the quality of the output.
//
// Usage: quality_report [--size small|big|all] [--threads 1,8]
//                       [--scene layer-cake|horizon-fault|crossing-faults]
// The defaults are the small scenes on 1 and 8 threads. The big scenes
// (about 400k and 360k input triangles remeshed to about 200k) take
// seconds to minutes and a few GiB: run them from a Release build.

#include <malloc.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <functional>
#include <iostream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include <oneapi/tbb/task_arena.h>

#include <openorvane/basic/logger.hpp>

#include <explicit/brep_explicit_modeler.hpp>
#include <facade/mesher_pipeline.hpp>
#include <facade/orvane_tamsel_library.hpp>
#include <simplex/brep_remesher.hpp>

#include <bench/bench_process.hpp>
#include <bench/mesh_quality.hpp>
#include <bench/quality_scenes.hpp>

namespace
{
    using namespace orvane;

    struct Settings
    {
        std::string size{ "small" };
        std::vector< int > threads{ 1, 8 };
        std::string scene{ "all" };
    };

    [[noreturn]] void usage( const std::string& error )
    {
        std::cerr << "quality_report: " << error << "\n"
                  << "usage: quality_report [--size small|big|all] [--threads N[,M...]] "
                     "[--scene layer-cake|horizon-fault|crossing-faults|all]"
                  << std::endl;
        std::exit( 2 );
    }

    Settings parse( int argc, char** argv )
    {
        Settings settings;
        for( int a = 1; a < argc; a++ )
        {
            const std::string_view option{ argv[a] };
            if( a + 1 >= argc )
            {
                usage( "missing value after " + std::string{ option } );
            }
            const std::string value{ argv[++a] };
            if( option == "--size" )
            {
                if( value != "small" && value != "big" && value != "all" )
                {
                    usage( "unknown size " + value );
                }
                settings.size = value;
            }
            else if( option == "--threads" )
            {
                settings.threads.clear();
                std::stringstream list{ value };
                std::string item;
                while( std::getline( list, item, ',' ) )
                {
                    const auto count = std::atoi( item.c_str() );
                    if( count < 1 )
                    {
                        usage( "bad thread count " + item );
                    }
                    settings.threads.push_back( count );
                }
            }
            else if( option == "--scene" )
            {
                settings.scene = value;
            }
            else
            {
                usage( "unknown option " + std::string{ option } );
            }
        }
        return settings;
    }

    struct SceneMaker
    {
        std::string key;
        bool big;
        std::function< bench::QualityScene() > make;
    };

    std::vector< SceneMaker > scene_makers()
    {
        return {
            { "layer-cake", false, [] { return bench::layer_cake( 4, 2000 ); } },
            { "layer-cake", true, [] { return bench::layer_cake( 40, 200000 ); } },
            { "horizon-fault", false,
                [] { return bench::horizon_and_fault( 20, 20, 6, 2000 ); } },
            { "horizon-fault", true,
                [] { return bench::horizon_and_fault( 400, 200, 100, 200000 ); } },
            { "crossing-faults", false,
                [] { return bench::crossing_faults( 20, 20, 12, 3000 ); } },
            { "crossing-faults", true,
                [] { return bench::crossing_faults( 260, 150, 150, 200000 ); } },
        };
    }

    /// Wall and CPU seconds of every stage, in the order the stages ended.
    struct StageTimes
    {
        struct Stage
        {
            std::string name;
            double wall;
            double cpu;
        };
        std::vector< Stage > stages;
        double last_cpu{ 0 };

        internal::StageObserver observer()
        {
            last_cpu = bench::process_cpu_seconds();
            return [this]( std::string_view stage, double seconds ) {
                // The stages follow each other on this thread: the CPU time
                // since the previous report is this stage's, on all threads.
                const auto cpu = bench::process_cpu_seconds();
                stages.push_back( { std::string{ stage }, seconds, cpu - last_cpu } );
                last_cpu = cpu;
            };
        }
    };

    void print_row( const std::string& name, double wall, double cpu )
    {
        std::printf( "    %-18s %9.3f %9.3f\n", name.c_str(), wall, cpu );
    }

    void run( const bench::QualityScene& scene, int threads )
    {
        const orvane_tamsel::MesherOptions options{ scene.metric() };
        std::printf( "%s: %zu surfaces, %u input triangles, metric %.4g (for about %u "
                     "triangles), %d thread%s\n",
            scene.name.c_str(), scene.surfaces.size(), scene.nb_triangles(), options.metric,
            scene.target_triangles, threads, threads > 1 ? "s" : "" );
        BRepExplicitModeler modeler{ scene.box };
        for( const auto& surface : scene.surfaces )
        {
            modeler.add_triangulated_surface( *surface );
        }
        const auto resident_before = bench::status_kb( "VmRSS" ) / 1024.;
        bench::reset_peak_rss();
        StageTimes times;
        const auto wall_start = std::chrono::steady_clock::now();
        const auto cpu_start = bench::process_cpu_seconds();
        tbb::task_arena arena{ threads };
        try
        {
            auto [model, mapping] = arena.execute( [&] {
                return internal::mesh_surfaces(
                    modeler, options, internal::default_surface_stages(), times.observer() );
            } );
            const auto wall =
                std::chrono::duration< double >( std::chrono::steady_clock::now() - wall_start )
                    .count();
            const auto cpu = bench::process_cpu_seconds() - cpu_start;
            const auto peak = bench::peak_rss_mib();
            std::printf( "    %-18s %9s %9s\n", "stage", "wall s", "cpu s" );
            for( const auto& stage : times.stages )
            {
                print_row( stage.name, stage.wall, stage.cpu );
            }
            print_row( "build_and_mesh", wall, cpu );
            std::printf( "    peak resident memory %.0f MiB (%.0f MiB before the run)\n", peak,
                resident_before );
            const auto quality = bench::measure_quality( model, options.metric, scene.surfaces );
            std::printf( "    output: %u corners, %u lines, %u surfaces, %u triangles, %u "
                         "vertices\n",
                model.nb_corners(), model.nb_lines(), model.nb_surfaces(),
                quality.nb_triangles, model.nb_unique_vertices() );
            std::printf( "    minimum angle %.2f deg, mean radius ratio %.4f, edges within "
                         "[L/sqrt2, L sqrt2] %.2f%% of %u, largest distance to the input %.4g\n\n",
                quality.min_angle, quality.mean_radius_ratio,
                100. * static_cast< double >( quality.nb_edges_in_band )
                    / static_cast< double >( std::max< index_t >( quality.nb_edges, 1 ) ),
                quality.nb_edges, quality.max_distance_to_input );
        }
        catch( const std::exception& error )
        {
            std::printf( "    failed: %s\n\n", error.what() );
        }
        std::fflush( stdout );
    }
} // namespace

int main( int argc, char** argv )
{
    const auto settings = parse( argc, argv );
    orvane_tamsel::OrvaneTamselLibrary::initialize();
    Logger::set_level( Logger::Level::warn );
    bool any{ false };
    for( const auto& maker : scene_makers() )
    {
        if( ( settings.scene != "all" && settings.scene != maker.key )
            || ( settings.size == "small" && maker.big )
            || ( settings.size == "big" && !maker.big ) )
        {
            continue;
        }
        any = true;
        const auto scene = maker.make();
        for( const auto threads : settings.threads )
        {
            run( scene, threads );
            // Hands the freed heap back, so that the next run's peak starts
            // from what is really in use.
            malloc_trim( 0 );
        }
    }
    if( !any )
    {
        usage( "no scene named " + settings.scene );
    }
    return 0;
}
