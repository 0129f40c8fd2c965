#pragma once

#include <memory>

#include <simplex/metric/grid_metric.hpp>

namespace orvane
{
    class BRep;
    template < index_t dimension >
    class Block;
    template < index_t dimension >
    class TriangulatedSurface;

    /// The grid metric made by a model's metric constraints: a grid metric
    /// that can also build the closed boundary of a block of its model, so
    /// that block sizes are written over the block's volume.
    class BRepGridMetric : public GridMetric< 3 >
    {
    public:
        /// The grid and the model are borrowed and must outlive the metric.
        BRepGridMetric( const LightRegularGrid< 3 >& grid,
            double default_value,
            const BRep& model );
        ~BRepGridMetric() override;

        /// A new surface, owned by the caller, made of the triangles of the
        /// block's boundary surfaces (in the model's order, triangles in
        /// index order). Surface vertices sharing a unique vertex of the
        /// model become one vertex, numbered in the order first met, so the
        /// lines shared by two boundary surfaces are not duplicated; a
        /// surface vertex without a unique vertex keeps its own vertex. The
        /// adjacencies are computed and the orientations made consistent.
        std::unique_ptr< TriangulatedSurface< 3 > > block_boundary_surface(
            const Block< 3 >& block ) const;

    private:
        class Impl;
        std::unique_ptr< Impl > impl_;
    };
} // namespace orvane
