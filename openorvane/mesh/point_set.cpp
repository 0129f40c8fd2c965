#include <openorvane/mesh/point_set.hpp>

#include <string>
#include <utility>

#include <absl/strings/str_cat.h>

#include <openorvane/mesh/coordinates.hpp>

namespace orvane
{
    template < index_t dimension >
    class PointSet< dimension >::Impl
    {
    public:
        CoordinateArray< dimension > points;
    };

    template < index_t dimension >
    PointSet< dimension >::PointSet() : impl_{ std::make_unique< Impl >() }
    {
    }

    template < index_t dimension >
    PointSet< dimension >::PointSet( PointSet&& other ) noexcept
        : VertexSet{ std::move( other ) },
          impl_{ std::exchange( other.impl_, std::make_unique< Impl >() ) }
    {
    }

    template < index_t dimension >
    PointSet< dimension >& PointSet< dimension >::operator=( PointSet&& other ) noexcept
    {
        if( this != &other )
        {
            VertexSet::operator=( std::move( other ) );
            impl_ = std::exchange( other.impl_, std::make_unique< Impl >() );
        }
        return *this;
    }

    template < index_t dimension >
    PointSet< dimension >::~PointSet() = default;

    template < index_t dimension >
    std::unique_ptr< PointSet< dimension > > PointSet< dimension >::create()
    {
        return create( MeshFactory::default_impl( type_name_static() ) );
    }

    template < index_t dimension >
    std::unique_ptr< PointSet< dimension > > PointSet< dimension >::create(
        const MeshImpl& impl )
    {
        return detail::create_mesh< PointSet< dimension > >( impl );
    }

    template < index_t dimension >
    MeshType PointSet< dimension >::type_name_static()
    {
        return MeshType{ absl::StrCat( "PointSet", dimension, "D" ) };
    }

    template < index_t dimension >
    std::unique_ptr< PointSet< dimension > > PointSet< dimension >::clone() const
    {
        auto copy = create( this->impl_name() );
        auto builder = PointSetBuilder< dimension >::create( *copy );
        builder->copy( *this );
        return copy;
    }

    template < index_t dimension >
    const Point< dimension >& PointSet< dimension >::point( index_t vertex_id ) const
    {
        return impl_->points.point( vertex_id );
    }

    template < index_t dimension >
    BoundingBox< dimension > PointSet< dimension >::bounding_box() const
    {
        return impl_->points.bounding_box();
    }

    template < index_t dimension >
    void PointSet< dimension >::vertices_added( index_t nb_vertices_total )
    {
        VertexSet::vertices_added( nb_vertices_total );
        impl_->points.resize( nb_vertices_total );
    }

    template < index_t dimension >
    void PointSet< dimension >::vertices_deleted(
        const std::vector< bool >& to_delete, const OldToNew& old2new )
    {
        VertexSet::vertices_deleted( to_delete, old2new );
        impl_->points.delete_points( to_delete );
    }

    template < index_t dimension >
    OpenOrvanePointSet< dimension >::OpenOrvanePointSet() = default;

    template < index_t dimension >
    OpenOrvanePointSet< dimension >::OpenOrvanePointSet(
        OpenOrvanePointSet&& other ) noexcept
        : PointSet< dimension >{ std::move( other ) }
    {
    }

    template < index_t dimension >
    OpenOrvanePointSet< dimension >& OpenOrvanePointSet< dimension >::operator=(
        OpenOrvanePointSet&& other ) noexcept
    {
        PointSet< dimension >::operator=( std::move( other ) );
        return *this;
    }

    template < index_t dimension >
    OpenOrvanePointSet< dimension >::~OpenOrvanePointSet() = default;

    template < index_t dimension >
    MeshImpl OpenOrvanePointSet< dimension >::impl_name_static()
    {
        return MeshImpl{ absl::StrCat( "OpenOrvanePointSet", dimension, "D" ) };
    }

    template < index_t dimension >
    MeshImpl OpenOrvanePointSet< dimension >::impl_name() const
    {
        return impl_name_static();
    }

    template < index_t dimension >
    MeshType OpenOrvanePointSet< dimension >::type_name() const
    {
        return PointSet< dimension >::type_name_static();
    }

    template < index_t dimension >
    std::string_view OpenOrvanePointSet< dimension >::native_extension() const
    {
        static const std::string extension = absl::StrCat( "oo_pts", dimension, "d" );
        return extension;
    }

    template < index_t dimension >
    PointSetBuilder< dimension >::PointSetBuilder( PointSet< dimension >& mesh )
        : VertexSetBuilder{ mesh }, point_set_( mesh )
    {
    }

    template < index_t dimension >
    PointSetBuilder< dimension >::~PointSetBuilder() = default;

    template < index_t dimension >
    std::unique_ptr< PointSetBuilder< dimension > > PointSetBuilder< dimension >::create(
        PointSet< dimension >& mesh )
    {
        return detail::create_mesh_builder< PointSetBuilder< dimension > >( mesh );
    }

    template < index_t dimension >
    index_t PointSetBuilder< dimension >::create_point( const Point< dimension >& point )
    {
        // Checked first, so that a refused point creates no vertex.
        CoordinateArray< dimension >::check_finite( point );
        const auto vertex = create_vertex();
        set_point( vertex, point );
        return vertex;
    }

    template < index_t dimension >
    void PointSetBuilder< dimension >::set_point(
        index_t vertex_id, const Point< dimension >& point )
    {
        point_set_.impl_->points.set_point( vertex_id, point );
    }

    template < index_t dimension >
    void PointSetBuilder< dimension >::copy( const PointSet< dimension >& points )
    {
        if( &points == &point_set_ )
        {
            return;
        }
        copy_vertex_set( points );
        point_set_.impl_->points = points.impl_->points;
    }

    template < index_t dimension >
    OpenOrvanePointSetBuilder< dimension >::OpenOrvanePointSetBuilder( VertexSet& mesh )
        : PointSetBuilder< dimension >{ dynamic_cast< PointSet< dimension >& >( mesh ) }
    {
    }

    template < index_t dimension >
    OpenOrvanePointSetBuilder< dimension >::~OpenOrvanePointSetBuilder() = default;

    template class PointSet< 2 >;
    template class PointSet< 3 >;
    template class OpenOrvanePointSet< 2 >;
    template class OpenOrvanePointSet< 3 >;
    template class PointSetBuilder< 2 >;
    template class PointSetBuilder< 3 >;
    template class OpenOrvanePointSetBuilder< 2 >;
    template class OpenOrvanePointSetBuilder< 3 >;
} // namespace orvane
