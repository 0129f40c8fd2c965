#pragma once

#include <optional>

#include <openorvane/geometry/basic_objects.hpp>

#include <simplex/surface/frontal/frontal_remesher.hpp>

namespace orvane::internal
{
    /// The frontal remesher of a curved surface in space: straight ways over
    /// the macro surface follow cutting planes.
    class FrontalRemesher3D final : public FrontalRemesher< 3 >
    {
    public:
        using FrontalRemesher< 3 >::FrontalRemesher;
        ~FrontalRemesher3D() override;

        /// Stores the cutting plane of a-b (see cutting_plane) and searches
        /// the path along it; no path when there is no plane.
        [[nodiscard]] std::optional< std::vector< SurfacePathCrossing > >
            find_macro_path( const FrontalQueueElement< 3 >& element,
                index_t a,
                index_t b ) override;

        /// The cuts of the stored plane along the path. Throws
        /// std::bad_optional_access when no plane is stored.
        [[nodiscard]] std::vector< SurfaceCut< 3 > > determine_cuts( index_t a,
            index_t b,
            absl::Span< const SurfacePathCrossing > path ) override;

        /// Cuts on a vertex, and cuts inside an edge without open element, at
        /// least `distance` away from the segment a-b.
        [[nodiscard]] std::vector< index_t > crossings_off_segment( index_t a,
            index_t b,
            absl::Span< const SurfaceCut< 3 > > cuts,
            double distance ) override;

        [[nodiscard]] std::optional< FrontalCandidate< 3 > > candidate_point(
            const FrontalQueueElement< 3 >& element,
            const Point< 3 >& query ) override;

        /// The triangles (p0, p1, point) and (p0, p1, vertex) both have a
        /// normal and the normals make an acute angle.
        [[nodiscard]] bool is_well_oriented( const FrontalQueueElement< 3 >& element,
            const Point< 3 >& point,
            index_t vertex ) override;

        /// The plane through a and b that holds the sum of the vertex normals
        /// at a and b. When that sum is missing, zero, not finite, or parallel
        /// to a-b, the normal of the triangle (p0, p1, apex) of the element
        /// replaces it; no plane when that triangle has no normal or is
        /// parallel to a-b too.
        [[nodiscard]] std::optional< Plane > cutting_plane(
            const FrontalQueueElement< 3 >& element, index_t a, index_t b ) const;

        [[nodiscard]] const std::optional< Plane >& current_plane() const
        {
            return current_plane_;
        }

    private:
        std::optional< Plane > current_plane_;
    };
} // namespace orvane::internal
