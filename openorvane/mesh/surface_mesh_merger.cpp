#include <openorvane/mesh/surface_mesh_merger.hpp>

#include <algorithm>
#include <array>

#include <openorvane/basic/async.hpp>
#include <openorvane/basic/large_array_allocator.hpp>
#include <openorvane/basic/exception.hpp>
#include <openorvane/mesh/triangulated_surface.hpp>
#include <openorvane/mesh/triangulated_surface_builder.hpp>

namespace
{
    constexpr std::string_view CALLER{ "SurfaceMeshMerger" };

    using Triple = std::array< orvane::index_t, 3 >;

    /// The merger's per-element tables: first touching them costs few page
    /// faults.
    template < typename T >
    using Table = std::vector< T, orvane::LargeArrayAllocator< T > >;

    /// The local edge of the triangle that joins the two vertices, in either
    /// direction; NO_LID when it has none.
    orvane::local_index_t edge_joining(
        const Triple& triangle, orvane::index_t a, orvane::index_t b )
    {
        for( orvane::local_index_t e = 0; e < 3; e++ )
        {
            const auto from = triangle[e];
            const auto to = triangle[( e + 1 ) % 3];
            if( ( from == a && to == b ) || ( from == b && to == a ) )
            {
                return e;
            }
        }
        return orvane::NO_LID;
    }

    Triple sorted( Triple triple )
    {
        std::sort( triple.begin(), triple.end() );
        return triple;
    }
} // namespace

namespace orvane
{
    namespace detail
    {
        template < index_t dimension >
        class SurfaceMeshMerger< dimension >::Impl
        {
        public:
            Impl( absl::Span< const SurfaceMesh< dimension >* const > surfaces,
                double tolerance )
            {
                std::vector< index_t > nb_vertices;
                std::vector< index_t > nb_polygons;
                for( index_t m = 0; m < surfaces.size(); m++ )
                {
                    ORVANE_EXCEPTION( surfaces[m] != nullptr, "[", CALLER,
                        "] Input mesh ", m, " is null" );
                    nb_vertices.push_back( surfaces[m]->nb_vertices() );
                    nb_polygons.push_back( surfaces[m]->nb_polygons() );
                }
                vertex_offsets_ = merge_offsets( nb_vertices, "vertices" );
                polygon_offsets_ = merge_offsets( nb_polygons, "polygons" );
                merge_vertices( surfaces, tolerance );
                const auto triples = merged_triples( surfaces );
                merge_polygons( triples );
                transfer_adjacencies( surfaces );
            }

            std::unique_ptr< TriangulatedSurface< dimension > > merge() const
            {
                auto surface = TriangulatedSurface< dimension >::create();
                auto builder = TriangulatedSurfaceBuilder< dimension >::create(
                    *surface );
                if( !merged_points_.empty() )
                {
                    // One resize for all vertices rather than one per vertex.
                    builder->create_vertices( nb_merged_vertices() );
                    for( index_t v = 0; v < nb_merged_vertices(); v++ )
                    {
                        builder->set_point( v, merged_points_[v] );
                    }
                }
                for( const auto& triangle : polygons_ )
                {
                    builder->create_triangle( triangle );
                }
                for( index_t p = 0; p < polygons_.size(); p++ )
                {
                    for( local_index_t e = 0; e < 3; e++ )
                    {
                        const auto adjacent = adjacents_[3 * p + e];
                        if( adjacent != NO_ID )
                        {
                            builder->set_polygon_adjacent( { p, e }, adjacent );
                        }
                    }
                }
                return surface;
            }

            index_t nb_merged_vertices() const
            {
                return static_cast< index_t >( merged_points_.size() );
            }

            index_t nb_merged_polygons() const
            {
                return static_cast< index_t >( polygons_.size() );
            }

            index_t vertex_in_merged( index_t mesh_index, index_t vertex_id ) const
            {
                return vertex_in_merged_[merge_input_number(
                    vertex_offsets_, mesh_index, vertex_id, CALLER, "Vertex" )];
            }

