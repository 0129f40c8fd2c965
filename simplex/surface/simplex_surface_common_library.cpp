#include <simplex/surface/simplex_surface_common_library.hpp>

#include <common/cutter/common_cutter_surface_library.hpp>
#include <simplex/simplex_core_library.hpp>
#include <simplex/simplex_metric_library.hpp>

namespace orvane
{
    SimplexSurfaceCommonLibrary::SimplexSurfaceCommonLibrary() = default;

    void SimplexSurfaceCommonLibrary::initialize()
    {
        initialize_library< SimplexSurfaceCommonLibrary >(
            "SimplexSurfaceCommon" );
    }

    void SimplexSurfaceCommonLibrary::do_initialize()
    {
        CommonCutterSurfaceLibrary::initialize();
        SimplexMetricLibrary::initialize();
        SimplexCoreLibrary::initialize();
    }
} // namespace orvane
