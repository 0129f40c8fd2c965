#include <simplex/surface/surface_stages.hpp>

#include <openorvane/basic/exception.hpp>

// The surface stages are not built yet. They fail loudly rather than leave
// the output surfaces empty and report success.

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

        void relax_surfaces( BRep& /*model*/,
            BRepGeometricModifier& /*modifier*/,
            const SurfaceRelaxerOptions& /*options*/ )
        {
            throw OpenOrvaneException{
                "[relax_surfaces] Surface relaxation is not available in this build"
            };
        }
    } // namespace internal
} // namespace orvane
