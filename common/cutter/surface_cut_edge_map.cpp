#include <common/cutter/surface_cut_edge_map.hpp>

#include <algorithm>
#include <utility>

#include <absl/container/fixed_array.h>
#include <absl/types/span.h>

#include <openorvane/basic/exception.hpp>

namespace
{
    using orvane::PolygonEdge;
    using orvane::detail::PolygonEdgeLess;

    /// Sorts a short list of edges and removes repeats. Origin lists hold one
    /// or two edges, rarely a handful: an insertion sort beats the general
    /// sort there.
    template < typename Edges >
    void sort_and_unique( Edges& edges )
    {
        const auto size = edges.size();
        if( size < 2 )
        {
            return;
        }
        if( size == 2 )
        {
            if( PolygonEdgeLess{}( edges[1], edges[0] ) )
            {
                std::swap( edges[0], edges[1] );
            }
            else if( edges[0] == edges[1] )
            {
                edges.pop_back();
            }
            return;
        }
        for( std::size_t i = 1; i < size; i++ )
        {
            const auto edge = edges[i];
            auto j = i;
            for( ; j > 0 && PolygonEdgeLess{}( edge, edges[j - 1] ); j-- )
            {
                edges[j] = edges[j - 1];
            }
            edges[j] = edge;
        }
        edges.erase( std::unique( edges.begin(), edges.end() ), edges.end() );
    }

    using orvane::detail::is_unset;
    using orvane::detail::SurfaceCutEdgeEntry;
    using orvane::detail::SurfaceCutEdgeMap;

    /// Marks of an origin that leads to no entry: an unset origin, skipped,
    /// and a source edge.
    constexpr auto SKIPPED_LINK = static_cast< std::uint32_t >( -1 );
    constexpr auto SOURCE_LINK = static_cast< std::uint32_t >( -2 );

    /// Where the origins of the map's entries lead: the links of the entry
    /// at position p are links[first_link[p]] to links[first_link[p + 1]],
    /// one per origin, each the position of the entry it names or a mark.
    struct OriginLinks
    {
        absl::Span< const std::uint32_t > first_link;
        absl::Span< const std::uint32_t > links;
        /// Whether the entry lists its own edge: a source, whose kind
        /// still counts for the entries reaching it.
        absl::Span< const bool > lists_itself;

        /// Whether an origin leads on through the origins of its entry.
        bool leads_on( std::uint32_t link ) const
        {
            return link < lists_itself.size() && !lists_itself[link];
        }
    };

    /// Finds edges in the map: in constant time within the polygons of its
    /// last entries, which span a short range of indices (the polygons one
    /// cut made, three edges each), by binary search below them.
    class EdgePositions
    {
    public:
        explicit EdgePositions( const SurfaceCutEdgeMap& edges ) : edges_( edges )
        {
            const auto nb_entries = edges.size();
            if( nb_entries == 0 )
            {
                return;
            }
            last_polygon_ = edges.entry( nb_entries - 1 ).first.polygon_id;
            // The indexed entries: those whose polygons lie within twice the
            // number of entries of the last one.
            const auto span = 2 * nb_entries;
            first_indexed_ = static_cast< std::size_t >(
                std::partition_point( edges.begin(), edges.end(),
                    [this, span]( const auto& entry ) {
                        return last_polygon_ - entry.first.polygon_id >= span;
                    } )
                - edges.begin() );
            first_polygon_ = edges.entry( first_indexed_ ).first.polygon_id;
            // starts_[k] is the first position of a polygon from
            // first_polygon_ + k on.
            const std::size_t nb_polygons = last_polygon_ - first_polygon_ + 1;
            starts_.resize( nb_polygons + 1 );
            std::size_t k{ 0 };
            for( auto position = first_indexed_; position < nb_entries; position++ )
            {
                const std::size_t offset =
                    edges.entry( position ).first.polygon_id - first_polygon_;
                for( ; k <= offset; k++ )
                {
                    starts_[k] = static_cast< std::uint32_t >( position );
                }
            }
            for( ; k <= nb_polygons; k++ )
            {
                starts_[k] = static_cast< std::uint32_t >( nb_entries );
            }
        }

        /// The position of `edge`, or the map's size when it is absent.
        std::size_t find( const PolygonEdge& edge ) const
        {
            const auto polygon = edge.polygon_id;
            if( edges_.empty() || polygon > last_polygon_ )
            {
                return edges_.size();
            }
            if( polygon < first_polygon_ )
            {
                return first_indexed_ == 0 ? edges_.size() : edges_.position( edge );
            }
            const auto k = polygon - first_polygon_;
            for( auto position = starts_[k]; position < starts_[k + 1]; position++ )
            {
                if( edges_.entry( position ).first.edge_id == edge.edge_id )
                {
                    return position;
                }
            }
            return edges_.size();
        }

