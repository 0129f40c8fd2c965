#include <simplex/surface/surface_stages.hpp>

#include <openorvane/basic/exception.hpp>

// The surface remeshing stage is not built yet. It fails loudly rather than
// leave the output surfaces empty and report success.

namespace orvane
{
    namespace internal
    {
        void remesh_surfaces( RemeshingData< BRep >& /*data*/ )
        {
            throw OpenOrvaneException{
                "[remesh_surfaces] Surface remeshing is not available in this build"
            };
        }
    } // namespace internal
} // namespace orvane
