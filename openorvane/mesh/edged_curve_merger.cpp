#include <openorvane/mesh/edged_curve_merger.hpp>

#include <algorithm>
#include <array>

#include <openorvane/basic/exception.hpp>
#include <openorvane/mesh/edged_curve.hpp>

namespace
{
    constexpr std::string_view CALLER{ "EdgedCurveMerger" };

    using Pair = std::array< orvane::index_t, 2 >;
} // namespace

namespace orvane
{
    namespace detail
    {
        template < index_t dimension >
        class EdgedCurveMerger< dimension >::Impl
        {
        public:
            Impl( absl::Span< const EdgedCurve< dimension >* const > curves,
                double tolerance )
            {
                std::vector< index_t > nb_vertices;
                std::vector< index_t > nb_edges;
                for( index_t m = 0; m < curves.size(); m++ )
                {
                    ORVANE_EXCEPTION( curves[m] != nullptr, "[", CALLER,
                        "] Input mesh ", m, " is null" );
                    nb_vertices.push_back( curves[m]->nb_vertices() );
                    nb_edges.push_back( curves[m]->nb_edges() );
                }
                vertex_offsets_ = merge_offsets( nb_vertices, "vertices" );
                edge_offsets_ = merge_offsets( nb_edges, "edges" );
                auto merged = merge_mesh_vertices(
                    curves, vertex_offsets_, tolerance, CALLER );
                vertex_in_merged_ = std::move( merged.merged_of );
                merged_points_ = std::move( merged.merged_points );
                vertex_origins_.build(
                    vertex_in_merged_, vertex_offsets_, nb_merged_vertices() );
                merge_edges( curves );
            }

            std::unique_ptr< EdgedCurve< dimension > > merge() const
            {
                auto curve = EdgedCurve< dimension >::create();
                auto builder = EdgedCurveBuilder< dimension >::create( *curve );
                if( !merged_points_.empty() )
                {
                    builder->create_vertices( nb_merged_vertices() );
                    for( index_t v = 0; v < nb_merged_vertices(); v++ )
                    {
                        builder->set_point( v, merged_points_[v] );
                    }
                }
                for( const auto& edge : edges_ )
                {
                    builder->create_edge( edge[0], edge[1] );
                }
                return curve;
            }

            index_t nb_merged_vertices() const
            {
                return static_cast< index_t >( merged_points_.size() );
            }

            index_t nb_merged_edges() const
            {
                return static_cast< index_t >( edges_.size() );
            }

            index_t vertex_in_merged( index_t mesh_index, index_t vertex_id ) const
            {
                return vertex_in_merged_[merge_input_number(
                    vertex_offsets_, mesh_index, vertex_id, CALLER, "Vertex" )];
            }

            index_t edge_in_merged( index_t mesh_index, index_t edge_id ) const
            {
                return edge_in_merged_[merge_input_number(
                    edge_offsets_, mesh_index, edge_id, CALLER, "Edge" )];
            }

            absl::Span< const MergeOrigin > vertex_origins( index_t vertex_id ) const
            {
                check_merge_index( vertex_id, nb_merged_vertices(), CALLER,
                    "Merged vertex" );
                return vertex_origins_.list( vertex_id );
            }

            absl::Span< const MergeOrigin > edge_origins( index_t edge_id ) const
            {
                check_merge_index(
                    edge_id, nb_merged_edges(), CALLER, "Merged edge" );
                return edge_origins_.list( edge_id );
            }

