#include <openorvane/mesh/mesh_merger_common.hpp>

#include <algorithm>
#include <cmath>

#include <openorvane/basic/exception.hpp>
#include <openorvane/geometry/nn_search.hpp>

namespace orvane
{
    namespace detail
    {
        void MergeOriginLists::build( absl::Span< const index_t > merged_of,
            absl::Span< const index_t > mesh_offsets,
            index_t nb_merged )
        {
            offsets_.assign( static_cast< std::size_t >( nb_merged ) + 1, 0 );
            for( const auto merged : merged_of )
            {
                if( merged != NO_ID )
                {
                    offsets_[merged + 1]++;
                }
            }
            for( index_t m = 0; m < nb_merged; m++ )
            {
                offsets_[m + 1] += offsets_[m];
            }
            origins_.resize( offsets_.back() );
            // Counting sort: scanning the inputs in order keeps each list in
            // input order.
            std::vector< index_t > fill( offsets_.begin(), offsets_.end() - 1 );
            index_t mesh{ 0 };
            for( index_t k = 0; k < merged_of.size(); k++ )
            {
                while( k >= mesh_offsets[mesh + 1] )
                {
                    mesh++;
                }
                const auto merged = merged_of[k];
                if( merged != NO_ID )
                {
                    origins_[fill[merged]++] = { mesh, k - mesh_offsets[mesh] };
                }
            }
        }

        std::vector< index_t > merge_offsets(
            absl::Span< const index_t > counts, std::string_view what )
        {
            std::vector< index_t > offsets( counts.size() + 1, 0 );
            std::uint64_t total{ 0 };
            for( std::size_t m = 0; m < counts.size(); m++ )
            {
                total += counts[m];
                ORVANE_EXCEPTION( total < NO_ID, "[MeshMerger] Too many input ",
                    what, " to number them with 32-bit indices" );
                offsets[m + 1] = static_cast< index_t >( total );
            }
            return offsets;
        }

        index_t offset_mesh(
            absl::Span< const index_t > offsets, index_t number )
        {
            const auto next =
                std::upper_bound( offsets.begin(), offsets.end(), number );
            return static_cast< index_t >( next - offsets.begin() ) - 1;
        }

        MergedVertices merge_points( std::vector< Point< 3 > > points,
            absl::Span< const index_t > offsets,
            double tolerance,
            std::string_view caller )
        {
            ORVANE_EXCEPTION( tolerance >= 0. && std::isfinite( tolerance ), "[",
                caller, "] The merge tolerance must be a finite non-negative "
                        "number, got ",
                tolerance );
            for( index_t k = 0; k < points.size(); k++ )
            {
                const auto& point = points[k];
                // A non-finite coordinate would break the ordering the
                // nearest-neighbour tree is built on.
                if( !std::isfinite( point.value( 0 ) )
                    || !std::isfinite( point.value( 1 ) )
                    || !std::isfinite( point.value( 2 ) ) )
                {
                    const auto mesh = offset_mesh( offsets, k );
                    throw OpenOrvaneException{ "[", caller, "] Vertex ",
                        k - offsets[mesh], " of input mesh ", mesh,
                        " has a non-finite coordinate" };
                }
            }
            MergedVertices result;
            if( points.empty() )
            {
                return result;
            }
            auto info =
                NNSearch< 3 >{ std::move( points ) }.colocated_index_mapping(
                    tolerance );
            result.merged_of = std::move( info.colocated_mapping );
            result.merged_points = std::move( info.unique_points );
            return result;
        }

        void check_merge_index( index_t index,
            index_t size,
            std::string_view caller,
            std::string_view what )
        {
            ORVANE_EXCEPTION( index < size, "[", caller, "] ", what, " ", index,
                " does not exist (there are ", size, ")" );
        }

        index_t merge_input_number( absl::Span< const index_t > offsets,
            index_t mesh_index,
            index_t element,
            std::string_view caller,
            std::string_view what )
        {
            check_merge_index( mesh_index,
                static_cast< index_t >( offsets.size() ) - 1, caller,
                "Input mesh" );
            check_merge_index( element,
                offsets[mesh_index + 1] - offsets[mesh_index], caller, what );
            return offsets[mesh_index] + element;
        }
    } // namespace detail
} // namespace orvane
