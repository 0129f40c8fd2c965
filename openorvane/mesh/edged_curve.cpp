#include <openorvane/mesh/edged_curve.hpp>

#include <string>
#include <utility>

#include <absl/strings/str_cat.h>

#include <openorvane/mesh/coordinates.hpp>

namespace orvane
{
    template < index_t dimension >
    class EdgedCurve< dimension >::Impl
    {
    public:
        CoordinateArray< dimension > points;
    };

    template < index_t dimension >
    EdgedCurve< dimension >::EdgedCurve() : impl_{ std::make_unique< Impl >() }
    {
    }

    template < index_t dimension >
    EdgedCurve< dimension >::EdgedCurve( EdgedCurve&& other ) noexcept
        : Graph{ std::move( other ) },
          impl_{ std::exchange( other.impl_, std::make_unique< Impl >() ) }
    {
    }

    template < index_t dimension >
    EdgedCurve< dimension >& EdgedCurve< dimension >::operator=(
        EdgedCurve&& other ) noexcept
    {
        if( this != &other )
        {
            Graph::operator=( std::move( other ) );
            impl_ = std::exchange( other.impl_, std::make_unique< Impl >() );
        }
        return *this;
    }

    template < index_t dimension >
    EdgedCurve< dimension >::~EdgedCurve() = default;

    template < index_t dimension >
    std::unique_ptr< EdgedCurve< dimension > > EdgedCurve< dimension >::create()
    {
        return create( MeshFactory::default_impl( type_name_static() ) );
    }

    template < index_t dimension >
    std::unique_ptr< EdgedCurve< dimension > > EdgedCurve< dimension >::create(
        const MeshImpl& impl )
    {
        return detail::create_mesh< EdgedCurve< dimension > >( impl );
    }

    template < index_t dimension >
    MeshType EdgedCurve< dimension >::type_name_static()
    {
        return MeshType{ absl::StrCat( "EdgedCurve", dimension, "D" ) };
    }

    template < index_t dimension >
    std::unique_ptr< EdgedCurve< dimension > > EdgedCurve< dimension >::clone() const
    {
        auto copy = create( this->impl_name() );
        auto builder = EdgedCurveBuilder< dimension >::create( *copy );
        builder->copy( *this );
        return copy;
    }

    template < index_t dimension >
    const Point< dimension >& EdgedCurve< dimension >::point( index_t vertex_id ) const
    {
        return impl_->points.point( vertex_id );
    }

    template < index_t dimension >
    BoundingBox< dimension > EdgedCurve< dimension >::bounding_box() const
    {
        return impl_->points.bounding_box();
    }

    template < index_t dimension >
    Segment< dimension > EdgedCurve< dimension >::segment( index_t edge_id ) const
    {
        return { point( edge_vertex( { edge_id, 0 } ) ),
            point( edge_vertex( { edge_id, 1 } ) ) };
    }

    template < index_t dimension >
    double EdgedCurve< dimension >::edge_length( index_t edge_id ) const
    {
        return segment( edge_id ).length();
    }

    template < index_t dimension >
    Point< dimension > EdgedCurve< dimension >::edge_barycenter( index_t edge_id ) const
    {
        return segment( edge_id ).barycenter();
    }

    template < index_t dimension >
    void EdgedCurve< dimension >::vertices_added( index_t nb_vertices_total )
    {
        Graph::vertices_added( nb_vertices_total );
        impl_->points.resize( nb_vertices_total );
    }

    template < index_t dimension >
    void EdgedCurve< dimension >::vertices_deleted(
        const std::vector< bool >& to_delete, const OldToNew& old2new )
    {
        Graph::vertices_deleted( to_delete, old2new );
        impl_->points.delete_points( to_delete );
    }

    template < index_t dimension >
    OpenOrvaneEdgedCurve< dimension >::OpenOrvaneEdgedCurve() = default;

