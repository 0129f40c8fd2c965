#pragma once

#include <openorvane/basic/library.hpp>

namespace orvane
{
    /// Start-up of the metrics; registers nothing.
    class SimplexMetricLibrary : public Library
    {
        friend class Library;

    public:
        static void initialize();

    private:
        SimplexMetricLibrary();

        void do_initialize() override;
    };
} // namespace orvane
