#pragma once

#include <memory>

#include <absl/types/span.h>

#include <openorvane/basic/uuid.hpp>

#include <simplex/surface/surface_relaxer.hpp>

namespace orvane
{
    namespace internal
    {
        /// The surface relaxer of a BRep surface: each vertex's ring is laid
        /// on the tangent plane at the vertex, every neighbour at its true
        /// distance in the direction of its projection; flips that would
        /// fold the surface are refused. Adds the vertex attribute
        /// "BRepSurfaceRelaxer 2d" for its lifetime.
        class BRepSurfaceRelaxer : public SurfaceRelaxer< BRep >
        {
        public:
            BRepSurfaceRelaxer( BRep& model,
                BRepGeometricModifier& modifier,
                const Surface< 3 >& surface,
                const SurfaceRelaxerOptions& options );
            ~BRepSurfaceRelaxer() override;

        protected:
            /// False when the vertex has no normal, or when a neighbour lies
            /// on the normal through it (no direction in the plane).
            bool compute_2d_projection(
                index_t vertex, const PolygonsAroundVertex& polygons ) override;

            [[nodiscard]] const Point< 2 >& point_2d( index_t vertex ) const override;

            /// Accepts flips of nearly coplanar triangles; otherwise the new
            /// triangles must face the same way and follow the surface
            /// around both ends of the edge. A flip that turns a new
            /// triangle over is always refused.
            [[nodiscard]] bool is_flip_valid( const FlipCandidate& candidate ) const override;

        private:
            std::shared_ptr< VariableAttribute< Point< 2 > > > points_2d_;
        };

        /// Relaxes the listed surfaces of the model one after the other on
        /// the calling thread, logging progress as "Relaxing Surfaces".
        /// Errors propagate; surfaces already relaxed keep their edits and
        /// the working attributes are removed from every mesh.
        void relax_listed_surfaces( BRep& model,
            BRepGeometricModifier& modifier,
            const SurfaceRelaxerOptions& options,
            absl::Span< const uuid > surfaces );
    } // namespace internal
} // namespace orvane
