#include <background/background_solid_inserter_impl.hpp>

#include <algorithm>

#include <absl/container/flat_hash_map.h>

#include <openorvane/mesh/edges.hpp>

#include <common/cutter/solid_determine_cuts.hpp>
#include <common/cutter/solid_path_finder.hpp>

namespace
{
    using namespace orvane;

    /// Copies the provenance of every element the cut made from the
    /// elements it comes from: vertices, other edges, chain edges, facets.
    void replay_cut( internal::BackgroundSolidBuilder& builder,
        const CutAlongPathResult& result )
    {
        builder.update_vertices( result.cut_vertices );
        builder.update_edges( result.modified_edges );
        std::vector< ElementEntry > path_edges;
        path_edges.reserve( result.path_edges.size() );
        for( const auto& path_edge : result.path_edges )
        {
            path_edges.push_back( { path_edge.edge, path_edge.origins } );
        }
        builder.update_edges( path_edges );
        builder.update_facets( result.modified_facets );
    }

    /// Counts the nesting of the gap cuts of one edge cut; a recovery that
    /// makes no progress would otherwise recurse without end.
    class RecoveryDepth
    {
    public:
        RecoveryDepth( index_t& depth, index_t max_depth ) : depth_( depth )
        {
            if( depth_ >= max_depth )
            {
                throw OpenOrvaneException{ "[BackgroundSolidInserter::cut_edge] "
                                           "Too many nested recoveries of "
                                           "missing chain edges (",
                    max_depth, ")" };
            }
            depth_++;
        }
        RecoveryDepth( const RecoveryDepth& ) = delete;
        RecoveryDepth& operator=( const RecoveryDepth& ) = delete;
        ~RecoveryDepth()
        {
            depth_--;
        }

    private:
        index_t& depth_;
    };
} // namespace

namespace orvane
{
    namespace internal
    {
        VertexChain BackgroundSolidInserter::Impl::cut_edge(
            std::array< index_t, 2 > vertices,
            index_t input_edge,
            InsertionEditContext& context )
        {
            // A segment the walk cannot follow fails the element being
            // inserted, not the whole run: the element is tried again after
            // the others have changed the solid.
            const auto path =
                SolidPathFinder{ solid_, vertices[0], vertices[1] }.find_path();
            if( !path )
            {
                throw OpenOrvaneException{ "[BackgroundSolidInserter::cut_edge] "
                                           "No path through the solid from "
                                           "vertex ",
                    vertices[0], " to vertex ", vertices[1] };
            }
            const auto cuts = determine_segment_cuts( solid_, path.value() );
            return cut_along_cuts( cuts, input_edge, context );
        }

        VertexChain BackgroundSolidInserter::Impl::cut_along_cuts(
            absl::Span< const SolidCut > cuts,
            index_t input_edge,
            InsertionEditContext& context )
        {
            CutAlongPathResult result;
            try
            {
                CutAlongPath3D cutter{ solid_, modifier_, cuts };
                result = cutter.cut_along_path();
            }
            catch( const CutPathException& exception )
            {
                return recover_cut_edge( exception, input_edge, context );
            }
            replay_cut( builder_, result );
            VertexChain chain;
            chain.reserve( result.cut_vertices.size() );
            for( const auto& vertex : result.cut_vertices )
            {
                chain.push_back( vertex.element );
            }
            if( result.short_edges.empty() )
            {
                return chain;
            }
            collapse_cut_edges( result.short_edges, context );
            VertexChain updated;
            updated.reserve( chain.size() );
            for( const auto vertex : chain )
            {
                const auto current = modifier_.updated_vertex( vertex );
                if( updated.empty() || updated.back() != current )
                {
                    updated.push_back( current );
                }
            }
            return updated;
        }

        VertexChain BackgroundSolidInserter::Impl::recover_cut_edge(
            const CutPathException& exception,
            index_t input_edge,
            InsertionEditContext& context )
        {
            const auto& partial = exception.result;
            auto& tracked = context.tracked_vertices();
            std::vector< index_t > made;
            made.reserve( partial.cut_vertices.size() );
            for( const auto& vertex : partial.cut_vertices )
            {
                made.push_back( vertex.element );
                if( vertex.element != NO_ID )
                {
                    tracked.push_back( vertex.element );
                }
            }
            replay_cut( builder_, partial );
            const auto replay = replay_pending_cuts( exception );
            context.track( replay );
            context.repair_epsilon( replay.tetrahedra );
            auto chain = chain_from_cut_vertices( made, replay.vertices );
            if( chain.empty() )
            {
                return chain;
            }
            const auto gaps = missing_chain_edges( chain );
            if( !gaps.empty() )
            {
                const auto subchains =
                    insert_missing_edges( gaps, input_edge, context );
                chain = splice_chains( chain, subchains );
            }
            update_vertex_chain( chain );
            return chain;
        }

