#pragma once

#include <array>
#include <memory>
#include <string>

#include <openorvane/geometry/basic_objects.hpp>
#include <openorvane/mesh/solid_mesh.hpp>
#include <openorvane/mesh/solid_mesh_builder.hpp>

namespace orvane
{
    template < index_t dimension >
    class TetrahedralSolidBuilder;

    /// The local vertices of each facet of a tetrahedron. Facet f is opposite
    /// local vertex f, and each list followed by vertex f has the orientation
    /// of the tetrahedron (an even permutation of 0, 1, 2, 3), so the
    /// right-hand normal of every facet of a positive tetrahedron points
    /// inward.
    inline constexpr std::array< std::array< local_index_t, 3 >, 4 >
        TETRAHEDRON_FACET_VERTICES{ { { 1, 3, 2 }, { 0, 2, 3 }, { 3, 1, 0 },
            { 0, 1, 2 } } };

    /// A solid made of tetrahedra only.
    template < index_t dimension >
    class TetrahedralSolid : public SolidMesh< dimension >
    {
    public:
        using Builder = TetrahedralSolidBuilder< dimension >;

        ~TetrahedralSolid() override;

        static std::unique_ptr< TetrahedralSolid > create();

        static std::unique_ptr< TetrahedralSolid > create( const MeshImpl& impl );

        static MeshType type_name_static();

        std::unique_ptr< TetrahedralSolid > clone() const;

        /// The four points of the tetrahedron, in local order.
        Tetrahedron tetrahedron( index_t tetrahedron_id ) const;

        /// The three points of the facet, in the facet's order.
        Triangle< dimension > triangle( const PolyhedronFacet& facet ) const;

    protected:
        TetrahedralSolid();
        TetrahedralSolid( TetrahedralSolid&& other ) noexcept;
        TetrahedralSolid& operator=( TetrahedralSolid&& other ) noexcept;
    };

    /// Edits a TetrahedralSolid.
    template < index_t dimension >
    class TetrahedralSolidBuilder : public SolidMeshBuilder< dimension >
    {
    public:
        ~TetrahedralSolidBuilder() override;

        /// The builder of the solid's implementation (see
        /// SolidMeshBuilder::create for the failures).
        static std::unique_ptr< TetrahedralSolidBuilder > create(
            TetrahedralSolid< dimension >& mesh );

        /// Appends a tetrahedron with the vertices in the given local order,
        /// with no adjacency, and returns its index. Each vertex is
        /// associated with it.
        index_t create_tetrahedron( const std::array< index_t, 4 >& vertices );

    protected:
        explicit TetrahedralSolidBuilder( TetrahedralSolid< dimension >& mesh );

    private:
        virtual index_t do_create_tetrahedron(
            const std::array< index_t, 4 >& vertices ) = 0;
    };

    using TetrahedralSolid3D = TetrahedralSolid< 3 >;
    using TetrahedralSolidBuilder3D = TetrahedralSolidBuilder< 3 >;
} // namespace orvane
