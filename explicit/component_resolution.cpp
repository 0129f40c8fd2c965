#include <explicit/component_resolution.hpp>

#include <absl/container/flat_hash_set.h>

namespace
{
    using orvane::index_t;
    using orvane::internal::ProblematicElements;

    /// The distinct indices of `lists` that `zone` holds for the same uuid.
    std::size_t count_listed( const ProblematicElements::ElementLists& lists,
        const ProblematicElements::ElementLists& zone )
    {
        std::size_t count{ 0 };
        for( const auto& [mesh, elements] : lists )
        {
            const auto zone_elements = zone.find( mesh );
            if( zone_elements == zone.end() )
            {
                continue;
            }
            const absl::flat_hash_set< index_t > in_zone{
                zone_elements->second.begin(), zone_elements->second.end()
            };
            absl::flat_hash_set< index_t > seen;
            for( const auto element : elements )
            {
                if( in_zone.contains( element ) && seen.insert( element ).second )
                {
                    count++;
                }
            }
        }
        return count;
    }

    std::size_t count_distinct( const ProblematicElements::ElementLists& lists )
    {
        std::size_t count{ 0 };
        for( const auto& entry : lists )
        {
            count += absl::flat_hash_set< index_t >{ entry.second.begin(),
                entry.second.end() }
                         .size();
        }
        return count;
    }
} // namespace

namespace orvane
{
    namespace internal
    {
        int zone_status(
            const ProblematicElements& left_over, const ProblematicElements& zone )
        {
            // An index reported that the zone does not hold still means the
            // zone was not resolved completely.
            if( left_over.count() == 0 )
            {
                return 2;
            }
            const auto nb_insertable =
                count_distinct( zone.surfaces ) + count_distinct( zone.lines );
            const auto nb_failed = count_listed( left_over.surfaces, zone.surfaces )
                                   + count_listed( left_over.lines, zone.lines );
            return nb_failed >= nb_insertable ? 0 : 1;
        }
    } // namespace internal
} // namespace orvane