        void BackgroundSolidInserter::Impl::collapse_cut_edges(
            absl::Span< const index_t > edges, InsertionEditContext& context )
        {
            std::vector< index_t > modified;
            for( const auto edge : edges )
            {
                const auto ends = solid_.edges().edge_vertices( edge );
                const auto first = modifier_.updated_vertex( ends[0] );
                const auto second = modifier_.updated_vertex( ends[1] );
                if( first == second )
                {
                    continue;
                }
                const auto current =
                    solid_.edges().edge_from_vertices( { first, second } ).value();
                const auto point = solid_.point( first );
                const auto collapse = modifier_.collapse_edge( current, point );
                modified.insert( modified.end(),
                    collapse.modified_tetrahedra.begin(),
                    collapse.modified_tetrahedra.end() );
            }
            context.repair_epsilon( modified );
        }

        PendingCutsReplay BackgroundSolidInserter::Impl::replay_pending_cuts(
            const CutPathException& exception )
        {
            PendingCutsReplay replay;
            replay.vertices.assign( exception.result.cut_vertices.size(), NO_ID );
            const auto record = [&replay]( index_t cut, PendingSplit& split ) {
                if( cut < replay.vertices.size() )
                {
                    replay.vertices[cut] = split.vertex;
                }
                replay.tetrahedra.insert( replay.tetrahedra.end(),
                    split.tetrahedra.begin(), split.tetrahedra.end() );
            };
            for( const auto& cut : exception.leftover_facet_cuts )
            {
                if( !modifier_.is_polyhedron_active( cut.facet.polyhedron_id ) )
                {
                    continue;
                }
                auto split = split_pending_facet( cut );
                record( cut.cut, split );
                detail::add_unique_cycle( replay.facets,
                    VertexCycle( split.vertices.begin(), split.vertices.end() ) );
            }
            for( const auto& cut : exception.leftover_edge_cuts )
            {
                if( !modifier_.is_polyhedron_active( cut.edge.polyhedron_facet.polyhedron_id ) )
                {
                    continue;
                }
                auto split = split_pending_edge( cut );
                record( cut.cut, split );
                detail::add_unique_edge(
                    replay.edges, { split.vertices[0], split.vertices[1] } );
            }
            return replay;
        }

        PendingSplit BackgroundSolidInserter::Impl::split_pending_facet(
            const LeftoverFacetCut& cut )
        {
            PendingSplit split;
            const auto vertices = solid_.polyhedron_facet_vertices( cut.facet );
            split.vertices.assign( vertices.begin(), vertices.end() );
            const auto info = modifier_.split_facet( cut.facet, cut.point );
            split.vertex = info.new_vertex;
            for( const auto& tetrahedron : info.tetrahedra )
            {
                split.tetrahedra.push_back( tetrahedron.new_element );
            }
            return split;
        }

        PendingSplit BackgroundSolidInserter::Impl::split_pending_edge(
            const LeftoverEdgeCut& cut )
        {
            PendingSplit split;
            const auto vertices = solid_.polyhedron_facet_edge_vertices( cut.edge );
            split.vertices.assign( vertices.begin(), vertices.end() );
            const auto info = modifier_.split_edge( cut.edge, cut.point );
            split.vertex = info.new_vertex;
            for( const auto& tetrahedron : info.first_tetrahedra )
            {
                split.tetrahedra.push_back( tetrahedron.new_element );
            }
            for( const auto& tetrahedron : info.second_tetrahedra )
            {
                split.tetrahedra.push_back( tetrahedron.new_element );
            }
            return split;
        }

