#pragma once

#include <memory>
#include <string_view>
#include <vector>

#include <absl/types/span.h>

#include <openorvane/basic/exception.hpp>
#include <openorvane/basic/types.hpp>

namespace orvane
{
    template < index_t dimension >
    class SurfaceMesh;
    template < index_t dimension >
    class EdgedCurve;
} // namespace orvane

namespace orvane
{
    namespace internal
    {
        class BackgroundSolid;

        /// Thrown when an insertion run ends with elements not inserted.
        /// `elements` lists, once each, every element of the run that was
        /// not inserted, the one whose failure ended the run included.
        class BackgroundInsertionException : public OpenOrvaneException
        {
        public:
            /// `operation` is "insert_surface" or "insert_curve",
            /// `element_kind` "polygons" or "edges".
            BackgroundInsertionException( std::string_view operation,
                std::string_view element_kind,
                std::vector< index_t > elements );
            BackgroundInsertionException(
                const BackgroundInsertionException& ) = default;
            ~BackgroundInsertionException() override;

            const std::vector< index_t >& elements() const
            {
                return elements_;
            }

        private:
            std::vector< index_t > elements_;
        };

        /// Makes a background solid conform to input geometry: after the
        /// runs, the part of every inserted input polygon inside the solid
        /// is a union of facets of the solid, the part of every inserted
        /// input edge a chain of edges, and the solid's provenance says
        /// which background vertices, edges and facets stand for which input
        /// vertices, edges and polygons.
        ///
        /// Use: construct on a freshly built solid that outlives the
        /// inserter; `insert_surface` for each surface, then `insert_curve`
        /// for each curve; destroy the inserter; read the solid. Every run
        /// ends by compacting the solid. One inserter and its solid belong
        /// to one thread at a time.
        class BackgroundSolidInserter
        {
        public:
            explicit BackgroundSolidInserter( BackgroundSolid& solid );
            BackgroundSolidInserter( const BackgroundSolidInserter& ) = delete;
            BackgroundSolidInserter& operator=(
                const BackgroundSolidInserter& ) = delete;
            /// Removes every provenance record of the inserter's own border
            /// copy from the solid.
            ~BackgroundSolidInserter();

            /// Inserts the listed triangles of a triangulated surface; the
            /// surface's edges are enabled when they are not yet. Throws
            /// BackgroundInsertionException listing the polygons that could
            /// not be inserted; the solid keeps every edit made and is
            /// compacted either way.
            void insert_surface( const SurfaceMesh< 3 >& surface,
                absl::Span< const index_t > polygons );

            /// Inserts the listed edges of a curve; fails as `insert_surface`
            /// does, listing edges.
            void insert_curve(
                const EdgedCurve< 3 >& curve, absl::Span< const index_t > edges );

        public:
            class Impl;

        private:
            std::unique_ptr< Impl > impl_;
        };
    } // namespace internal
} // namespace orvane
