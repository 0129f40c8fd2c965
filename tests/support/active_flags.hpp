#pragma once

#include <memory>

#include <openorvane/basic/attribute_manager.hpp>
#include <openorvane/basic/types.hpp>

namespace orvane
{
    namespace test
    {
        /// The "orvane_active" bool flags the modifiers keep on the elements
        /// they edit. Without the attribute (or default-constructed) every
        /// element reads as active.
        class ActiveFlags
        {
        public:
            ActiveFlags() = default;

            explicit ActiveFlags( const AttributeManager& manager )
            {
                if( manager.attribute_exists( NAME ) )
                {
                    flags_ = manager.find_attribute< bool >( NAME );
                }
            }

            /// Whether the element set carries the attribute.
            bool exists() const
            {
                return flags_ != nullptr;
            }

            bool operator()( index_t element ) const
            {
                return !flags_ || flags_->value( element );
            }

        private:
            static constexpr const char* NAME = "orvane_active";

            std::shared_ptr< ReadOnlyAttribute< bool > > flags_;
        };
    } // namespace test
} // namespace orvane
