#include <openorvane/mesh/tetrahedral_solid.hpp>

#include <absl/strings/str_cat.h>

#include <openorvane/basic/exception.hpp>

namespace orvane
{
    template < index_t dimension >
    TetrahedralSolid< dimension >::TetrahedralSolid() = default;

    template < index_t dimension >
    TetrahedralSolid< dimension >::TetrahedralSolid(
        TetrahedralSolid&& other ) noexcept
        : SolidMesh< dimension >( std::move( other ) )
    {
    }

    template < index_t dimension >
    TetrahedralSolid< dimension >& TetrahedralSolid< dimension >::operator=(
        TetrahedralSolid&& other ) noexcept
    {
        SolidMesh< dimension >::operator=( std::move( other ) );
        return *this;
    }

    template < index_t dimension >
    TetrahedralSolid< dimension >::~TetrahedralSolid() = default;

    template < index_t dimension >
    std::unique_ptr< TetrahedralSolid< dimension > >
        TetrahedralSolid< dimension >::create()
    {
        return create( MeshFactory::default_impl( type_name_static() ) );
    }

    template < index_t dimension >
    std::unique_ptr< TetrahedralSolid< dimension > >
        TetrahedralSolid< dimension >::create( const MeshImpl& impl )
    {
        return detail::create_mesh< TetrahedralSolid< dimension > >( impl );
    }

    template < index_t dimension >
    MeshType TetrahedralSolid< dimension >::type_name_static()
    {
        return MeshType{ absl::StrCat( "TetrahedralSolid", dimension, "D" ) };
    }

    template < index_t dimension >
    std::unique_ptr< TetrahedralSolid< dimension > >
        TetrahedralSolid< dimension >::clone() const
    {
        auto clone = create( this->impl_name() );
        auto builder = TetrahedralSolidBuilder< dimension >::create( *clone );
        builder->copy( *this );
        return clone;
    }

    template < index_t dimension >
    Tetrahedron TetrahedralSolid< dimension >::tetrahedron(
        index_t tetrahedron_id ) const
    {
        const auto vertices = this->polyhedron_vertices( tetrahedron_id );
        return { this->point( vertices[0] ), this->point( vertices[1] ),
            this->point( vertices[2] ), this->point( vertices[3] ) };
    }

    template < index_t dimension >
    Triangle< dimension > TetrahedralSolid< dimension >::triangle(
        const PolyhedronFacet& facet ) const
    {
        const auto vertices = this->polyhedron_facet_vertices( facet );
        return { this->point( vertices[0] ), this->point( vertices[1] ),
            this->point( vertices[2] ) };
    }

    template < index_t dimension >
    TetrahedralSolidBuilder< dimension >::TetrahedralSolidBuilder(
        TetrahedralSolid< dimension >& mesh )
        : SolidMeshBuilder< dimension >( mesh )
    {
    }

    template < index_t dimension >
    TetrahedralSolidBuilder< dimension >::~TetrahedralSolidBuilder() = default;

    template < index_t dimension >
    std::unique_ptr< TetrahedralSolidBuilder< dimension > >
        TetrahedralSolidBuilder< dimension >::create(
            TetrahedralSolid< dimension >& mesh )
    {
        return detail::create_mesh_builder< TetrahedralSolidBuilder< dimension > >(
            mesh );
    }

    template < index_t dimension >
    index_t TetrahedralSolidBuilder< dimension >::create_tetrahedron(
        const std::array< index_t, 4 >& vertices )
    {
        const auto nb_vertices = this->solid_mesh().nb_vertices();
        for( const auto i : { 0, 1, 2, 3 } )
        {
            ORVANE_EXCEPTION( vertices[i] < nb_vertices,
                "[TetrahedralSolidBuilder::create_tetrahedron] Vertex ",
                vertices[i], " does not exist (the solid has ", nb_vertices,
                " vertices)" );
            for( const auto j : { 0, 1, 2, 3 } )
            {
                ORVANE_EXCEPTION( j <= i || vertices[i] != vertices[j],
                    "[TetrahedralSolidBuilder::create_tetrahedron] The vertices "
                    "of a tetrahedron must differ, vertex ",
                    vertices[i], " is repeated" );
            }
        }
        const auto tetrahedron = do_create_tetrahedron( vertices );
        this->register_new_polyhedron( tetrahedron );
        return tetrahedron;
    }

    template class TetrahedralSolid< 3 >;
    template class TetrahedralSolidBuilder< 3 >;
} // namespace orvane
