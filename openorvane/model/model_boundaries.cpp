#include <openorvane/model/model_boundaries.hpp>

namespace orvane
{
    namespace detail
    {
        void build_model_boundaries(
            const BRep& /*model*/, BRepBuilder& /*builder*/ )
        {
        }
    } // namespace detail
} // namespace orvane
