#pragma once

// Process figures shared by the benchmark executables: resident memory read
// from /proc/self/status, the peak resident set and the CPU time of every
// thread; and the run of independent objects worked on at once by the pool.

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include <sys/resource.h>

#include <benchmark/benchmark.h>
#include <oneapi/tbb/task_arena.h>

#include <openorvane/basic/async.hpp>

namespace orvane
{
    namespace bench
    {
        /// A "Vm..." figure of /proc/self/status, in kB (0 when absent).
        inline double status_kb( const std::string& key )
        {
            std::ifstream status{ "/proc/self/status" };
            std::string line;
            while( std::getline( status, line ) )
            {
                if( line.rfind( key + ":", 0 ) == 0 )
                {
                    return std::stod( line.substr( key.size() + 1 ) );
                }
            }
            return 0;
        }

        /// Restarts the peak resident-set figure (VmHWM) from the current
        /// size.
        inline void reset_peak_rss()
        {
            std::ofstream clear_refs{ "/proc/self/clear_refs" };
            clear_refs << "5";
        }

        /// CPU seconds used by every thread of the process so far.
        inline double process_cpu_seconds()
        {
            rusage usage{};
            getrusage( RUSAGE_SELF, &usage );
            const auto seconds = []( const timeval& time ) {
                return static_cast< double >( time.tv_sec )
                       + 1e-6 * static_cast< double >( time.tv_usec );
            };
            return seconds( usage.ru_utime ) + seconds( usage.ru_stime );
        }

        /// Peak resident memory of the process since the last
        /// reset_peak_rss (since its start when none), in MiB. The kernel's
        /// resource usage keeps the peak of the whole life of the process,
        /// which the reset does not clear: the figure is read from VmHWM.
        inline double peak_rss_mib()
        {
            if( const auto peak = status_kb( "VmHWM" ); peak > 0 )
            {
                return peak / 1024.;
            }
            rusage usage{};
            getrusage( RUSAGE_SELF, &usage );
            return static_cast< double >( usage.ru_maxrss ) / 1024.;
        }

        /// Works on `nb_objects` objects at once, one pool task each, on a
        /// pool of range(0) threads, as the library runs independent
        /// components. Each iteration builds the objects with `make( s )`
        /// (a pointer-like owner) outside the timing, then runs
        /// `work( *object, s )` on every one; `items_per_object` items are
        /// counted per object; the peak resident memory and the CPU seconds
        /// of all threads per iteration are reported.
        template < typename Make, typename Work >
        void run_objects_on_threads( benchmark::State& state, std::size_t nb_objects,
            std::size_t items_per_object, const Make& make, const Work& work )
        {
            tbb::task_arena arena{ static_cast< int >( state.range( 0 ) ) };
            double cpu_seconds{ 0 };
            for( auto _ : state )
            {
                state.PauseTiming();
                std::vector< decltype( make( std::size_t{ 0 } ) ) > objects;
                for( std::size_t s = 0; s < nb_objects; s++ )
                {
                    objects.push_back( make( s ) );
                }
                const auto cpu_before = process_cpu_seconds();
                state.ResumeTiming();
                arena.execute( [&objects, &work] {
                    std::vector< async::Task< void > > tasks;
                    for( std::size_t s = 0; s < objects.size(); s++ )
                    {
                        tasks.push_back( async::spawn(
                            [&objects, &work, s] { work( *objects[s], s ); } ) );
                    }
                    async::wait_all( tasks );
                } );
                cpu_seconds += process_cpu_seconds() - cpu_before;
            }
            state.SetItemsProcessed( static_cast< std::int64_t >(
                state.iterations() * nb_objects * items_per_object ) );
            state.counters["peak_rss_MB"] = peak_rss_mib();
            // The CPU time of every thread of the pool, per iteration.
            state.counters["cpu_s"] =
                cpu_seconds / static_cast< double >( state.iterations() );
        }
    } // namespace bench
} // namespace orvane