            index_t polygon_in_merged(
                index_t mesh_index, index_t polygon_id ) const
            {
                return polygon_in_merged_[merge_input_number(
                    polygon_offsets_, mesh_index, polygon_id, CALLER, "Polygon" )];
            }

            absl::Span< const MergeOrigin > vertex_origins( index_t vertex_id ) const
            {
                check_merge_index( vertex_id, nb_merged_vertices(), CALLER,
                    "Merged vertex" );
                return vertex_origins_.list( vertex_id );
            }

            absl::Span< const MergeOrigin > polygon_origins(
                index_t polygon_id ) const
            {
                check_merge_index( polygon_id, nb_merged_polygons(), CALLER,
                    "Merged polygon" );
                return polygon_origins_.list( polygon_id );
            }

        private:
            void merge_vertices(
                absl::Span< const SurfaceMesh< dimension >* const > surfaces,
                double tolerance )
            {
                auto merged = merge_mesh_vertices(
                    surfaces, vertex_offsets_, tolerance, CALLER );
                vertex_in_merged_ = std::move( merged.merged_of );
                merged_points_ = std::move( merged.merged_points );
                vertex_origins_.build(
                    vertex_in_merged_, vertex_offsets_, nb_merged_vertices() );
            }

            /// The merged vertices of every input polygon, in its local
            /// order; a polygon with a repeated merged vertex starts with
            /// NO_ID.
            Table< Triple > merged_triples(
                absl::Span< const SurfaceMesh< dimension >* const > surfaces ) const
            {
                Table< Triple > triples( polygon_offsets_.back() );
                for( index_t m = 0; m < surfaces.size(); m++ )
                {
                    const auto& surface = *surfaces[m];
                    const auto polygon_offset = polygon_offsets_[m];
                    const auto vertex_offset = vertex_offsets_[m];
                    const auto nb_vertices = surface.nb_vertices();
                    async::parallel_for(
                        0, surface.nb_polygons(), [&]( index_t p ) {
                            ORVANE_EXCEPTION(
                                surface.nb_polygon_vertices( p ) == 3, "[",
                                CALLER, "] Polygon ", p, " of input mesh ", m,
                                " is not a triangle" );
                            auto& triple = triples[polygon_offset + p];
                            for( local_index_t v = 0; v < 3; v++ )
                            {
                                const auto vertex = surface.polygon_vertex( { p, v } );
                                ORVANE_EXCEPTION( vertex < nb_vertices, "[",
                                    CALLER, "] Polygon ", p, " of input mesh ",
                                    m, " names vertex ", vertex,
                                    " past the end (", nb_vertices, " vertices)" );
                                triple[v] = vertex_in_merged_[vertex_offset + vertex];
                            }
                            if( triple[0] == triple[1] || triple[1] == triple[2]
                                || triple[2] == triple[0] )
                            {
                                triple[0] = NO_ID;
                            }
                        } );
                }
                return triples;
            }

