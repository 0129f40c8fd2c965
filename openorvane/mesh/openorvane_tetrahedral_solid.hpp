#pragma once

#include <array>
#include <memory>
#include <string>
#include <string_view>

#include <absl/strings/str_cat.h>

#include <openorvane/mesh/tetrahedral_solid.hpp>

namespace orvane
{
    template < index_t dimension >
    class OpenOrvaneTetrahedralSolidBuilder;

    /// The core implementation of TetrahedralSolid: flat arrays of four
    /// vertex indices and four adjacent indices per tetrahedron, one point
    /// and one stored PolyhedronVertex per vertex.
    ///
    /// The class may be derived from: a derived solid that only changes its
    /// implementation name keeps every behaviour of this one.
    template < index_t dimension >
    class OpenOrvaneTetrahedralSolid : public TetrahedralSolid< dimension >
    {
        friend class OpenOrvaneTetrahedralSolidBuilder< dimension >;

    public:
        using Builder = OpenOrvaneTetrahedralSolidBuilder< dimension >;

        OpenOrvaneTetrahedralSolid();
        OpenOrvaneTetrahedralSolid( OpenOrvaneTetrahedralSolid&& other ) noexcept;
        OpenOrvaneTetrahedralSolid& operator=(
            OpenOrvaneTetrahedralSolid&& other ) noexcept;
        ~OpenOrvaneTetrahedralSolid() override;

        /// "OpenOrvaneTetrahedralSolid" followed by the dimension and "D".
        static MeshImpl impl_name_static()
        {
            return MeshImpl{ absl::StrCat(
                "OpenOrvaneTetrahedralSolid", dimension, "D" ) };
        }

        MeshImpl impl_name() const override
        {
            return impl_name_static();
        }

        MeshType type_name() const override
        {
            return TetrahedralSolid< dimension >::type_name_static();
        }

        std::string_view native_extension() const override
        {
            // Built once, on the first call from any thread.
            static const std::string extension =
                absl::StrCat( "oo_tso", dimension, "d" );
            return extension;
        }

    protected:
        void vertices_added( index_t nb_vertices_total ) override;

        void vertices_deleted( const std::vector< bool >& to_delete,
            const OldToNew& old2new ) override;

    private:
        index_t get_nb_polyhedra() const override;

        local_index_t get_nb_polyhedron_vertices( index_t /*unused*/ ) const override
        {
            return 4;
        }

        local_index_t get_nb_polyhedron_facets( index_t /*unused*/ ) const override
        {
            return 4;
        }

        local_index_t get_nb_polyhedron_facet_vertices(
            const PolyhedronFacet& /*unused*/ ) const override
        {
            return 3;
        }

        index_t get_polyhedron_vertex(
            const PolyhedronVertex& polyhedron_vertex ) const override;

        local_index_t get_polyhedron_facet_vertex_id(
            const PolyhedronFacetVertex& polyhedron_facet_vertex ) const override
        {
            return TETRAHEDRON_FACET_VERTICES
                [polyhedron_facet_vertex.polyhedron_facet.facet_id]
                [polyhedron_facet_vertex.vertex_id];
        }

        index_t get_polyhedron_adjacent(
            const PolyhedronFacet& polyhedron_facet ) const override;

        PolyhedronVertex get_polyhedron_around_vertex(
            index_t vertex_id ) const override;

        const Point< dimension >& get_point( index_t vertex_id ) const override;

    private:
        class Impl;
        std::unique_ptr< Impl > impl_;
    };

    /// The builder of OpenOrvaneTetrahedralSolid (and of solids derived from
    /// it).
    template < index_t dimension >
    class OpenOrvaneTetrahedralSolidBuilder
        : public TetrahedralSolidBuilder< dimension >
    {
    public:
        /// Throws std::bad_cast when the mesh is not an
        /// OpenOrvaneTetrahedralSolid.
        explicit OpenOrvaneTetrahedralSolidBuilder( VertexSet& mesh );
        ~OpenOrvaneTetrahedralSolidBuilder() override;

    private:
        void do_set_point(
            index_t vertex_id, const Point< dimension >& point ) override;

        void do_set_polyhedron_vertex( const PolyhedronVertex& polyhedron_vertex,
            index_t vertex_id ) override;

        void do_set_polyhedron_adjacent( const PolyhedronFacet& polyhedron_facet,
            index_t adjacent_id ) override;

        void do_associate_polyhedron_vertex_to_vertex(
            const PolyhedronVertex& polyhedron_vertex,
            index_t vertex_id ) override;

        void do_delete_polyhedra( const std::vector< bool >& to_delete,
            const std::vector< index_t >& old2new ) override;

        void do_copy_polyhedra( const SolidMesh< dimension >& solid ) override;

        index_t do_create_tetrahedron(
            const std::array< index_t, 4 >& vertices ) override;

    private:
        OpenOrvaneTetrahedralSolid< dimension >& solid_;
    };

    using OpenOrvaneTetrahedralSolid3D = OpenOrvaneTetrahedralSolid< 3 >;
    using OpenOrvaneTetrahedralSolidBuilder3D =
        OpenOrvaneTetrahedralSolidBuilder< 3 >;
} // namespace orvane
