#pragma once

#include <array>
#include <vector>

#include <openorvane/geometry/point.hpp>
#include <openorvane/model/brep.hpp>

namespace orvane
{
    namespace test
    {
        /// Two triangulated surfaces meeting along one line between two
        /// corners, all on the segment (0,0,0)-(1,0,0):
        /// - corner0 at (0,0,0), corner1 at (1,0,0);
        /// - the line: vertices (0,0,0), (0.5,0,0), (1,0,0), edges (0,1),
        ///   (1,2);
        /// - surface0 in the plane z = 0: vertices (0,0,0), (0.5,0,0),
        ///   (1,0,0), (0.5,1,0), triangles (0,1,3) and (1,2,3);
        /// - surface1 in the plane y = 0, numbered the other way along the
        ///   line: vertices (1,0,0), (0.5,0,0), (0,0,0), (0.5,0,1), triangles
        ///   (0,1,3) and (1,2,3).
        /// Unique vertices: 0 = (0,0,0), 1 = (1,0,0), 2 = (0.5,0,0),
        /// 3 = apex of surface0, 4 = apex of surface1. The corners bound the
        /// line, and the line bounds both surfaces. The other surface border
        /// edges have no line.
        struct TwoSurfacesModel
        {
            BRep model;
            uuid corner0;
            uuid corner1;
            uuid line;
            uuid surface0;
            uuid surface1;
        };

        TwoSurfacesModel two_surfaces_sharing_a_line();

        /// The same layout with n x n grids: surface0 holds the points
        /// (i/n, j/n, 0) and surface1 the points (i/n, 0, j/n), i and j in
        /// [0, n], vertex j * (n + 1) + i, each grid square cut into two
        /// triangles; the line runs along row j = 0 with n edges. Unique
        /// vertex i is the point (i/n, 0, 0); the other points follow, those
        /// of surface0 first.
        TwoSurfacesModel two_grid_surfaces_sharing_a_line( index_t n );

        /// A closed model: the tetrahedron (0,0,0), (1,0,0), (0,1,0),
        /// (0,0,1) as one block made of one tetrahedron, bounded by four
        /// one-triangle surfaces (their normals pointing outward), six
        /// one-edge lines and four corners, all tied by unique vertices
        /// 0 to 3 (the four points in that order) and by every boundary
        /// relationship.
        struct TetrahedronModel
        {
            BRep model;
            std::array< uuid, 4 > corners;
            /// Line k joins the unique vertices of LINE_ENDS[k].
            std::array< uuid, 6 > lines;
            /// Surface f is the facet opposite point f.
            std::array< uuid, 4 > surfaces;
            uuid block;

            static constexpr std::array< std::array< index_t, 2 >, 6 > LINE_ENDS{ { { 0, 1 },
                { 0, 2 }, { 0, 3 }, { 1, 2 }, { 1, 3 }, { 2, 3 } } };
        };

        TetrahedronModel tetrahedron_model();

        /// Adds a corner of one vertex at the point, linked to the unique
        /// vertex.
        uuid add_linked_corner( BRep& model, const Point< 3 >& point, index_t unique );

        /// Adds a line through the points, one edge between consecutive
        /// points (and one from the last back to the first when `closed`),
        /// vertex i linked to uniques[i].
        uuid add_linked_line( BRep& model,
            const std::vector< Point< 3 > >& points,
            const std::vector< index_t >& uniques,
            bool closed = false );

        /// Adds a triangulated surface with its adjacencies, vertex i linked
        /// to uniques[i].
        uuid add_linked_surface( BRep& model,
            const std::vector< Point< 3 > >& points,
            const std::vector< std::array< index_t, 3 > >& triangles,
            const std::vector< index_t >& uniques );
    } // namespace test
} // namespace orvane
