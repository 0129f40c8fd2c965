#pragma once

#include <array>

#include <openorvane/basic/types.hpp>

namespace orvane
{
    namespace internal
    {
        class BackgroundProvenance;
        class MeshesExtracterfromBackgroundSolid;
        struct ExtractedCurve;

        /// Removes, in one pass of edge collapses, the vertices of an
        /// extracted curve that stand for nothing the input curve needs.
        class CurveSimplifier
        {
        public:
            /// Collapses every edge one of whose ends may move onto the
            /// other, then deletes the inactive edges and the isolated
            /// vertices (also when a collapse throws).
            static void apply( MeshesExtracterfromBackgroundSolid& extracter,
                ExtractedCurve& curve );

            static void apply(
                const BackgroundProvenance& provenance, ExtractedCurve& curve );

            /// Flag i set: the edge may not collapse onto its end i. An end
            /// must stay when it stands for an input vertex, ends the curve,
            /// or lies on input elements the other end does not lie on.
            [[nodiscard]] static std::array< bool, 2 > fixed_ends(
                const BackgroundProvenance& provenance,
                const ExtractedCurve& curve,
                index_t edge );
        };
    } // namespace internal
} // namespace orvane