        private:
            void merge_edges(
                absl::Span< const EdgedCurve< dimension >* const > curves )
            {
                // (smaller, larger merged vertex, input edge) of every kept
                // input edge; sorting them groups the copies of one edge.
                std::vector< std::array< index_t, 3 > > keys;
                std::vector< Pair > ends( edge_offsets_.back() );
                for( index_t m = 0; m < curves.size(); m++ )
                {
                    const auto& curve = *curves[m];
                    for( index_t e = 0; e < curve.nb_edges(); e++ )
                    {
                        auto& pair = ends[edge_offsets_[m] + e];
                        for( local_index_t v = 0; v < 2; v++ )
                        {
                            const auto vertex = curve.edge_vertex( { e, v } );
                            ORVANE_EXCEPTION( vertex < curve.nb_vertices(), "[",
                                CALLER, "] Edge ", e, " of input mesh ", m,
                                " names vertex ", vertex, " past the end (",
                                curve.nb_vertices(), " vertices)" );
                            pair[v] = vertex_in_merged_[vertex_offsets_[m] + vertex];
                        }
                        if( pair[0] != pair[1] )
                        {
                            keys.push_back( { std::min( pair[0], pair[1] ),
                                std::max( pair[0], pair[1] ),
                                edge_offsets_[m] + e } );
                        }
                    }
                }
                std::sort( keys.begin(), keys.end() );
                std::vector< index_t > first_copy( ends.size(), NO_ID );
                for( std::size_t k = 0; k < keys.size(); k++ )
                {
                    const bool new_group = k == 0 || keys[k][0] != keys[k - 1][0]
                                           || keys[k][1] != keys[k - 1][1];
                    first_copy[keys[k][2]] =
                        new_group ? keys[k][2] : first_copy[keys[k - 1][2]];
                }
                edge_in_merged_.assign( ends.size(), NO_ID );
                for( index_t k = 0; k < ends.size(); k++ )
                {
                    const auto first = first_copy[k];
                    if( first == k )
                    {
                        edge_in_merged_[k] = static_cast< index_t >( edges_.size() );
                        edges_.push_back( ends[k] );
                    }
                    else if( first != NO_ID )
                    {
                        edge_in_merged_[k] = edge_in_merged_[first];
                    }
                }
                edge_origins_.build(
                    edge_in_merged_, edge_offsets_, nb_merged_edges() );
            }

        private:
            std::vector< index_t > vertex_offsets_;
            std::vector< index_t > edge_offsets_;
            std::vector< index_t > vertex_in_merged_;
            std::vector< Point< 3 > > merged_points_;
            MergeOriginLists vertex_origins_;
            std::vector< index_t > edge_in_merged_;
            std::vector< Pair > edges_;
            MergeOriginLists edge_origins_;
        };

        template < index_t dimension >
        EdgedCurveMerger< dimension >::EdgedCurveMerger(
            absl::Span< const EdgedCurve< dimension >* const > curves,
            double tolerance )
            : impl_( std::make_unique< Impl >( curves, tolerance ) )
        {
        }

        template < index_t dimension >
        EdgedCurveMerger< dimension >::EdgedCurveMerger(
            EdgedCurveMerger&& ) noexcept = default;

        template < index_t dimension >
        EdgedCurveMerger< dimension >& EdgedCurveMerger< dimension >::operator=(
            EdgedCurveMerger&& ) noexcept = default;

        template < index_t dimension >
        EdgedCurveMerger< dimension >::~EdgedCurveMerger() = default;

        template < index_t dimension >
        std::unique_ptr< EdgedCurve< dimension > >
            EdgedCurveMerger< dimension >::merge() const
        {
            return impl_->merge();
        }

        template < index_t dimension >
        index_t EdgedCurveMerger< dimension >::nb_merged_vertices() const
        {
            return impl_->nb_merged_vertices();
        }

        template < index_t dimension >
        index_t EdgedCurveMerger< dimension >::nb_merged_edges() const
        {
            return impl_->nb_merged_edges();
        }

        template < index_t dimension >
        index_t EdgedCurveMerger< dimension >::vertex_in_merged(
            index_t mesh_index, index_t vertex_id ) const
        {
            return impl_->vertex_in_merged( mesh_index, vertex_id );
        }

        template < index_t dimension >
        index_t EdgedCurveMerger< dimension >::edge_in_merged(
            index_t mesh_index, index_t edge_id ) const
        {
            return impl_->edge_in_merged( mesh_index, edge_id );
        }

        template < index_t dimension >
        absl::Span< const MergeOrigin > EdgedCurveMerger< dimension >::vertex_origins(
            index_t vertex_id ) const
        {
            return impl_->vertex_origins( vertex_id );
        }

        template < index_t dimension >
        absl::Span< const MergeOrigin > EdgedCurveMerger< dimension >::edge_origins(
            index_t edge_id ) const
        {
            return impl_->edge_origins( edge_id );
        }

        template class EdgedCurveMerger< 3 >;
    } // namespace detail
} // namespace orvane
