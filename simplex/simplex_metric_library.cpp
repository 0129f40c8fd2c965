#include <simplex/simplex_metric_library.hpp>

#include <openorvane/model/model_library.hpp>

namespace orvane
{
    SimplexMetricLibrary::SimplexMetricLibrary() = default;

    void SimplexMetricLibrary::initialize()
    {
        initialize_library< SimplexMetricLibrary >( "SimplexMetric" );
    }

    void SimplexMetricLibrary::do_initialize()
    {
        OpenOrvaneModelLibrary::initialize();
    }
} // namespace orvane