    template < index_t dimension >
    OpenOrvaneEdgedCurve< dimension >::OpenOrvaneEdgedCurve(
        OpenOrvaneEdgedCurve&& other ) noexcept
        : EdgedCurve< dimension >{ std::move( other ) }
    {
    }

    template < index_t dimension >
    OpenOrvaneEdgedCurve< dimension >& OpenOrvaneEdgedCurve< dimension >::operator=(
        OpenOrvaneEdgedCurve&& other ) noexcept
    {
        EdgedCurve< dimension >::operator=( std::move( other ) );
        return *this;
    }

    template < index_t dimension >
    OpenOrvaneEdgedCurve< dimension >::~OpenOrvaneEdgedCurve() = default;

    template < index_t dimension >
    MeshImpl OpenOrvaneEdgedCurve< dimension >::impl_name_static()
    {
        return MeshImpl{ absl::StrCat( "OpenOrvaneEdgedCurve", dimension, "D" ) };
    }

    template < index_t dimension >
    MeshImpl OpenOrvaneEdgedCurve< dimension >::impl_name() const
    {
        return impl_name_static();
    }

    template < index_t dimension >
    MeshType OpenOrvaneEdgedCurve< dimension >::type_name() const
    {
        return EdgedCurve< dimension >::type_name_static();
    }

    template < index_t dimension >
    std::string_view OpenOrvaneEdgedCurve< dimension >::native_extension() const
    {
        static const std::string extension = absl::StrCat( "oo_edc", dimension, "d" );
        return extension;
    }

    template < index_t dimension >
    EdgedCurveBuilder< dimension >::EdgedCurveBuilder( EdgedCurve< dimension >& mesh )
        : GraphBuilder{ mesh }, curve_( mesh )
    {
    }

    template < index_t dimension >
    EdgedCurveBuilder< dimension >::~EdgedCurveBuilder() = default;

    template < index_t dimension >
    std::unique_ptr< EdgedCurveBuilder< dimension > >
        EdgedCurveBuilder< dimension >::create( EdgedCurve< dimension >& mesh )
    {
        return detail::create_mesh_builder< EdgedCurveBuilder< dimension > >( mesh );
    }

    template < index_t dimension >
    index_t EdgedCurveBuilder< dimension >::create_point( const Point< dimension >& point )
    {
        // Checked first, so that a refused point creates no vertex.
        CoordinateArray< dimension >::check_finite( point );
        const auto vertex = create_vertex();
        set_point( vertex, point );
        return vertex;
    }

    template < index_t dimension >
    void EdgedCurveBuilder< dimension >::set_point(
        index_t vertex_id, const Point< dimension >& point )
    {
        curve_.impl_->points.set_point( vertex_id, point );
    }

    template < index_t dimension >
    void EdgedCurveBuilder< dimension >::copy( const EdgedCurve< dimension >& curve )
    {
        if( &curve == &curve_ )
        {
            return;
        }
        GraphBuilder::copy( curve );
        curve_.impl_->points = curve.impl_->points;
    }

    template < index_t dimension >
    OpenOrvaneEdgedCurveBuilder< dimension >::OpenOrvaneEdgedCurveBuilder( VertexSet& mesh )
        : EdgedCurveBuilder< dimension >{ dynamic_cast< EdgedCurve< dimension >& >(
              mesh ) }
    {
    }

    template < index_t dimension >
    OpenOrvaneEdgedCurveBuilder< dimension >::~OpenOrvaneEdgedCurveBuilder() = default;

    template class EdgedCurve< 2 >;
    template class EdgedCurve< 3 >;
    template class OpenOrvaneEdgedCurve< 2 >;
    template class OpenOrvaneEdgedCurve< 3 >;
    template class EdgedCurveBuilder< 2 >;
    template class EdgedCurveBuilder< 3 >;
    template class OpenOrvaneEdgedCurveBuilder< 2 >;
    template class OpenOrvaneEdgedCurveBuilder< 3 >;
} // namespace orvane