    private:
        const SurfaceCutEdgeMap& edges_;
        std::size_t first_indexed_{ 0 };
        orvane::index_t first_polygon_{ 0 };
        orvane::index_t last_polygon_{ 0 };
        absl::InlinedVector< std::uint32_t, 64 > starts_;
    };

    /// Resolves the entries in place in key order, when every origin that
    /// is a key comes before its entry: the entries it reaches are resolved
    /// by then. This is the usual case, as an edit names older edges, of
    /// smaller polygon indices, as origins of the edges it makes.
    void resolve_in_key_order(
        SurfaceCutEdgeMap& edges, const OriginLinks& origin_links )
    {
        const auto nb_entries = edges.size();
        const auto& first_link = origin_links.first_link;
        const auto& links = origin_links.links;
        // The kinds as they were: an entry that lists itself gives its own
        // kind to the entries reaching it, not the one it resolves to.
        absl::FixedArray< std::uint8_t, 64 > kinds( nb_entries );
        for( std::size_t position = 0; position < nb_entries; position++ )
        {
            kinds[position] = edges.entry( position ).second.kind;
        }
        absl::InlinedVector< PolygonEdge, 16 > sources;
        for( std::size_t position = 0; position < nb_entries; position++ )
        {
            auto& entry = edges.entry( position ).second;
            const auto begin = first_link[position];
            const auto end = first_link[position + 1];
            if( end - begin == 1 )
            {
                // Most entries have one origin: unset, or a source edge.
                const auto link = links[begin];
                if( link == SKIPPED_LINK )
                {
                    entry.origins.clear();
                    continue;
                }
                if( link == SOURCE_LINK )
                {
                    continue;
                }
                if( origin_links.leads_on( link ) )
                {
                    // The entry reached is resolved: its origins are sorted
                    // and distinct already.
                    const auto& reached = edges.entry( link ).second;
                    entry.origins = reached.origins;
                    entry.kind = std::min( entry.kind, reached.kind );
                    continue;
                }
            }
            sources.clear();
            auto kind = entry.kind;
            for( auto k = begin; k < end; k++ )
            {
                const auto link = links[k];
                if( link == SKIPPED_LINK )
                {
                    continue;
                }
                if( origin_links.leads_on( link ) )
                {
                    const auto& reached = edges.entry( link ).second;
                    sources.insert(
                        sources.end(), reached.origins.begin(), reached.origins.end() );
                    kind = std::min( kind, reached.kind );
                    continue;
                }
                sources.push_back( entry.origins[k - begin] );
                if( link != SOURCE_LINK )
                {
                    kind = std::min( kind, kinds[link] );
                }
            }
            sort_and_unique( sources );
            entry.origins.assign( sources.begin(), sources.end() );
            entry.kind = kind;
        }
    }

