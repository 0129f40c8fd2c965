#include <openorvane/basic/attribute_manager.hpp>

#include <algorithm>
#include <functional>
#include <map>
#include <string>

#include <openorvane/basic/exception.hpp>
#include <openorvane/basic/logger.hpp>

namespace orvane
{
    class AttributeManager::Impl
    {
    public:
        // Ordered by name, so that every walk over the attributes (and the
        // warnings it may log) is the same from one run to the next.
        using Attributes =
            std::map< std::string, std::shared_ptr< AttributeBase >, std::less<> >;

        /// Rebuilds the lists below from the map; called after every change
        /// of the registered attributes.
        void index_attributes()
        {
            in_order.clear();
            nb_assignable = 0;
            nb_interpolable = 0;
            for( const auto& entry : attributes )
            {
                in_order.push_back( entry.second.get() );
                nb_assignable += entry.second->properties().assignable ? 1 : 0;
                nb_interpolable += entry.second->properties().interpolable ? 1 : 0;
            }
        }

        Attributes attributes;
        // The attributes in name order, and how many have each property:
        // meshes resize their attributes and ask these questions once per
        // created element, which the map answers much more slowly. An
        // attribute's properties never change once it is constructed.
        std::vector< AttributeBase* > in_order;
        index_t nb_assignable{ 0 };
        index_t nb_interpolable{ 0 };
        index_t nb_elements{ 0 };
    };

    AttributeManager::AttributeManager() : impl_{ std::make_unique< Impl >() }
    {
    }

    AttributeManager::~AttributeManager() = default;

    // A moved-from manager is left valid and empty.
    AttributeManager::AttributeManager( AttributeManager&& other ) noexcept
        : impl_{ std::exchange( other.impl_, std::make_unique< Impl >() ) }
    {
    }

    AttributeManager& AttributeManager::operator=(
        AttributeManager&& other ) noexcept
    {
        if( this != &other )
        {
            impl_ = std::exchange( other.impl_, std::make_unique< Impl >() );
        }
        return *this;
    }

    std::shared_ptr< AttributeBase > AttributeManager::find_attribute_base(
        std::string_view name ) const
    {
        const auto it = impl_->attributes.find( name );
        if( it == impl_->attributes.end() )
        {
            return {};
        }
        return it->second;
    }

    void AttributeManager::register_attribute(
        std::shared_ptr< AttributeBase > attribute, std::string_view name )
    {
        attribute->resize( impl_->nb_elements );
        attribute->set_name( name );
        impl_->attributes.insert_or_assign(
            std::string{ name }, std::move( attribute ) );
        impl_->index_attributes();
    }

    void AttributeManager::delete_attribute( std::string_view name )
    {
        const auto it = impl_->attributes.find( name );
        if( it != impl_->attributes.end() )
        {
            impl_->attributes.erase( it );
            impl_->index_attributes();
        }
    }

    bool AttributeManager::attribute_exists( std::string_view name ) const
    {
        return impl_->attributes.find( name ) != impl_->attributes.end();
    }

    std::vector< std::string_view > AttributeManager::attribute_names() const
    {
        std::vector< std::string_view > names;
        names.reserve( impl_->attributes.size() );
        for( const auto& entry : impl_->attributes )
        {
            names.emplace_back( entry.first );
        }
        return names;
    }

    index_t AttributeManager::nb_elements() const
    {
        return impl_->nb_elements;
    }

    void AttributeManager::reserve( index_t capacity )
    {
        for( const auto& entry : impl_->attributes )
        {
            entry.second->reserve( capacity );
        }
    }

    void AttributeManager::resize( index_t nb_elements )
    {
        for( auto* attribute : impl_->in_order )
        {
            attribute->resize( nb_elements );
        }
        impl_->nb_elements = nb_elements;
    }

    void AttributeManager::delete_elements( const std::vector< bool >& to_delete )
    {
        if( to_delete.size() != impl_->nb_elements )
        {
            throw OpenOrvaneException{
                "[AttributeManager::delete_elements] Expected one flag per "
                "element: ",
                to_delete.size(), " flags for ", impl_->nb_elements,
                " elements"
            };
        }
        for( const auto& entry : impl_->attributes )
        {
            entry.second->erase_flagged_elements( to_delete );
        }
        impl_->nb_elements -= static_cast< index_t >(
            std::count( to_delete.begin(), to_delete.end(), true ) );
    }

