#pragma once

#include <memory>
#include <vector>

#include <absl/types/span.h>

#include <openorvane/basic/types.hpp>
#include <openorvane/geometry/point.hpp>
#include <openorvane/mesh/edges.hpp>
#include <openorvane/mesh/mesh_records.hpp>
#include <openorvane/mesh/surface_mesh.hpp>
#include <openorvane/mesh/vertex_set.hpp>

namespace orvane
{
    /// Edits a SurfaceMesh.
    ///
    /// Association rules (the stored PolygonVertex of each vertex):
    /// - create_polygon associates each of its vertices with the new polygon,
    ///   overwriting;
    /// - set_polygon_vertex( pv, v ) associates v with pv; the former vertex
    ///   keeps its association, callers disassociate it first when needed;
    /// - delete_polygons re-associates a vertex whose polygon is deleted with
    ///   the first remaining polygon that uses it (index order, then local
    ///   order), or leaves it isolated;
    /// - delete_isolated_vertices deletes the vertices that are isolated and
    ///   used by no polygon, and re-associates the vertices that are used but
    ///   isolated.
    ///
    /// Adjacency setters write one direction only. When the edge table is
    /// enabled, create_polygon and set_polygon_vertex find or create the
    /// entries of the edges they make; no edit removes entries except
    /// `edges_builder().delete_isolated_edges()`.
    template < index_t dimension >
    class SurfaceMeshBuilder : public VertexSetBuilder
    {
    public:
        ~SurfaceMeshBuilder() override;

        /// The builder registered for the surface's implementation name.
        /// Throws OpenOrvaneException "[Factory::create] Factory does not
        /// contain the requested key" for an unknown name and "Cannot create
        /// mesh builder with key: " + name when that builder is not a
        /// SurfaceMeshBuilder.
        static std::unique_ptr< SurfaceMeshBuilder > create(
            SurfaceMesh< dimension >& mesh );

        /// Appends a vertex at the point and returns its index.
        index_t create_point( const Point< dimension >& point );

        void set_point( index_t vertex_id, const Point< dimension >& point );

        /// Appends a polygon without adjacency and returns its index. Every
        /// polygon of this library's surfaces is a triangle: another number of
        /// vertices throws OpenOrvaneException.
        index_t create_polygon( absl::Span< const index_t > vertices );

        /// Writes the polygon's vertex and associates the vertex with it.
        void set_polygon_vertex( const PolygonVertex& polygon_vertex,
            index_t vertex_id );

        /// set_polygon_vertex( corner, vertex_id ) for each corner in order:
        /// the vertex ends associated with the last corner, and the edge
        /// table gets the entries (and indices) that one call per corner
        /// would give, each distinct edge looked up once. Every corner is
        /// checked before anything changes.
        void set_polygon_vertices(
            absl::Span< const PolygonVertex > corners, index_t vertex_id );

        /// Sets the polygon across the edge (this direction only). NO_ID
        /// unsets it.
        void set_polygon_adjacent( const PolygonEdge& polygon_edge,
            index_t adjacent_id );

        /// Unsets the polygon across the edge (this direction only).
        void unset_polygon_adjacent( const PolygonEdge& polygon_edge );

        /// Recomputes every adjacency from the vertices: two polygon edges
        /// are linked (both ways) when they are the only two uses of their
        /// pair of vertices and run in opposite directions; every other edge
        /// (border, non-manifold, same direction) is left unset.
        void compute_polygon_adjacencies();

        /// Recomputes the adjacencies of the listed polygons' edges, both
        /// ways. The candidates for each edge are the listed polygons and the
        /// fans of the edge's two vertices, which reach only polygons
        /// connected to the live ones (not the dead cells a modifier keeps
        /// until clean-up). An edge is linked when exactly one other
        /// candidate uses its pair of vertices, in the opposite direction,
        /// and unset otherwise. When no candidate uses the pair at all (a new
        /// polygon's fans reach only itself), the edge is linked with the
        /// highest-index polygon of the surface that runs it the other way
        /// (the newest one), if any.
        void compute_polygon_adjacencies( absl::Span< const index_t > polygons );

        /// Makes pv the stored PolygonVertex of the vertex (overwriting).
        void associate_polygon_vertex_to_vertex( const PolygonVertex& polygon_vertex,
            index_t vertex_id );

        /// Leaves the vertex isolated.
        void disassociate_polygon_vertex_to_vertex( index_t vertex_id );

        /// Kept for callers that invalidate around-vertex caches: surfaces
        /// keep no cache, so this does nothing (it never clears the
        /// association).
        void reset_polygons_around_vertex( index_t vertex_id );

        /// Gives `new_vertex_id` to every polygon corner of the fan of
        /// `old_vertex_id`. The new vertex takes the old vertex's stored
        /// PolygonVertex and the old vertex becomes isolated.
        void replace_vertex( index_t old_vertex_id, index_t new_vertex_id );

        /// Deletes the flagged polygons (one flag per polygon), renumbers the
        /// adjacencies (a deleted neighbour becomes unset) and the
        /// associations, compacts the polygon attributes and returns the
        /// old-to-new vector. The edge table is left untouched.
        OldToNew delete_polygons( const std::vector< bool >& to_delete );

        OldToNew delete_isolated_vertices() override;

        /// Edits the edge table. Throws OpenOrvaneException when the edges
        /// are not enabled.
        SurfaceEdgesBuilder< dimension > edges_builder();

        /// Makes the surface a copy of `surface` (geometry, topology, edge
        /// table state, attributes, uuid and name).
        void copy( const SurfaceMesh< dimension >& surface );

    protected:
        explicit SurfaceMeshBuilder( SurfaceMesh< dimension >& mesh );

        SurfaceMesh< dimension >& surface()
        {
            return surface_;
        }

    private:
        SurfaceMesh< dimension >& surface_;
    };
} // namespace orvane
