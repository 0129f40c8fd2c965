#pragma once

#include <memory>
#include <vector>

#include <absl/container/flat_hash_map.h>
#include <absl/types/span.h>

#include <openorvane/basic/algorithm.hpp>
#include <openorvane/basic/mapping.hpp>
#include <openorvane/basic/types.hpp>
#include <openorvane/basic/uuid.hpp>
#include <openorvane/basic/variable_attribute.hpp>
#include <openorvane/geometry/point.hpp>
#include <openorvane/mesh/edged_curve.hpp>
#include <openorvane/mesh/point_set.hpp>
#include <openorvane/mesh/triangulated_surface.hpp>
#include <openorvane/mesh/triangulated_surface_builder.hpp>

#include <explicit/background_provenance.hpp>

namespace orvane
{
    template < index_t dimension >
    class TetrahedralSolid;

    namespace detail
    {
        /// Follows a renumbering of the mesh's vertices (old-to-new, NO_ID
        /// for a deleted vertex) in a map from background vertices: entries
        /// of deleted vertices are erased.
        void renumber_vertex_map( absl::flat_hash_map< index_t, index_t >& map,
            absl::Span< const index_t > old2new );
    } // namespace detail

    namespace internal
    {
        /// A mesh extracted from a background solid, with the provenance of
        /// its vertices: "extracted_vertex_origin" (the background vertex)
        /// and "extracted_component_vertices" (the input vertices that
        /// background vertex is). `vertex_map` sends a background vertex to
        /// its vertex in this mesh (curves and surfaces fill it).
        template < typename Mesh, typename Builder >
        struct ExtractedMesh
        {
            std::unique_ptr< Mesh > mesh;
            std::unique_ptr< Builder > builder;
            std::shared_ptr< VariableAttribute< index_t > > vertex_origin;
            std::shared_ptr< VariableAttribute< std::vector< MeshVertex > > >
                component_vertices;
            absl::flat_hash_map< index_t, index_t > vertex_map;
        };

        using ExtractedPointSet = ExtractedMesh< PointSet< 3 >, PointSetBuilder< 3 > >;

        /// An extracted curve: its edges carry "extracted_edge_origin" (the
        /// background edge) and "extracted_component_edges" (the input curve
        /// edges it lies on).
        struct ExtractedCurve
            : public ExtractedMesh< EdgedCurve< 3 >, EdgedCurveBuilder< 3 > >
        {
            std::shared_ptr< VariableAttribute< index_t > > edge_origin;
            std::shared_ptr< VariableAttribute< std::vector< MeshEdge > > >
                component_edges;
        };

        /// The re-triangulation of one input polygon (a patch). Its polygons
        /// carry "extracted_polygon_origin" (the background facet) and
        /// "extracted_component_facets" (the input polygons it lies on); once
        /// the patch is finished, its edges carry "extracted_edge_components"
        /// (the input curve edges under the edge) and
        /// "extracted_edge_incident_components" (one list of input polygons
        /// per background facet around the edge that lies on some).
        struct ExtractedSurface
            : public ExtractedMesh< TriangulatedSurface< 3 >,
                  TriangulatedSurfaceBuilder< 3 > >
        {
            std::shared_ptr< VariableAttribute< index_t > > polygon_origin;
            std::shared_ptr< VariableAttribute< std::vector< MeshPolygon > > >
                component_facets;
            std::shared_ptr< VariableAttribute< std::vector< MeshEdge > > >
                edge_components;
            std::shared_ptr<
                VariableAttribute< std::vector< std::vector< MeshPolygon > > > >
                edge_incident_components;
        };

        /// Everything extracted from one background solid, keyed by the uuid
        /// of the input mesh; surfaces hold one patch per input polygon.
        struct ExtractedMeshes
        {
            ExtractedMeshes() = default;
            ExtractedMeshes( ExtractedMeshes&& other ) noexcept;
            ExtractedMeshes& operator=( ExtractedMeshes&& other ) noexcept;
            ~ExtractedMeshes();

            absl::flat_hash_map< uuid, ExtractedPointSet > point_sets;
            absl::flat_hash_map< uuid, ExtractedCurve > curves;
            absl::flat_hash_map< uuid, absl::flat_hash_map< index_t, ExtractedSurface > >
                surfaces;
        };

        /// Builds, from a background solid into which input meshes were
        /// inserted, the conformal pieces of every input mesh:
        /// - per input point set, the background vertices that are its
        ///   points;
        /// - per input curve, the chain of background edges lying on it;
        /// - per input surface polygon, a patch of the background facets
        ///   lying on that polygon, oriented like the polygon.
        ///
        /// The solid is only read, through its provenance attributes (see
        /// BackgroundProvenance). Call the three extractions in the order
        /// points, curves, surfaces, then take the result.
        class MeshesExtracterfromBackgroundSolid
        {
        public:
            MeshesExtracterfromBackgroundSolid( const TetrahedralSolid< 3 >& solid,
                absl::Span< const std::unique_ptr< PointSet< 3 > > > point_sets,
                absl::Span< const std::unique_ptr< EdgedCurve< 3 > > > curves,
                absl::Span< const std::unique_ptr< TriangulatedSurface< 3 > > >
                    surfaces );
            ~MeshesExtracterfromBackgroundSolid();

            void extract_points();

            void extract_curves();

            /// Patches of every background facet lying on input polygons
            /// (one triangle in each patch of a facet on several polygons),
            /// then, per patch: adjacencies, consistent orientation, the flip
            /// of every connected piece facing against its input polygon,
            /// and the edge provenance.
            void extract_surfaces();

            [[nodiscard]] const BackgroundProvenance& provenance() const;

            [[nodiscard]] ExtractedMeshes& extracted_meshes();

            /// Hands the result out; the extracter is left empty.
            [[nodiscard]] ExtractedMeshes take_extracted_meshes();

            /// The normal of the first input polygon of `surface` that the
            /// background facet lies on. Throws OpenOrvaneException when the
            /// facet lies on no polygon of that surface.
            [[nodiscard]] Vector< 3 > original_triangle_normal(
                const uuid& surface, index_t facet ) const;

        private:
            class Impl;
            std::unique_ptr< Impl > impl_;
        };

        /// A new patch with its mesh, builder and vertex and polygon
        /// attributes.
        [[nodiscard]] ExtractedSurface create_extracted_surface();

        /// A new curve with its mesh, builder and attributes.
        [[nodiscard]] ExtractedCurve create_extracted_curve();

        /// Enables the patch's edge table and creates its two edge
        /// attributes (assignable, so that edge collapses carry them).
        void create_edge_attributes( ExtractedSurface& surface );

        /// Reverses the listed polygons: (w0, w1, ..., wk) becomes
        /// (w0, wk, ..., w1) and each polygon edge keeps its neighbour. The
        /// polygons must form whole connected pieces, so that adjacent
        /// polygons stay consistently oriented.
        void flip_polygons( const TriangulatedSurface< 3 >& mesh,
            TriangulatedSurfaceBuilder< 3 >& builder,
            absl::Span< const index_t > polygons );

        /// Reverses every polygon of the surface.
        void flip_surface( const TriangulatedSurface< 3 >& mesh,
            TriangulatedSurfaceBuilder< 3 >& builder );
    } // namespace internal
} // namespace orvane
