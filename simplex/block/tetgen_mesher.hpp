#pragma once

#include <memory>
#include <string>
#include <vector>

#include <absl/functional/function_ref.h>
#include <absl/types/span.h>

#include <openorvane/basic/types.hpp>
#include <openorvane/geometry/point.hpp>

#include <simplex/remeshed_component.hpp>

namespace orvane
{
    class BRep;
    class BRepBuilder;
    template < index_t dimension >
    class Block;

    namespace internal
    {
        /// Fills the tetrahedral mesh of one block by one tetrahedralisation
        /// of the piecewise linear complex made of the block's boundary and
        /// internal surfaces, its internal lines and corners, and the given
        /// extra interior points.
        ///
        /// Every input point carries a marker: a model point its unique
        /// vertex + 1, extra point j the value -(j + 1). The output is mapped
        /// back through the markers only, so that each block vertex on the
        /// boundary joins the unique vertex of the model point it stands on,
        /// and every other block vertex gets NO_ID (a new unique vertex).
        ///
        /// Without extra points, the tetrahedralisation is refined to a
        /// radius-edge ratio of 1; with extra points it only inserts them.
        /// The block's boundary is never split.
        ///
        /// Tetrahedralisations of different meshers run one at a time (the
        /// tetrahedraliser keeps process-wide state); the rest of the work
        /// runs concurrently. The block's mesh must be an empty
        /// TetrahedralSolid<3>.
        class TetgenMesher
        {
        public:
            /// `points` must stay alive until assign_result returns.
            TetgenMesher( const BRep& model,
                BRepBuilder& builder,
                const Block< 3 >& block,
                absl::Span< const Point< 3 > > points );
            ~TetgenMesher();

            TetgenMesher( const TetgenMesher& ) = delete;
            TetgenMesher& operator=( const TetgenMesher& ) = delete;

            /// Builds the complex, tetrahedralises it, writes the block mesh
            /// (vertex i is output point i; tetrahedra of the regions that
            /// touch the border, with their adjacencies) and returns, per
            /// block vertex, its unique vertex or NO_ID. Called once.
            ///
            /// Throws OpenOrvaneException: "[TetgenMesher] ..." for a failure
            /// of the tetrahedraliser (see detail::tetgen_error_message), and
            /// "[TetgenMesher] An input error was detected" before running it
            /// on an input it would abort on (fewer than four points, a
            /// non-finite coordinate, all points in one axis-aligned plane, a
            /// facet of three collinear points); "[TetgenMesher] Boundary contains
            /// Steiner points" when a point was added on the boundary;
            /// "[TetgenMesher::assign_result] Generated mesh is empty";
            /// "[TetgenMesher::assign_tetrahedra_adjacencies] Wrong adjacent
            /// value" when a kept tetrahedron touches a dropped one.
            RemeshedComponent assign_result();

        private:
            class Impl;
            std::unique_ptr< Impl > impl;
            const BRep& brep;
            const Block< 3 >& block;
        };
    } // namespace internal

    namespace detail
    {
        /// The message of a failure code thrown by the tetrahedraliser.
        [[nodiscard]] std::string tetgen_error_message( int code );

        /// The unique vertex of each output point of a tetrahedralisation,
        /// from its marker: m >= 1 names unique vertex m - 1 and is accepted
        /// only when the point lies exactly at that unique vertex's model
        /// point (`model_point` returns it, or null when the complex has no
        /// such point); 0 (a point added inside) and negative markers (extra
        /// points) give NO_ID. Any other point with a positive marker was
        /// added on a facet or segment: throws "[TetgenMesher] Boundary
        /// contains Steiner points".
        [[nodiscard]] std::vector< index_t > unique_vertices_of_markers(
            absl::Span< const int > markers,
            absl::Span< const double > coordinates,
            absl::FunctionRef< const Point< 3 >*( index_t ) > model_point );
    } // namespace detail
} // namespace orvane
