#pragma once

// Process figures shared by the benchmark executables: resident memory read
// from /proc/self/status, the peak resident set and the CPU time of every
// thread.

#include <fstream>
#include <string>

#include <sys/resource.h>

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

        /// Peak resident memory of the process so far, in MiB.
        inline double peak_rss_mib()
        {
            rusage usage{};
            getrusage( RUSAGE_SELF, &usage );
            return static_cast< double >( usage.ru_maxrss ) / 1024.;
        }
    } // namespace bench
} // namespace orvane
