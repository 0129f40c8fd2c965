#pragma once

#include <memory>
#include <string_view>

#include <openorvane/basic/types.hpp>

namespace orvane
{
    /// Reports the progress of a long operation through the Logger (info
    /// level): a line when it starts, progress lines at most about once a
    /// second, and a closing line with the elapsed time on destruction.
    ///
    /// Thread-safe: tasks of the pool may increment one logger concurrently.
    class ProgressLogger
    {
    public:
        ProgressLogger( std::string_view title, index_t nb_steps );
        ~ProgressLogger();

        ProgressLogger( const ProgressLogger& ) = delete;
        ProgressLogger& operator=( const ProgressLogger& ) = delete;

        /// Marks one more step as done; returns the number of steps done.
        index_t increment();

        /// Announces one more step to do; returns the number of steps.
        index_t increment_nb_steps();

    private:
        struct Impl;
        std::unique_ptr< Impl > impl_;
    };
} // namespace orvane
