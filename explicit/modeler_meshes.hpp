#pragma once

#include <memory>
#include <vector>

#include <absl/types/span.h>

#include <openorvane/basic/types.hpp>

namespace orvane
{
    template < index_t dimension >
    class TriangulatedSurface;
    template < index_t dimension >
    class EdgedCurve;
    template < index_t dimension >
    class PointSet;

    namespace internal
    {
        /// The meshes one build works on, borrowed from the modeler's lists
        /// (list order kept). They are edited in place, so the pointers stay
        /// valid for the whole build.
        struct ModelerMeshes
        {
            std::vector< TriangulatedSurface< 3 >* > surfaces;
            std::vector< EdgedCurve< 3 >* > curves;
            std::vector< PointSet< 3 >* > point_sets;
        };

        /// The modeler's current meshes as it owns them, in list order.
        struct ModelerState
        {
            absl::Span< const std::unique_ptr< TriangulatedSurface< 3 > > > surfaces;
            absl::Span< const std::unique_ptr< EdgedCurve< 3 > > > curves;
            absl::Span< const std::unique_ptr< PointSet< 3 > > > point_sets;
        };
    } // namespace internal
} // namespace orvane
