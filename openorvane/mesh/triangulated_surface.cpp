#include <openorvane/mesh/triangulated_surface.hpp>

#include <string>

#include <absl/strings/str_cat.h>

#include <openorvane/mesh/triangulated_surface_builder.hpp>

namespace orvane
{
    template < index_t dimension >
    TriangulatedSurface< dimension >::TriangulatedSurface() = default;

    template < index_t dimension >
    TriangulatedSurface< dimension >::TriangulatedSurface(
        TriangulatedSurface&& other ) noexcept
        : SurfaceMesh< dimension >{ std::move( other ) }
    {
    }

    template < index_t dimension >
    TriangulatedSurface< dimension >& TriangulatedSurface< dimension >::operator=(
        TriangulatedSurface&& other ) noexcept
    {
        SurfaceMesh< dimension >::operator=( std::move( other ) );
        return *this;
    }

    template < index_t dimension >
    TriangulatedSurface< dimension >::~TriangulatedSurface() = default;

    template < index_t dimension >
    std::unique_ptr< TriangulatedSurface< dimension > >
        TriangulatedSurface< dimension >::create()
    {
        return create( MeshFactory::default_impl( type_name_static() ) );
    }

    template < index_t dimension >
    std::unique_ptr< TriangulatedSurface< dimension > >
        TriangulatedSurface< dimension >::create( const MeshImpl& impl )
    {
        return detail::create_mesh< TriangulatedSurface< dimension > >( impl );
    }

    template < index_t dimension >
    MeshType TriangulatedSurface< dimension >::type_name_static()
    {
        return MeshType{ absl::StrCat( "TriangulatedSurface", dimension, "D" ) };
    }

    template < index_t dimension >
    std::unique_ptr< TriangulatedSurface< dimension > >
        TriangulatedSurface< dimension >::clone() const
    {
        auto copy = create( this->impl_name() );
        auto builder = TriangulatedSurfaceBuilder< dimension >::create( *copy );
        builder->copy( *this );
        return copy;
    }

    template < index_t dimension >
    Triangle< dimension > TriangulatedSurface< dimension >::triangle(
        index_t polygon_id ) const
    {
        return { this->point( this->polygon_vertex( { polygon_id, 0 } ) ),
            this->point( this->polygon_vertex( { polygon_id, 1 } ) ),
            this->point( this->polygon_vertex( { polygon_id, 2 } ) ) };
    }

    template < index_t dimension >
    OpenOrvaneTriangulatedSurface< dimension >::OpenOrvaneTriangulatedSurface() = default;

    template < index_t dimension >
    OpenOrvaneTriangulatedSurface< dimension >::OpenOrvaneTriangulatedSurface(
        OpenOrvaneTriangulatedSurface&& other ) noexcept
        : TriangulatedSurface< dimension >{ std::move( other ) }
    {
    }

    template < index_t dimension >
    OpenOrvaneTriangulatedSurface< dimension >&
        OpenOrvaneTriangulatedSurface< dimension >::operator=(
            OpenOrvaneTriangulatedSurface&& other ) noexcept
    {
        TriangulatedSurface< dimension >::operator=( std::move( other ) );
        return *this;
    }

    template < index_t dimension >
    OpenOrvaneTriangulatedSurface< dimension >::~OpenOrvaneTriangulatedSurface() =
        default;

    template < index_t dimension >
    MeshImpl OpenOrvaneTriangulatedSurface< dimension >::impl_name_static()
    {
        return MeshImpl{ absl::StrCat(
            "OpenOrvaneTriangulatedSurface", dimension, "D" ) };
    }

    template < index_t dimension >
    MeshImpl OpenOrvaneTriangulatedSurface< dimension >::impl_name() const
    {
        return impl_name_static();
    }

    template < index_t dimension >
    MeshType OpenOrvaneTriangulatedSurface< dimension >::type_name() const
    {
        return TriangulatedSurface< dimension >::type_name_static();
    }

    template < index_t dimension >
    std::string_view OpenOrvaneTriangulatedSurface< dimension >::native_extension()
        const
    {
        static const std::string extension = absl::StrCat( "oo_tsf", dimension, "d" );
        return extension;
    }

    template < index_t dimension >
    TriangulatedSurfaceBuilder< dimension >::TriangulatedSurfaceBuilder(
        TriangulatedSurface< dimension >& mesh )
        : SurfaceMeshBuilder< dimension >{ mesh }
    {
    }

    template < index_t dimension >
    TriangulatedSurfaceBuilder< dimension >::~TriangulatedSurfaceBuilder() = default;

    template < index_t dimension >
    std::unique_ptr< TriangulatedSurfaceBuilder< dimension > >
        TriangulatedSurfaceBuilder< dimension >::create(
            TriangulatedSurface< dimension >& mesh )
    {
        return detail::create_mesh_builder< TriangulatedSurfaceBuilder< dimension > >(
            mesh );
    }

    template < index_t dimension >
    index_t TriangulatedSurfaceBuilder< dimension >::create_triangle(
        const std::array< index_t, 3 >& vertices )
    {
        return this->create_polygon( vertices );
    }

    template < index_t dimension >
    OpenOrvaneTriangulatedSurfaceBuilder< dimension >::OpenOrvaneTriangulatedSurfaceBuilder(
        VertexSet& mesh )
        : TriangulatedSurfaceBuilder< dimension >{
              dynamic_cast< TriangulatedSurface< dimension >& >( mesh )
          }
    {
    }

    template < index_t dimension >
    OpenOrvaneTriangulatedSurfaceBuilder< dimension >::OpenOrvaneTriangulatedSurfaceBuilder(
        TriangulatedSurface< dimension >& mesh )
        : TriangulatedSurfaceBuilder< dimension >{ mesh }
    {
    }

    template < index_t dimension >
    OpenOrvaneTriangulatedSurfaceBuilder<
        dimension >::~OpenOrvaneTriangulatedSurfaceBuilder() = default;

    template class TriangulatedSurface< 2 >;
    template class TriangulatedSurface< 3 >;
    template class OpenOrvaneTriangulatedSurface< 2 >;
    template class OpenOrvaneTriangulatedSurface< 3 >;
    template class TriangulatedSurfaceBuilder< 2 >;
    template class TriangulatedSurfaceBuilder< 3 >;
    template class OpenOrvaneTriangulatedSurfaceBuilder< 2 >;
    template class OpenOrvaneTriangulatedSurfaceBuilder< 3 >;
} // namespace orvane
