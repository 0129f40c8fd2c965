#pragma once

#include <memory>
#include <vector>

#include <simplex/surface/edge_sampler.hpp>

namespace orvane
{
    template < index_t dimension >
    class Surface;
    template < index_t dimension >
    class TriangulatedSurface;

    namespace internal
    {
        struct SamplingContext;

        /// The segment sampler of a triangulated 3-D surface of a model: a
        /// front segment proposes the points where the circle of radius
        /// size (the metric at its midpoint), centred at its midpoint and
        /// normal to it, pierces the live triangles of the surface; each
        /// proposed point is owned by the triangle it lies on. The grid
        /// covers the box of the surface's mesh.
        ///
        /// The sampler works on a snapshot taken at construction (the
        /// triangles, their live flags and a search tree over them), so
        /// that sampling reads nothing that other tasks may edit. The
        /// construction reads the model: when other tasks may edit it, hold
        /// the context's mutex while constructing.
        class SurfaceSampler3D : public Sampler< Edge >
        {
        public:
            /// The surface's mesh must be a TriangulatedSurface<3>
            /// (std::bad_cast otherwise).
            SurfaceSampler3D( SamplingContext& context, const Surface< 3 >& surface );
            ~SurfaceSampler3D() override;

        protected:
            /// No candidate for a segment whose squared length is at most
            /// 1e-12; otherwise the piercing points in the order the search
            /// tree visits the triangles.
            SampleCandidates candidate_points( const Edge& segment ) override;

            /// One segment from the point to each close point further than
            /// 1e-6 (squared distance above 1e-12), in the given order.
            std::vector< Edge > new_queue_elements( absl::Span< const Point< 3 > > close_points,
                double size,
                const Point< 3 >& point ) override;

            BoundingBox< 3 > bounding_box() const override;

            [[nodiscard]] SamplingContext& context() const;
            [[nodiscard]] const Surface< 3 >& surface() const;
            [[nodiscard]] const TriangulatedSurface< 3 >& mesh() const;

        private:
            struct Record;
            std::unique_ptr< Record > record_;
        };
    } // namespace internal
} // namespace orvane
