#include <common/cutter/surface_path_finder.hpp>

#include <openorvane/mesh/surface_mesh.hpp>

namespace orvane
{
    template < index_t dimension >
    SurfacePathFinder< dimension >::SurfacePathFinder(
        const SurfaceMesh< dimension >& mesh, index_t begin, index_t end )
        : mesh_( mesh ),
          begin_( begin ),
          end_( end ),
          segment_( mesh.point( begin ), mesh.point( end ) )
    {
    }

    template < index_t dimension >
    SurfaceSegmentFinder< dimension >::~SurfaceSegmentFinder() = default;

    SurfacePathFinderException::SurfacePathFinderException()
        : OpenOrvaneException{ "Cannot find a path in the surface" }
    {
    }

    SurfacePathFinderException::~SurfacePathFinderException() = default;

    template class SurfacePathFinder< 2 >;
    template class SurfacePathFinder< 3 >;
    template class SurfaceSegmentFinder< 2 >;
    template class SurfaceSegmentFinder< 3 >;
} // namespace orvane