            /// Folds the polygons on equal vertex sets. Candidates are
            /// bucketed under their smallest vertex and sorted within the
            /// bucket, which keeps the work linear and independent of hash
            /// order.
            void merge_polygons( const Table< Triple >& triples )
            {
                const auto nb_inputs = static_cast< index_t >( triples.size() );
                const auto nb_vertices = nb_merged_vertices();
                Table< index_t > bucket_offsets(
                    static_cast< std::size_t >( nb_vertices ) + 1, 0 );
                for( const auto& triple : triples )
                {
                    if( triple[0] != NO_ID )
                    {
                        bucket_offsets[*std::min_element(
                                           triple.begin(), triple.end() )
                                       + 1]++;
                    }
                }
                for( index_t v = 0; v < nb_vertices; v++ )
                {
                    bucket_offsets[v + 1] += bucket_offsets[v];
                }
                Table< index_t > buckets( bucket_offsets.back() );
                {
                    Table< index_t > fill(
                        bucket_offsets.begin(), bucket_offsets.end() - 1 );
                    for( index_t k = 0; k < nb_inputs; k++ )
                    {
                        const auto& triple = triples[k];
                        if( triple[0] != NO_ID )
                        {
                            buckets[fill[*std::min_element(
                                triple.begin(), triple.end() )]++] = k;
                        }
                    }
                }
                // first_copy[k]: the first input polygon on the same vertex
                // set as input polygon k.
                Table< index_t > first_copy( nb_inputs, NO_ID );
                async::parallel_for( 0, nb_vertices, [&]( index_t v ) {
                    const auto begin = buckets.begin() + bucket_offsets[v];
                    const auto end = buckets.begin() + bucket_offsets[v + 1];
                    if( end - begin == 1 )
                    {
                        first_copy[*begin] = *begin;
                        return;
                    }
                    std::sort( begin, end, [&triples]( index_t lhs, index_t rhs ) {
                        const auto left = sorted( triples[lhs] );
                        const auto right = sorted( triples[rhs] );
                        if( left != right )
                        {
                            return left < right;
                        }
                        return lhs < rhs;
                    } );
                    auto group = begin;
                    for( auto it = begin; it != end; ++it )
                    {
                        if( sorted( triples[*it] ) != sorted( triples[*group] ) )
                        {
                            group = it;
                        }
                        first_copy[*it] = *group;
                    }
                } );
                polygon_in_merged_.assign( nb_inputs, NO_ID );
                for( index_t k = 0; k < nb_inputs; k++ )
                {
                    const auto first = first_copy[k];
                    if( first == NO_ID )
                    {
                        continue;
                    }
                    if( first == k )
                    {
                        polygon_in_merged_[k] =
                            static_cast< index_t >( polygons_.size() );
                        polygons_.push_back( triples[k] );
                    }
                    else
                    {
                        polygon_in_merged_[k] = polygon_in_merged_[first];
                    }
                }
                polygon_origins_.build(
                    polygon_in_merged_, polygon_offsets_, nb_merged_polygons() );
            }

            /// Links merged polygons across an edge only when all their
            /// origins agree, both ways.
            void transfer_adjacencies(
                absl::Span< const SurfaceMesh< dimension >* const > surfaces )
            {
                const auto nb_polygons = nb_merged_polygons();
                Table< index_t > votes(
                    static_cast< std::size_t >( nb_polygons ) * 3, NO_ID );
                async::parallel_for( 0, nb_polygons, [&]( index_t merged ) {
                    const auto& triangle = polygons_[merged];
                    const auto origins = polygon_origins_.list( merged );
                    for( index_t o = 0; o < origins.size(); o++ )
                    {
                        const auto [mesh, polygon] = origins[o];
                        const auto& surface = *surfaces[mesh];
                        const auto vertex_offset = vertex_offsets_[mesh];
                        for( local_index_t k = 0; k < 3; k++ )
                        {
                            const auto a = vertex_in_merged_[vertex_offset
                                                             + surface.polygon_vertex(
                                                                 { polygon, k } )];
                            const auto b = vertex_in_merged_
                                [vertex_offset
                                    + surface.polygon_vertex(
                                        { polygon, static_cast< local_index_t >(
                                                       ( k + 1 ) % 3 ) } )];
                            const auto e = edge_joining( triangle, a, b );
                            auto neighbour = NO_ID;
                            if( const auto adjacent =
                                    surface.polygon_adjacent( { polygon, k } ) )
                            {
                                ORVANE_EXCEPTION(
                                    adjacent.value() < surface.nb_polygons(), "[",
                                    CALLER, "] Polygon ", polygon,
                                    " of input mesh ", mesh,
                                    " is adjacent to polygon ", adjacent.value(),
                                    " past the end (", surface.nb_polygons(),
                                    " polygons)" );
                                neighbour = polygon_in_merged_
                                    [polygon_offsets_[mesh] + adjacent.value()];
                                if( neighbour == merged
                                    || ( neighbour != NO_ID
                                         && edge_joining( polygons_[neighbour], a,
                                                b )
                                                == NO_LID ) )
                                {
                                    neighbour = NO_ID;
                                }
                            }
                            auto& vote = votes[3 * merged + e];
                            if( o == 0 )
                            {
                                vote = neighbour;
                            }
                            else if( vote != neighbour )
                            {
                                vote = NO_ID;
                            }
                        }
                    }
                } );
                adjacents_.assign( votes.size(), NO_ID );
                async::parallel_for( 0, nb_polygons, [&]( index_t merged ) {
                    const auto& triangle = polygons_[merged];
                    for( local_index_t e = 0; e < 3; e++ )
                    {
                        const auto neighbour = votes[3 * merged + e];
                        if( neighbour == NO_ID )
                        {
                            continue;
                        }
                        const auto back = edge_joining( polygons_[neighbour],
                            triangle[e], triangle[( e + 1 ) % 3] );
                        if( votes[3 * neighbour + back] == merged )
                        {
                            adjacents_[3 * merged + e] = neighbour;
                        }
                    }
                } );
            }

