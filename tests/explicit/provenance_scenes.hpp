#pragma once

#include <functional>
#include <memory>
#include <vector>

#include <openorvane/basic/mapping.hpp>
#include <openorvane/basic/variable_attribute.hpp>
#include <openorvane/geometry/point.hpp>
#include <openorvane/mesh/edged_curve.hpp>
#include <openorvane/mesh/point_set.hpp>
#include <openorvane/mesh/tetrahedral_solid.hpp>
#include <openorvane/mesh/triangulated_surface.hpp>

namespace orvane
{
    namespace test
    {
        /// A tetrahedral solid carrying the provenance attributes of a
        /// background solid, filled by hand as an insertion would fill them:
        /// every record added to a facet or an edge is also added to its
        /// vertices, and no list holds a record twice.
        struct ProvenanceSolid
        {
            explicit ProvenanceSolid( std::unique_ptr< TetrahedralSolid< 3 > > mesh );

            void add_vertex_record( index_t vertex, const MeshVertex& record );

            void add_edge_record( index_t edge, const MeshEdge& record );

            void add_facet_record( index_t facet, const MeshPolygon& record );

            /// The vertex at exactly this point; throws when there is none.
            [[nodiscard]] index_t vertex_at( const Point< 3 >& point ) const;

            /// Gives `record` to every facet whose three vertices have the
            /// coordinate `axis` equal to `value` and for which `polygon` of
            /// the facet's barycentre is not NO_ID (the polygon's index).
            void mark_planar_facets( const uuid& surface,
                local_index_t axis,
                double value,
                const std::function< index_t( const Point< 3 >& ) >& polygon );

            /// Marks the solid vertices at the input surface's vertices.
            void mark_input_vertices( const SurfaceMesh< 3 >& surface );

            /// Gives every solid edge lying on an edge of the input surface
            /// (its edge table is enabled) the record of that edge, as the
            /// insertion of the surface's edges does.
            void mark_input_edges( const SurfaceMesh< 3 >& surface );

            /// Both of the above.
            void mark_input( const SurfaceMesh< 3 >& surface );

            std::unique_ptr< TetrahedralSolid< 3 > > solid;
            std::shared_ptr< VariableAttribute< std::vector< MeshVertex > > >
                vertex_init_vertex;
            std::shared_ptr< VariableAttribute< std::vector< MeshEdge > > >
                vertex_init_edge;
            std::shared_ptr< VariableAttribute< std::vector< MeshPolygon > > >
                vertex_init_facet;
            std::shared_ptr< VariableAttribute< std::vector< MeshEdge > > >
                edge_init_edge;
            std::shared_ptr< VariableAttribute< std::vector< MeshPolygon > > >
                facet_init_facet;
        };

        /// The regular grid solid of the box from `origin` with cells of
        /// `length`, six tetrahedra per cell.
        std::unique_ptr< TetrahedralSolid< 3 > > grid_solid( const Point< 3 >& origin,
            const std::array< index_t, 3 >& cells,
            double length );

        /// Two crossing quads, as their insertion into a background solid
        /// leaves them: the horizontal quad z = 0 over [0, 4]^2 (triangles
        /// (0,0)-(4,0)-(4,4) and (0,0)-(4,4)-(0,4), normal +z) and the
        /// vertical quad x = 2 over y in [0, 4], z in [-2, 2] (normal +x),
        /// laid on the facets of a grid solid of [0, 4]^2 x [-2, 2] with
        /// cells of `length` (which must divide 1 exactly).
        struct CrossingQuads
        {
            /// Without the vertical quad's facets when `crossing` is false;
            /// the solid then spans one cell above and below the plane.
            explicit CrossingQuads( double length, bool crossing = true );

            std::vector< std::unique_ptr< PointSet< 3 > > > point_sets;
            std::vector< std::unique_ptr< EdgedCurve< 3 > > > curves;
            std::vector< std::unique_ptr< TriangulatedSurface< 3 > > > surfaces;
            ProvenanceSolid background;

        private:
            void mark_vertical_quad();
        };

        /// A surface of the listed points and triangles.
        std::unique_ptr< TriangulatedSurface< 3 > > surface_of(
            const std::vector< Point< 3 > >& points,
            const std::vector< std::array< index_t, 3 > >& triangles );
    } // namespace test
} // namespace orvane
