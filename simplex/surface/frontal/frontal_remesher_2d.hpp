#pragma once

#include <simplex/surface/frontal/frontal_remesher.hpp>

namespace orvane::internal
{
    /// The frontal remesher of a flat surface (a flattened hole): straight
    /// ways over the macro surface are segments.
    class FrontalRemesher2D final : public FrontalRemesher< 2 >
    {
    public:
        using FrontalRemesher< 2 >::FrontalRemesher;
        ~FrontalRemesher2D() override;

        /// The path along the segment a-b; the element is not used.
        [[nodiscard]] std::optional< std::vector< SurfacePathCrossing > >
            find_macro_path( const FrontalQueueElement< 2 >& element,
                index_t a,
                index_t b ) override;

        [[nodiscard]] std::vector< SurfaceCut< 2 > > determine_cuts( index_t a,
            index_t b,
            absl::Span< const SurfacePathCrossing > path ) override;

        /// Always empty in the plane.
        [[nodiscard]] std::vector< index_t > crossings_off_segment( index_t a,
            index_t b,
            absl::Span< const SurfaceCut< 2 > > cuts,
            double distance ) override;

        [[nodiscard]] std::optional< FrontalCandidate< 2 > > candidate_point(
            const FrontalQueueElement< 2 >& element,
            const Point< 2 >& query ) override;

        /// Always true in the plane.
        [[nodiscard]] bool is_well_oriented( const FrontalQueueElement< 2 >& element,
            const Point< 2 >& point,
            index_t vertex ) override;
    };
} // namespace orvane::internal
