#pragma once

#include <chrono>
#include <functional>
#include <string_view>

namespace orvane
{
    namespace internal
    {
        /// Told, as each stage of a run ends, the stage's name and its wall
        /// time in seconds. Called on the thread that runs the stages, so it
        /// may read process-wide figures (CPU time, memory) at that moment.
        using StageObserver = std::function< void( std::string_view stage, double seconds ) >;

        /// Cuts a run of consecutive stages into laps for an observer: each
        /// lap() reports the time since the clock was made or since the
        /// previous lap. Without an observer (an empty function) it reads no
        /// clock. A stage left by an exception is not reported, since the
        /// lap after it is never reached.
        class StageClock
        {
        public:
            /// The observer must outlive the clock.
            explicit StageClock( const StageObserver& observer )
                : observer_( observer ), start_( now() )
            {
            }

            void lap( std::string_view stage )
            {
                if( !observer_ )
                {
                    return;
                }
                const auto end = std::chrono::steady_clock::now();
                observer_( stage, std::chrono::duration< double >( end - start_ ).count() );
                // The observer's own work is not charged to the next stage.
                start_ = std::chrono::steady_clock::now();
            }

        private:
            std::chrono::steady_clock::time_point now() const
            {
                return observer_ ? std::chrono::steady_clock::now()
                                 : std::chrono::steady_clock::time_point{};
            }

        private:
            const StageObserver& observer_;
            std::chrono::steady_clock::time_point start_;
        };
    } // namespace internal
} // namespace orvane
