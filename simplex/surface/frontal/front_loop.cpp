#include <cmath>

#include <simplex/surface/frontal/frontal_remesher_impl.hpp>

namespace
{
    /// A candidate closer to the query than this share of the height is a
    /// narrow gap.
    constexpr double NARROW_GAP_RATIO = 0.1;
} // namespace

namespace orvane::internal
{
    template < index_t dimension >
    void FrontalRemesher< dimension >::Impl::remesh( FrontalResult< dimension >& result )
    {
        prepare_macro_surface();
        create_macro_attributes();
        initialize_queue();
        advance_front();
        result = finish();
    }

    template < index_t dimension >
    void FrontalRemesher< dimension >::Impl::advance_front()
    {
        const auto remap = [this]( index_t vertex ) {
            return updated_vertex( vertex );
        };
        while( !front.empty() )
        {
            auto element = front.top();
            front.pop();
            // Closed from its other side after it was queued.
            if( element_triangles.at( element.id ).second != NO_ID )
            {
                continue;
            }
            element.remap_vertices( remap );
            process_queue_element( element );
        }
    }

    template < index_t dimension >
    bool FrontalRemesher< dimension >::Impl::process_queue_element(
        FrontalQueueElement< dimension >& element )
    {
        const auto query = ( element.p0 + element.p1 ) / 2.;
        const auto first = owner->candidate_point( element, query );
        if( !first )
        {
            return false;
        }
        if( first->on_vertex && first->element == element.id )
        {
            return false;
        }
        // Two border elements facing each other across a gap much narrower
        // than the height: search again from where the first search began,
        // with a height that fits the gap.
        if( first->on_vertex && first->distance / element.height < NARROW_GAP_RATIO
            && element_triangles.at( element.id ).first == NO_ID
            && first->element != NO_ID
            && element_triangles.at( first->element ).first == NO_ID )
        {
            element.height = std::abs( first->distance - first->start_distance ) / 2;
            const auto second = owner->candidate_point( element, first->start );
            if( second && ( !second->on_vertex || second->element != element.id ) )
            {
                return process_candidate( element, *second );
            }
        }
        return process_candidate( element, *first );
    }

    template class FrontalRemesher< 2 >::Impl;
    template class FrontalRemesher< 3 >::Impl;
} // namespace orvane::internal
