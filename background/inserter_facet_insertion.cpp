#include <background/background_solid_inserter_impl.hpp>

namespace orvane
{
    namespace internal
    {
        void BackgroundSolidInserter::Impl::insert_polygon_facet(
            const uuid& /*surface_id*/,
            index_t /*polygon*/,
            const std::array< EdgeInsertion, 3 >& /*edges*/ )
        {
            throw OpenOrvaneException{
                "[BackgroundSolidInserter::insert_polygon_facet] not available"
            };
        }
    } // namespace internal
} // namespace orvane
