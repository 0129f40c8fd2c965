#include <common/cutter/surface_cut_edge_map.hpp>

#include <algorithm>
#include <utility>

#include <openorvane/basic/exception.hpp>

namespace orvane::detail
{
    void sort_edge_origins( absl::InlinedVector< PolygonEdge, 2 >& origins )
    {
        if( origins.size() < 2 )
        {
            return;
        }
        std::sort( origins.begin(), origins.end(), PolygonEdgeLess{} );
        origins.erase( std::unique( origins.begin(), origins.end() ), origins.end() );
    }

    void resolve_edge_origins( SurfaceCutEdgeMap& edges )
    {
        // Positions in the map, which is sorted by edge, stand for edges.
        // The map itself changes only at the end, so that a cycle leaves it
        // as it was. The work arrays live on the stack for the usual few
        // dozen entries of one cut.
        const auto nb_entries = edges.size();
        // Every origin is looked up once: `links` holds, origin after origin
        // and entry after entry, the position of the entry it leads to, or
        // one of these two marks.
        constexpr auto SKIPPED = static_cast< std::uint32_t >( -1 );
        constexpr auto SOURCE = static_cast< std::uint32_t >( -2 );
        absl::InlinedVector< std::uint32_t, 64 > first_link( nb_entries + 1 );
        absl::InlinedVector< std::uint32_t, 128 > links;
        absl::InlinedVector< bool, 64 > lists_itself( nb_entries );
        for( std::size_t position = 0; position < nb_entries; position++ )
        {
            const auto& [edge, entry] = edges.entry( position );
            first_link[position] = static_cast< std::uint32_t >( links.size() );
            for( const auto& origin : entry.origins )
            {
                if( is_unset( origin ) )
                {
                    links.push_back( SKIPPED );
                    continue;
                }
                if( origin == edge )
                {
                    lists_itself[position] = true;
                    links.push_back( SOURCE );
                    continue;
                }
                const auto found = edges.position( origin );
                links.push_back( found == nb_entries
                                     ? SOURCE
                                     : static_cast< std::uint32_t >( found ) );
            }
        }
        first_link[nb_entries] = static_cast< std::uint32_t >( links.size() );

        constexpr std::uint8_t UNSEEN = 0;
        constexpr std::uint8_t IN_PROGRESS = 1;
        constexpr std::uint8_t RESOLVED = 2;
        absl::InlinedVector< std::uint8_t, 64 > states( nb_entries, UNSEEN );
        absl::InlinedVector< SurfaceCutEdgeEntry, 64 > resolved( nb_entries );
        // An origin leads on through its entry unless it is a source, or its
        // entry lists itself (a source too, whose kind still counts).
        const auto leads_on = [&]( std::uint32_t link ) {
            return link < nb_entries && !lists_itself[link];
        };
        // Depth-first over the origins, with an explicit stack: chains of
        // origins are as long as the number of edits made on one edge.
        absl::InlinedVector< std::pair< std::uint32_t, std::uint32_t >, 16 > stack;
        for( std::size_t start = 0; start < nb_entries; start++ )
        {
            if( states[start] == RESOLVED )
            {
                continue;
            }
            stack.emplace_back(
                static_cast< std::uint32_t >( start ), first_link[start] );
            states[start] = IN_PROGRESS;
            while( !stack.empty() )
            {
                const auto position = stack.back().first;
                auto& next_link = stack.back().second;
                if( next_link < first_link[position + 1] )
                {
                    const auto link = links[next_link++];
                    if( !leads_on( link ) || states[link] == RESOLVED )
                    {
                        continue;
                    }
                    if( states[link] == IN_PROGRESS )
                    {
                        const auto& edge = edges.entry( position ).first;
                        throw OpenOrvaneException{
                            "[SurfaceCutAlongPath::cut_along_path]",
                            " The origins of edge ", edge.string(),
                            " lead back to edge ",
                            edges.entry( link ).first.string() };
                    }
                    states[link] = IN_PROGRESS;
                    stack.emplace_back( link, first_link[link] );
                    continue;
                }
                const auto& entry = edges.entry( position ).second;
                auto& sources = resolved[position];
                sources.kind = entry.kind;
                for( auto k = first_link[position]; k < first_link[position + 1]; k++ )
                {
                    const auto link = links[k];
                    if( link == SKIPPED )
                    {
                        continue;
                    }
                    if( leads_on( link ) )
                    {
                        const auto& reached = resolved[link];
                        sources.origins.insert( sources.origins.end(),
                            reached.origins.begin(), reached.origins.end() );
                        sources.kind = std::min( sources.kind, reached.kind );
                        continue;
                    }
                    sources.origins.push_back(
                        entry.origins[k - first_link[position]] );
                    if( link != SOURCE )
                    {
                        sources.kind = std::min(
                            sources.kind, edges.entry( link ).second.kind );
                    }
                }
                sort_edge_origins( sources.origins );
                states[position] = RESOLVED;
                stack.pop_back();
            }
        }
        for( std::size_t position = 0; position < nb_entries; position++ )
        {
            edges.entry( position ).second = std::move( resolved[position] );
        }
    }
} // namespace orvane::detail