        VertexChain BackgroundSolidInserter::Impl::chain_from_cut_vertices(
            absl::Span< const index_t > first, absl::Span< const index_t > second )
        {
            VertexChain chain;
            const auto live = [this]( index_t vertex ) -> std::optional< index_t > {
                if( vertex == NO_ID )
                {
                    return std::nullopt;
                }
                const auto current = modifier_.updated_vertex( vertex );
                if( solid_.is_vertex_isolated( current ) )
                {
                    return std::nullopt;
                }
                return current;
            };
            for( std::size_t cut = 0; cut < first.size(); cut++ )
            {
                if( const auto vertex = live( first[cut] ) )
                {
                    chain.push_back( vertex.value() );
                }
                else if( cut < second.size() )
                {
                    if( const auto other = live( second[cut] ) )
                    {
                        chain.push_back( other.value() );
                    }
                }
            }
            simplify_vertex_chain( chain );
            return chain;
        }

        void BackgroundSolidInserter::Impl::simplify_vertex_chain(
            VertexChain& chain ) const
        {
            absl::flat_hash_map< index_t, std::size_t > kept;
            std::vector< bool > removed( chain.size(), false );
            for( std::size_t i = 0; i < chain.size(); i++ )
            {
                const auto found = kept.find( chain[i] );
                if( found == kept.end() )
                {
                    kept.emplace( chain[i], i );
                    if( solid_.is_vertex_isolated( chain[i] ) )
                    {
                        removed[i] = true;
                    }
                    continue;
                }
                // The chain comes back to a vertex: the loop from its kept
                // occurrence on is dropped.
                for( auto j = found->second; j < i; j++ )
                {
                    removed[j] = true;
                    kept.erase( chain[j] );
                }
                kept[chain[i]] = i;
            }
            std::size_t next{ 0 };
            for( std::size_t i = 0; i < chain.size(); i++ )
            {
                if( !removed[i] )
                {
                    chain[next++] = chain[i];
                }
            }
            chain.resize( next );
        }

        void BackgroundSolidInserter::Impl::update_vertex_chain( VertexChain& chain )
        {
            for( auto& vertex : chain )
            {
                vertex = modifier_.updated_vertex( vertex );
            }
            simplify_vertex_chain( chain );
        }

        std::vector< std::array< index_t, 2 > >
            BackgroundSolidInserter::Impl::missing_chain_edges(
                absl::Span< const index_t > chain ) const
        {
            std::vector< std::array< index_t, 2 > > gaps;
            for( std::size_t i = 1; i < chain.size(); i++ )
            {
                const std::array< index_t, 2 > pair{ chain[i - 1], chain[i] };
                if( pair[0] != pair[1]
                    && solid_.polyhedra_around_edge( pair ).empty() )
                {
                    gaps.push_back( pair );
                }
            }
            return gaps;
        }

        SubChains BackgroundSolidInserter::Impl::insert_missing_edges(
            absl::Span< const std::array< index_t, 2 > > gaps,
            index_t input_edge,
            InsertionEditContext& context )
        {
            const RecoveryDepth depth{ cut_recovery_depth_,
                max_cut_recovery_depth_ };
            SubChains subchains( gaps.size() );
            for( std::size_t g = 0; g < gaps.size(); g++ )
            {
                const auto& gap = gaps[g];
                auto chain = cut_edge( { modifier_.updated_vertex( gap[0] ),
                                           modifier_.updated_vertex( gap[1] ) },
                    input_edge, context );
                auto& tracked = context.tracked_vertices();
                tracked.insert( tracked.end(), chain.begin(), chain.end() );
                subchains[g] = { gap, std::move( chain ) };
            }
            return subchains;
        }

        VertexChain BackgroundSolidInserter::Impl::splice_chains(
            absl::Span< const index_t > chain, const SubChains& subchains )
        {
            VertexChain spliced;
            spliced.reserve( chain.size() );
            std::size_t k{ 0 };
            for( std::size_t j = 0; j < chain.size(); j++ )
            {
                spliced.push_back( chain[j] );
                if( k >= subchains.size() || subchains[k].gap[0] != chain[j] )
                {
                    continue;
                }
                const auto& inner = subchains[k].chain;
                if( inner.size() > 2 )
                {
                    spliced.insert( spliced.end(), inner.begin() + 1, inner.end() - 1 );
                }
                k++;
                if( k == subchains.size() )
                {
                    spliced.insert( spliced.end(), chain.begin() + j + 1, chain.end() );
                    break;
                }
            }
            update_vertex_chain( spliced );
            return spliced;
        }
    } // namespace internal
} // namespace orvane
