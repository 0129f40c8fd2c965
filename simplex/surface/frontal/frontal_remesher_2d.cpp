#include <simplex/surface/frontal/frontal_remesher_2d.hpp>

#include <simplex/surface/frontal/candidate_walker.hpp>
#include <simplex/surface/frontal/frontal_remesher_impl.hpp>
#include <simplex/surface/frontal/propagate_along_macro_edge.hpp>

namespace orvane::internal
{
    FrontalRemesher2D::~FrontalRemesher2D() = default;

    std::optional< std::vector< SurfacePathCrossing > >
        FrontalRemesher2D::find_macro_path(
            const FrontalQueueElement< 2 >&, index_t a, index_t b )
    {
        PropagateAlongSurfaceMacroEdge2D walker{ state().macro, a, b, state() };
        return walker.find_path();
    }

    std::vector< SurfaceCut< 2 > > FrontalRemesher2D::determine_cuts(
        index_t a, index_t b, absl::Span< const SurfacePathCrossing > path )
    {
        return orvane::determine_cuts< 2 >( state().macro, a, b, path );
    }

    std::vector< index_t > FrontalRemesher2D::crossings_off_segment(
        index_t, index_t, absl::Span< const SurfaceCut< 2 > >, double )
    {
        return {};
    }

    std::optional< FrontalCandidate< 2 > > FrontalRemesher2D::candidate_point(
        const FrontalQueueElement< 2 >& element, const Point< 2 >& query )
    {
        return frontal_candidate_point< 2 >( state(), element, query );
    }

    bool FrontalRemesher2D::is_well_oriented(
        const FrontalQueueElement< 2 >&, const Point< 2 >&, index_t )
    {
        return true;
    }
} // namespace orvane::internal
