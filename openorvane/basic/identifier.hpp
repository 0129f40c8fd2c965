#pragma once

#include <string>
#include <string_view>

#include <openorvane/basic/uuid.hpp>

namespace orvane
{
    class IdentifierBuilder;

    /// The identity of a mesh or a component: a uuid and a name.
    ///
    /// A new object draws a fresh uuid and has an empty name. Both change
    /// only through an IdentifierBuilder, so that clones can take over the
    /// uuid of what they copy.
    class Identifier
    {
        friend class IdentifierBuilder;

    public:
        virtual ~Identifier();

        const uuid& id() const
        {
            return id_;
        }

        std::string_view name() const
        {
            return name_;
        }

    protected:
        Identifier();
        Identifier( const Identifier& );
        Identifier( Identifier&& ) noexcept;
        Identifier& operator=( const Identifier& );
        Identifier& operator=( Identifier&& ) noexcept;

    private:
        uuid id_;
        std::string name_;
    };

    /// Edits the uuid and the name of an Identifier.
    class IdentifierBuilder
    {
    public:
        explicit IdentifierBuilder( Identifier& identifier );
        virtual ~IdentifierBuilder();

        void set_id( const uuid& id );

        void set_name( std::string_view name );

    private:
        Identifier& identifier_;
    };
} // namespace orvane