    void AttributeManager::permute_elements(
        absl::Span< const index_t > permutation )
    {
        if( permutation.size() != impl_->nb_elements )
        {
            throw OpenOrvaneException{
                "[AttributeManager::permute_elements] Expected one entry per "
                "element: ",
                permutation.size(), " entries for ", impl_->nb_elements,
                " elements"
            };
        }
        std::vector< bool > seen( permutation.size(), false );
        for( const auto old_element : permutation )
        {
            if( old_element >= permutation.size() || seen[old_element] )
            {
                throw OpenOrvaneException{
                    "[AttributeManager::permute_elements] The given indices "
                    "are not a permutation of the elements"
                };
            }
            seen[old_element] = true;
        }
        for( const auto& entry : impl_->attributes )
        {
            entry.second->apply_permutation( permutation );
        }
    }

    void AttributeManager::copy( const AttributeManager& other )
    {
        if( this == &other )
        {
            return;
        }
        Impl copied;
        copied.nb_elements = other.impl_->nb_elements;
        for( const auto& [name, attribute] : other.impl_->attributes )
        {
            auto duplicated = attribute->duplicate();
            duplicated->set_name( name );
            copied.attributes.emplace( name, std::move( duplicated ) );
        }
        copied.index_attributes();
        *impl_ = std::move( copied );
    }

    void AttributeManager::clear()
    {
        impl_->attributes.clear();
        impl_->index_attributes();
        impl_->nb_elements = 0;
    }

    bool AttributeManager::has_assignable_attributes() const
    {
        return impl_->nb_assignable > 0;
    }

    bool AttributeManager::has_interpolable_attributes() const
    {
        return impl_->nb_interpolable > 0;
    }

    void AttributeManager::assign_attribute_value( index_t from, index_t to )
    {
        ORVANE_EXCEPTION( from < impl_->nb_elements && to < impl_->nb_elements,
            "[AttributeManager::assign_attribute_value] Element ",
            std::max( from, to ), " does not exist (", impl_->nb_elements,
            " elements)" );
        for( auto* attribute : impl_->in_order )
        {
            if( attribute->properties().assignable )
            {
                attribute->assign_element_value( from, to );
            }
        }
    }

    void AttributeManager::interpolate_attribute_value(
        const AttributeLinearInterpolation& interpolation, index_t element )
    {
        const auto nb_elements = impl_->nb_elements;
        ORVANE_EXCEPTION( element < nb_elements,
            "[AttributeManager::interpolate_attribute_value] Element ", element,
            " does not exist (", nb_elements, " elements)" );
        for( index_t i = 0; i < interpolation.nb_indices(); i++ )
        {
            ORVANE_EXCEPTION( interpolation.index( i ) < nb_elements,
                "[AttributeManager::interpolate_attribute_value] Interpolated "
                "element ",
                interpolation.index( i ), " does not exist (", nb_elements,
                " elements)" );
        }
        for( auto* attribute : impl_->in_order )
        {
            if( attribute->properties().interpolable )
            {
                attribute->interpolate_element_value( interpolation, element );
            }
        }
    }

    void AttributeManager::import(
        const AttributeManager& other, absl::Span< const index_t > old2new )
    {
        if( old2new.size() > other.impl_->nb_elements )
        {
            throw OpenOrvaneException{
                "[AttributeManager::import] The old-to-new table has ",
                old2new.size(), " entries for ", other.impl_->nb_elements,
                " elements"
            };
        }
        // Checked before anything is written, so that a bad table leaves
        // every attribute as it was.
        for( const auto new_element : old2new )
        {
            if( new_element != NO_ID )
            {
                detail::check_extract_target( new_element, impl_->nb_elements );
            }
        }
        for( const auto& [name, attribute] : other.impl_->attributes )
        {
            const auto existing = find_attribute_base( name );
            if( !existing )
            {
                register_attribute(
                    attribute->extract( old2new, impl_->nb_elements ), name );
                continue;
            }
            if( !existing->import_values( *attribute, old2new ) )
            {
                Logger::log_warn( "[AttributeManager::import] Attribute \"", name,
                    "\" is not imported: it is stored as ",
                    existing->value_type_name(), " here and as ",
                    attribute->value_type_name(), " in the imported set" );
            }
        }
    }
} // namespace orvane
