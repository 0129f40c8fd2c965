#include <openorvane/basic/progress_logger.hpp>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>

#include <openorvane/basic/logger.hpp>

namespace orvane
{
    namespace
    {
        using Clock = std::chrono::steady_clock;

        constexpr auto REPORT_INTERVAL = std::chrono::seconds{ 1 };

        double seconds_since( Clock::time_point start )
        {
            return std::chrono::duration< double >( Clock::now() - start ).count();
        }
    } // namespace

    struct ProgressLogger::Impl
    {
        Impl( std::string_view title_in, index_t nb_steps_in )
            : title( title_in ), nb_steps( nb_steps_in )
        {
        }

        void report( index_t done, index_t total )
        {
            // Counters are atomic; the mutex only orders the output and the
            // throttling clock, and is skipped when another thread holds it.
            const std::unique_lock< std::mutex > locking{ mutex, std::try_to_lock };
            if( !locking.owns_lock() )
            {
                return;
            }
            const auto now = Clock::now();
            if( now - last_report < REPORT_INTERVAL && done != total )
            {
                return;
            }
            last_report = now;
            Logger::log_info( title, " ", done, "/", total );
        }

        const std::string title;
        const Clock::time_point start{ Clock::now() };
        std::atomic< index_t > current{ 0 };
        std::atomic< index_t > nb_steps;
        std::mutex mutex;
        Clock::time_point last_report{ start };
    };

    ProgressLogger::ProgressLogger( std::string_view title, index_t nb_steps )
        : impl_{ std::make_unique< Impl >( title, nb_steps ) }
    {
        Logger::log_info( impl_->title, " started" );
    }

    ProgressLogger::~ProgressLogger()
    {
        const std::lock_guard< std::mutex > locking{ impl_->mutex };
        Logger::log_info( impl_->title, " completed in ",
            seconds_since( impl_->start ), " s (", impl_->current.load(), "/",
            impl_->nb_steps.load(), " steps)" );
    }

    index_t ProgressLogger::increment()
    {
        const auto done = impl_->current.fetch_add( 1 ) + 1;
        impl_->report( done, impl_->nb_steps.load() );
        return done;
    }

    index_t ProgressLogger::increment_nb_steps()
    {
        return impl_->nb_steps.fetch_add( 1 ) + 1;
    }
} // namespace orvane
