#pragma once

#include <memory>

#include <absl/types/span.h>

#include <openorvane/basic/types.hpp>
#include <openorvane/mesh/mesh_merger_common.hpp>

namespace orvane
{
    template < index_t dimension >
    class EdgedCurve;

    namespace detail
    {
        /// Merges several curves into one, with the rules of
        /// SurfaceMeshMerger: vertices within the tolerance become one merged
        /// vertex (first occurrence order, at the first input point), an
        /// edge whose two ends merge is dropped (edge_in_merged answers
        /// NO_ID), and edges on the same pair of merged vertices become one
        /// merged edge that keeps the direction of its first origin and lists
        /// every origin.
        ///
        /// The tables are computed on construction. Queries are safe
        /// concurrently.
        template < index_t dimension >
        class EdgedCurveMerger
        {
        public:
            /// Throws OpenOrvaneException when an input has a non-finite
            /// coordinate or an edge end that is unset or past the end, or
            /// when the tolerance is negative or not finite.
            EdgedCurveMerger(
                absl::Span< const EdgedCurve< dimension >* const > curves,
                double tolerance );
            EdgedCurveMerger( EdgedCurveMerger&& other ) noexcept;
            EdgedCurveMerger& operator=( EdgedCurveMerger&& other ) noexcept;
            ~EdgedCurveMerger();

            /// A new curve of the default implementation with the merged
            /// vertices and edges. Each call makes a new mesh.
            std::unique_ptr< EdgedCurve< dimension > > merge() const;

            index_t nb_merged_vertices() const;

            index_t nb_merged_edges() const;

            /// Throws OpenOrvaneException for an index past the end.
            index_t vertex_in_merged( index_t mesh_index, index_t vertex_id ) const;

            /// NO_ID when the edge was dropped. Throws OpenOrvaneException for
            /// an index past the end.
            index_t edge_in_merged( index_t mesh_index, index_t edge_id ) const;

            /// The input vertices merged into the vertex, in input order.
            absl::Span< const MergeOrigin > vertex_origins( index_t vertex_id ) const;

            /// The input edges merged into the edge, in input order.
            absl::Span< const MergeOrigin > edge_origins( index_t edge_id ) const;

        private:
            class Impl;
            std::unique_ptr< Impl > impl_;
        };
    } // namespace detail
} // namespace orvane
