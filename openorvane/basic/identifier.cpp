#include <openorvane/basic/identifier.hpp>

namespace orvane
{
    Identifier::Identifier() = default;
    Identifier::Identifier( const Identifier& ) = default;
    Identifier::Identifier( Identifier&& ) noexcept = default;
    Identifier& Identifier::operator=( const Identifier& ) = default;
    Identifier& Identifier::operator=( Identifier&& ) noexcept = default;
    Identifier::~Identifier() = default;

    IdentifierBuilder::IdentifierBuilder( Identifier& identifier )
        : identifier_( identifier )
    {
    }

    IdentifierBuilder::~IdentifierBuilder() = default;

    void IdentifierBuilder::set_id( const uuid& id )
    {
        identifier_.id_ = id;
    }

    void IdentifierBuilder::set_name( std::string_view name )
    {
        identifier_.name_ = std::string{ name };
    }
} // namespace orvane
