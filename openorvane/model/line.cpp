#include <openorvane/model/line.hpp>

#include <utility>

namespace orvane
{
    template < index_t dimension >
    Line< dimension >::Line( std::unique_ptr< EdgedCurve< dimension > > mesh )
        : internal::MeshComponent< EdgedCurve< dimension > >( std::move( mesh ) )
    {
    }

    template < index_t dimension >
    Line< dimension >::~Line() = default;

    template < index_t dimension >
    ComponentType Line< dimension >::component_type_static()
    {
        return ComponentType{ "Line" };
    }

    template < index_t dimension >
    ComponentID Line< dimension >::component_id() const
    {
        return { component_type_static(), this->id() };
    }

    template < index_t dimension >
    Lines< dimension >::Lines() = default;

    template < index_t dimension >
    Lines< dimension >::Lines( Lines&& ) noexcept = default;

    template < index_t dimension >
    Lines< dimension >& Lines< dimension >::operator=( Lines&& ) noexcept = default;

    template < index_t dimension >
    Lines< dimension >::~Lines() = default;

    template < index_t dimension >
    index_t Lines< dimension >::nb_lines() const
    {
        return registry_.size();
    }

    template < index_t dimension >
    bool Lines< dimension >::has_line( const uuid& id ) const
    {
        return registry_.contains( id );
    }

    template < index_t dimension >
    const Line< dimension >& Lines< dimension >::line( const uuid& id ) const
    {
        return registry_.at( id );
    }

    template < index_t dimension >
    ComponentRange< Line< dimension > > Lines< dimension >::lines() const
    {
        return registry_.range();
    }

    template < index_t dimension >
    Line< dimension >& Lines< dimension >::modifiable_line( const uuid& id )
    {
        return registry_.at( id );
    }

    template < index_t dimension >
    LinesBuilder< dimension >::LinesBuilder( Lines< dimension >& lines )
        : lines_( lines )
    {
    }

    template < index_t dimension >
    LinesBuilder< dimension >::~LinesBuilder() = default;

    template < index_t dimension >
    std::unique_ptr< EdgedCurveBuilder< dimension > >
        LinesBuilder< dimension >::line_mesh_builder( const uuid& id )
    {
        return EdgedCurveBuilder< dimension >::create(
            lines_.modifiable_line( id ).get_modifiable_mesh() );
    }

    template < index_t dimension >
    void LinesBuilder< dimension >::set_line_name(
        const uuid& id, std::string_view name )
    {
        IdentifierBuilder{ lines_.modifiable_line( id ) }.set_name( name );
    }

    template < index_t dimension >
    Line< dimension >& LinesBuilder< dimension >::modifiable_line( const uuid& id )
    {
        return lines_.modifiable_line( id );
    }

    template < index_t dimension >
    const Line< dimension >& LinesBuilder< dimension >::create_line(
        const uuid& id, const MeshImpl& impl )
    {
        std::unique_ptr< Line< dimension > > line{ new Line< dimension >{
            EdgedCurve< dimension >::create( impl ) } };
        IdentifierBuilder{ *line }.set_id( id );
        return lines_.registry_.add( std::move( line ) );
    }

    template < index_t dimension >
    void LinesBuilder< dimension >::delete_line( const uuid& id )
    {
        lines_.registry_.remove( id );
    }

    template < index_t dimension >
    void LinesBuilder< dimension >::set_line_mesh(
        const uuid& id, std::unique_ptr< EdgedCurve< dimension > > mesh )
    {
        if( !mesh )
        {
            throw OpenOrvaneException{ "[LinesBuilder::set_line_mesh] "
                                       "The new mesh is null" };
        }
        lines_.modifiable_line( id ).exchange_mesh( std::move( mesh ) );
    }

    template class Line< 2 >;
    template class Line< 3 >;
    template class Lines< 2 >;
    template class Lines< 3 >;
    template class LinesBuilder< 2 >;
    template class LinesBuilder< 3 >;
} // namespace orvane
