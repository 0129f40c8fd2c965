#pragma once

#include <openorvane/basic/types.hpp>
#include <openorvane/geometry/aabb.hpp>
#include <openorvane/geometry/point.hpp>

namespace orvane
{
    template < index_t dimension >
    class SolidMesh;
    template < index_t dimension >
    class TetrahedralSolid;

    /// A tree over the bounding boxes of the solid's polyhedra: element i of
    /// the tree is polyhedron i.
    template < index_t dimension >
    AABBTree< dimension > create_aabb_tree( const SolidMesh< dimension >& mesh );

    /// The distance from a point to a tetrahedron of a solid (0 inside the
    /// closed tetrahedron), for the searches of a tree made by
    /// create_aabb_tree. The solid must outlive the functor.
    template < index_t dimension >
    class DistanceToTetrahedron
    {
    public:
        explicit DistanceToTetrahedron( const TetrahedralSolid< dimension >& solid )
            : solid_( solid )
        {
        }

        double operator()(
            const Point< dimension >& query, index_t tetrahedron_id ) const;

    private:
        const TetrahedralSolid< dimension >& solid_;
    };
} // namespace orvane
