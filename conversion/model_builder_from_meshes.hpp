#pragma once

#include <memory>
#include <tuple>

#include <absl/types/span.h>

#include <conversion/corners_lines_builder.hpp>
#include <openorvane/basic/mapping.hpp>
#include <openorvane/mesh/edged_curve.hpp>
#include <openorvane/mesh/point_set.hpp>
#include <openorvane/mesh/surface_mesh.hpp>
#include <openorvane/model/brep.hpp>

namespace orvane
{
    namespace detail
    {
        /// Builds a model from loose meshes that already meet conformally
        /// (shared places carry coincident vertices, no element crosses
        /// another): corner point sets, line curves and surface meshes. Any
        /// span may be empty.
        ///
        /// Points within 1e-6 of each other become one unique vertex. The
        /// borders of the merged surfaces and the input line edges become
        /// lines, cut at corners where they branch or change neighbourhood;
        /// the surfaces are cut along them into connected pieces, one
        /// surface each; blocks are the volumes the surfaces close.
        ///
        /// The mappings tell which output corner, line and surface, vertex
        /// and element each input mesh, vertex and element became; the
        /// inputs are named by their uuids, which must therefore differ. The
        /// component mapping has the entries "Corner", "Line" and "Surface".
        /// The inputs are only read. Throws OpenOrvaneException, and
        /// returns nothing, on input that cannot be built (a line edge whose
        /// two ends coincide, a wireframe that cannot be walked into lines).
        std::tuple< BRep, ModelMappings > build_brep_from_meshes(
            absl::Span< const PointSet< 3 >* const > corners,
            absl::Span< const EdgedCurve< 3 >* const > lines,
            absl::Span< const SurfaceMesh< 3 >* const > surfaces );

        template < typename Model >
        class ModelBuilderFromMeshes;

        /// The state and the stages of one model build; lives for one call
        /// of build_brep_from_meshes.
        template <>
        class ModelBuilderFromMeshes< BRep > : public CornersLinesBuilder< BRep >
        {
        public:
            ~ModelBuilderFromMeshes() override;

            /// Merges the points, fills the wireframe, records the first
            /// mapping entries, cuts the merged surface along the wireframe
            /// and groups its polygons into pieces.
            void identify_vertices() override;

            /// A wireframe vertex is a corner when it does not have exactly
            /// two wireframe edges, or when its two edges differ in the
            /// surface pieces along them, or (for edges from lines only)
            /// when a surface vertex lies there or the input lines of the two
            /// edges differ.
            bool is_corner( index_t wireframe_vertex ) override;

            /// Runs every stage and hands over the model's mappings.
            ModelMappings build();

        protected:
            ModelBuilderFromMeshes( BRep& model,
                absl::Span< const PointSet< 3 >* const > corners,
                absl::Span< const EdgedCurve< 3 >* const > lines,
                absl::Span< const SurfaceMesh< 3 >* const > surfaces );

        private:
            class Impl;
            std::unique_ptr< Impl > impl_;
        };

        /// The model builder of a BRep.
        class BRepFromMeshesBuilder : public ModelBuilderFromMeshes< BRep >
        {
        public:
            BRepFromMeshesBuilder( BRep& model,
                absl::Span< const PointSet< 3 >* const > corners,
                absl::Span< const EdgedCurve< 3 >* const > lines,
                absl::Span< const SurfaceMesh< 3 >* const > surfaces );
            ~BRepFromMeshesBuilder() override;
        };
    } // namespace detail
} // namespace orvane
