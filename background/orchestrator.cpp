#include <background/orchestrator.hpp>

#include <algorithm>

#include <absl/container/flat_hash_set.h>

#include <openorvane/basic/exception.hpp>

namespace
{
    /// Try states of an (element, stamp) pair.
    constexpr std::uint32_t UNTRIED = 0;
    constexpr std::uint32_t FAILED_ONCE = 1;
    constexpr std::uint32_t FAILED_TWICE = 2;

    constexpr const char* TOO_MANY_SKIPS =
        "[Orchestrator::process_queue] Too many skipped elements";
    constexpr const char* TOO_MANY_STEPS =
        "[Orchestrator::process_queue] Too many steps while orchestrating "
        "elements";
} // namespace

namespace orvane
{
    namespace internal
    {
        template < typename Element >
        Orchestrator< Element >::~Orchestrator() = default;

        template < typename Element >
        void Orchestrator< Element >::add_element( Element element )
        {
            const auto [found, inserted] = stamps_.try_emplace( element, 0 );
            if( !inserted )
            {
                found->second++;
            }
            queue_.emplace_back( element, found->second );
        }

        template < typename Element >
        void Orchestrator< Element >::set_default_max_steps()
        {
            const auto nb_entries = static_cast< std::uint32_t >( queue_.size() );
            max_steps_ = std::max< std::uint32_t >( 1000, 100 * nb_entries );
        }

        template < typename Element >
        bool Orchestrator< Element >::count_skip( const Entry& entry )
        {
            skips_++;
            if( skips_ <= skip_limit_ )
            {
                return false;
            }
            // The entry was not processed successfully: keep it queued, so
            // that the caller sees every element left over.
            queue_.emplace_back( entry.first, stamps_.at( entry.first ) );
            if( stop_on_limit() )
            {
                return true;
            }
            throw OpenOrvaneException{ TOO_MANY_SKIPS };
        }

        template < typename Element >
        bool Orchestrator< Element >::has_current_entry() const
        {
            return std::any_of( queue_.begin(), queue_.end(),
                [this]( const Entry& entry ) {
                    return stamps_.at( entry.first ) == entry.second;
                } );
        }

        template < typename Element >
        void Orchestrator< Element >::process_queue()
        {
            while( !queue_.empty() )
            {
                if( steps_ >= max_steps_ )
                {
                    break;
                }
                const auto nb_entries =
                    static_cast< std::uint32_t >( queue_.size() );
                retry_ = skips_ >= nb_entries;
                skip_limit_ = double_skip_limit() ? 2 * nb_entries : nb_entries;
                const auto entry = queue_.front();
                queue_.pop_front();
                if( stamps_.at( entry.first ) != entry.second
                    || skip_element( entry ) )
                {
                    continue;
                }
                auto& state = tries_.try_emplace( entry, UNTRIED ).first->second;
                const auto processed = retry_ ? state == FAILED_ONCE
                                              : state == UNTRIED;
                if( !processed )
                {
                    if( count_skip( entry ) )
                    {
                        break;
                    }
                    queue_.emplace_back( entry.first, stamps_.at( entry.first ) );
                    continue;
                }
                const auto result = process_element( entry );
                if( result.done )
                {
                    skips_ = 0;
                    steps_++;
                }
                else
                {
                    // process_element may have grown the map: find the state
                    // again.
                    tries_[entry] = retry_ ? FAILED_TWICE : FAILED_ONCE;
                    if( count_skip( entry ) )
                    {
                        break;
                    }
                }
                for( const auto touched : result.touched )
                {
                    queue_.emplace_back( touched, stamps_.at( touched ) );
                }
                for( const auto created : result.created )
                {
                    add_element( created );
                }
            }
            // A run that ended with its work done is not reported, even when
            // its last success reached the limit.
            if( steps_ >= max_steps_ && has_current_entry() )
            {
                if( stop_on_limit() )
                {
                    return;
                }
                throw OpenOrvaneException{ TOO_MANY_STEPS };
            }
        }

        template < typename Element >
        std::vector< Element > Orchestrator< Element >::queued_elements() const
        {
            std::vector< Element > elements;
            absl::flat_hash_set< Element > listed;
            for( const auto& [element, stamp] : queue_ )
            {
                if( stamps_.at( element ) == stamp && listed.insert( element ).second )
                {
                    elements.push_back( element );
                }
            }
            return elements;
        }

        template class Orchestrator< unsigned int >;
    } // namespace internal
} // namespace orvane