        private:
            std::vector< index_t > vertex_offsets_;
            std::vector< index_t > polygon_offsets_;
            std::vector< index_t > vertex_in_merged_;
            std::vector< Point< 3 > > merged_points_;
            MergeOriginLists vertex_origins_;
            Table< index_t > polygon_in_merged_;
            Table< Triple > polygons_;
            MergeOriginLists polygon_origins_;
            Table< index_t > adjacents_;
        };

        template < index_t dimension >
        SurfaceMeshMerger< dimension >::SurfaceMeshMerger(
            absl::Span< const SurfaceMesh< dimension >* const > surfaces,
            double tolerance )
            : impl_( std::make_unique< Impl >( surfaces, tolerance ) )
        {
        }

        template < index_t dimension >
        SurfaceMeshMerger< dimension >::SurfaceMeshMerger(
            SurfaceMeshMerger&& ) noexcept = default;

        template < index_t dimension >
        SurfaceMeshMerger< dimension >& SurfaceMeshMerger< dimension >::operator=(
            SurfaceMeshMerger&& ) noexcept = default;

        template < index_t dimension >
        SurfaceMeshMerger< dimension >::~SurfaceMeshMerger() = default;

        template < index_t dimension >
        std::unique_ptr< TriangulatedSurface< dimension > >
            SurfaceMeshMerger< dimension >::merge() const
        {
            return impl_->merge();
        }

        template < index_t dimension >
        index_t SurfaceMeshMerger< dimension >::nb_merged_vertices() const
        {
            return impl_->nb_merged_vertices();
        }

        template < index_t dimension >
        index_t SurfaceMeshMerger< dimension >::nb_merged_polygons() const
        {
            return impl_->nb_merged_polygons();
        }

        template < index_t dimension >
        index_t SurfaceMeshMerger< dimension >::vertex_in_merged(
            index_t mesh_index, index_t vertex_id ) const
        {
            return impl_->vertex_in_merged( mesh_index, vertex_id );
        }

        template < index_t dimension >
        index_t SurfaceMeshMerger< dimension >::polygon_in_merged(
            index_t mesh_index, index_t polygon_id ) const
        {
            return impl_->polygon_in_merged( mesh_index, polygon_id );
        }

        template < index_t dimension >
        absl::Span< const MergeOrigin > SurfaceMeshMerger< dimension >::vertex_origins(
            index_t vertex_id ) const
        {
            return impl_->vertex_origins( vertex_id );
        }

        template < index_t dimension >
        absl::Span< const MergeOrigin > SurfaceMeshMerger< dimension >::polygon_origins(
            index_t polygon_id ) const
        {
            return impl_->polygon_origins( polygon_id );
        }

        template class SurfaceMeshMerger< 3 >;
    } // namespace detail
} // namespace orvane