    /// Resolves the entries depth-first over their origins, whatever their
    /// order. The map changes only at the end, so that a cycle leaves it as
    /// it was.
    void resolve_depth_first(
        SurfaceCutEdgeMap& edges, const OriginLinks& origin_links )
    {
        const auto nb_entries = edges.size();
        const auto& first_link = origin_links.first_link;
        const auto& links = origin_links.links;
        constexpr std::uint8_t UNSEEN = 0;
        constexpr std::uint8_t IN_PROGRESS = 1;
        constexpr std::uint8_t RESOLVED = 2;
        absl::InlinedVector< std::uint8_t, 64 > states( nb_entries, UNSEEN );
        absl::InlinedVector< SurfaceCutEdgeEntry, 64 > resolved( nb_entries );
        // An explicit stack: chains of origins are as long as the number of
        // edits made on one edge.
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
                    if( !origin_links.leads_on( link ) || states[link] == RESOLVED )
                    {
                        continue;
                    }
                    if( states[link] == IN_PROGRESS )
                    {
                        const auto& edge = edges.entry( position ).first;
                        throw orvane::OpenOrvaneException{
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
                    if( link == SKIPPED_LINK )
                    {
                        continue;
                    }
                    if( origin_links.leads_on( link ) )
                    {
                        const auto& reached = resolved[link];
                        sources.origins.insert( sources.origins.end(),
                            reached.origins.begin(), reached.origins.end() );
                        sources.kind = std::min( sources.kind, reached.kind );
                        continue;
                    }
                    sources.origins.push_back(
                        entry.origins[k - first_link[position]] );
                    if( link != SOURCE_LINK )
                    {
                        sources.kind = std::min(
                            sources.kind, edges.entry( link ).second.kind );
                    }
                }
                sort_and_unique( sources.origins );
                states[position] = RESOLVED;
                stack.pop_back();
            }
        }
        for( std::size_t position = 0; position < nb_entries; position++ )
        {
            edges.entry( position ).second = std::move( resolved[position] );
        }
    }
    /// Resolves the entries in key order when each has one origin, as the
    /// cutter enters them, and every origin that is a key comes before its
    /// entry; otherwise changes nothing and returns false. An entry listing
    /// itself is marked by its link, its single origin being its own edge.
    ///
    /// An entry reached through its single origin is resolved by then, its
    /// origins sorted and distinct: they are copied whole. An entry that
    /// lists itself keeps its kind, which the entries reaching it take.
    bool resolve_single_origins( SurfaceCutEdgeMap& edges )
    {
        const auto nb_entries = edges.size();
        constexpr auto SELF_LINK = static_cast< std::uint32_t >( -3 );
        absl::FixedArray< std::uint32_t, 64 > links( nb_entries );
        const EdgePositions positions{ edges };
        for( std::size_t position = 0; position < nb_entries; position++ )
        {
            const auto& [edge, entry] = edges.entry( position );
            if( entry.origins.size() != 1 )
            {
                return false;
            }
            const auto& origin = entry.origins.front();
            auto& link = links[position];
            if( is_unset( origin ) )
            {
                link = SKIPPED_LINK;
                continue;
            }
            if( origin == edge )
            {
                link = SELF_LINK;
                continue;
            }
            const auto found = positions.find( origin );
            if( found == nb_entries )
            {
                link = SOURCE_LINK;
                continue;
            }
            if( found > position )
            {
                return false;
            }
            link = static_cast< std::uint32_t >( found );
        }
        for( std::size_t position = 0; position < nb_entries; position++ )
        {
            const auto link = links[position];
            if( link == SOURCE_LINK || link == SELF_LINK )
            {
                continue;
            }
            auto& entry = edges.entry( position ).second;
            if( link == SKIPPED_LINK )
            {
                entry.origins.clear();
                continue;
            }
            const auto& reached = edges.entry( link ).second;
            entry.kind = std::min( entry.kind, reached.kind );
            if( links[link] == SELF_LINK )
            {
                continue;
            }
            // The entry still holds its single origin: a single resolved
            // origin takes its place.
            if( reached.origins.size() == 1 )
            {
                entry.origins.front() = reached.origins.front();
                continue;
            }
            entry.origins = reached.origins;
        }
        return true;
    }
} // namespace

namespace orvane::detail
{
    void sort_edge_origins( absl::InlinedVector< PolygonEdge, 2 >& origins )
    {
        sort_and_unique( origins );
    }

    void resolve_edge_origins( SurfaceCutEdgeMap& edges )
    {
        // Positions in the map, which is sorted by edge, stand for edges.
        // The work arrays live on the stack for the usual few dozen entries
        // of one cut.
        if( resolve_single_origins( edges ) )
        {
            return;
        }
        const auto nb_entries = edges.size();
        std::size_t nb_origins{ 0 };
        for( std::size_t position = 0; position < nb_entries; position++ )
        {
            nb_origins += edges.entry( position ).second.origins.size();
        }
        // Every origin is looked up once: `links` holds, origin after origin
        // and entry after entry, the position of the entry it leads to, or
        // one of these two marks.
        absl::FixedArray< std::uint32_t, 64 > first_link( nb_entries + 1 );
        absl::FixedArray< std::uint32_t, 128 > links( nb_origins );
        absl::FixedArray< bool, 64 > lists_itself( nb_entries, false );
        const EdgePositions positions{ edges };
        // Whether every origin that is a key comes before its entry.
        bool leads_back{ true };
        std::uint32_t next_link{ 0 };
        for( std::size_t position = 0; position < nb_entries; position++ )
        {
            const auto& [edge, entry] = edges.entry( position );
            first_link[position] = next_link;
            for( const auto& origin : entry.origins )
            {
                auto& link = links[next_link++];
                if( is_unset( origin ) )
                {
                    link = SKIPPED_LINK;
                    continue;
                }
                if( origin == edge )
                {
                    lists_itself[position] = true;
                    link = SOURCE_LINK;
                    continue;
                }
                const auto found = positions.find( origin );
                if( found == nb_entries )
                {
                    link = SOURCE_LINK;
                    continue;
                }
                leads_back = leads_back && found < position;
                link = static_cast< std::uint32_t >( found );
            }
        }
        first_link[nb_entries] = next_link;
        const OriginLinks origin_links{ first_link, links, lists_itself };
        if( leads_back )
        {
            resolve_in_key_order( edges, origin_links );
        }
        else
        {
            resolve_depth_first( edges, origin_links );
        }
    }
} // namespace orvane::detail
