#pragma once

#include <string_view>
#include <utility>
#include <vector>

#include <absl/types/span.h>

#include <openorvane/basic/types.hpp>
#include <openorvane/geometry/point.hpp>

namespace orvane
{
    namespace detail
    {
        /// An element of one input of a merger: the input's position in the
        /// span given to the merger and the element's index in that input.
        struct MergeOrigin
        {
            bool operator==( const MergeOrigin& other ) const = default;

            index_t mesh_index{ NO_ID };
            index_t element{ NO_ID };
        };

        /// Lists of origins, one list per merged element, stored end to end.
        class MergeOriginLists
        {
        public:
            /// Groups the inputs by merged element. `merged_of[k]` is the
            /// merged element of input element k (NO_ID when dropped), where
            /// input elements are numbered mesh after mesh from the offsets
            /// (`mesh_offsets[m]` is the first number of mesh m, the last
            /// entry the total). Each list keeps the input order.
            void build( absl::Span< const index_t > merged_of,
                absl::Span< const index_t > mesh_offsets,
                index_t nb_merged );

            index_t nb_lists() const
            {
                return static_cast< index_t >( offsets_.size() ) - 1;
            }

            absl::Span< const MergeOrigin > list( index_t merged ) const
            {
                return { origins_.data() + offsets_[merged],
                    offsets_[merged + 1] - offsets_[merged] };
            }

        private:
            std::vector< index_t > offsets_{ 0 };
            std::vector< MergeOrigin > origins_;
        };

        /// Numbers of the input elements: `offsets[m]` is the number of the
        /// first element of mesh m and the last entry is the total. Throws
        /// OpenOrvaneException when the total does not fit an index.
        std::vector< index_t > merge_offsets(
            absl::Span< const index_t > counts, std::string_view what );

        /// The mesh whose numbers hold `number` (offsets from merge_offsets).
        index_t offset_mesh(
            absl::Span< const index_t > offsets, index_t number );

        /// Merges the points (numbered as by the offsets) within `tolerance`
        /// of each other: `merged_of[k]` is the merged vertex of point k and
        /// `merged_points` the merged vertices' points. Merged vertices are
        /// numbered in order of first occurrence, each at the point of its
        /// first input point, and are pairwise farther apart than the
        /// tolerance. Throws OpenOrvaneException, naming `caller`, when a
        /// coordinate is not finite or the tolerance is negative or not a
        /// number.
        struct MergedVertices
        {
            std::vector< index_t > merged_of;
            std::vector< Point< 3 > > merged_points;
        };
        MergedVertices merge_points( std::vector< Point< 3 > > points,
            absl::Span< const index_t > offsets,
            double tolerance,
            std::string_view caller );

        /// Throws OpenOrvaneException when the index is out of [0, size).
        void check_merge_index( index_t index,
            index_t size,
            std::string_view caller,
            std::string_view what );

        /// The number of element `element` of input mesh `mesh_index`
        /// (offsets from merge_offsets). Throws OpenOrvaneException, naming
        /// `caller` and `what` the element is, when the mesh or the element
        /// does not exist.
        index_t merge_input_number( absl::Span< const index_t > offsets,
            index_t mesh_index,
            index_t element,
            std::string_view caller,
            std::string_view what );

        /// merge_points over the vertices of the meshes, taken mesh after
        /// mesh (`offsets` numbers them as by merge_offsets).
        template < typename Mesh >
        MergedVertices merge_mesh_vertices(
            absl::Span< const Mesh* const > meshes,
            absl::Span< const index_t > offsets,
            double tolerance,
            std::string_view caller )
        {
            std::vector< Point< 3 > > points;
            points.reserve( offsets.back() );
            for( const auto* mesh : meshes )
            {
                for( index_t v = 0; v < mesh->nb_vertices(); v++ )
                {
                    points.push_back( mesh->point( v ) );
                }
            }
            return merge_points( std::move( points ), offsets, tolerance, caller );
        }
    } // namespace detail
} // namespace orvane
