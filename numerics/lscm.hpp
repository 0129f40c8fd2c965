#pragma once

#include <array>
#include <memory>

#include <openorvane/basic/types.hpp>
#include <openorvane/basic/variable_attribute.hpp>
#include <openorvane/geometry/point.hpp>
#include <openorvane/mesh/triangulated_surface.hpp>

#include <numerics/linear_solver.hpp>

namespace orvane
{
    namespace internal
    {
        /// Least-squares conformal map of a triangulated 3-D surface piece
        /// onto the plane. Two vertices are held at their projections on the
        /// piece's average plane (the extreme ones along its longer extent);
        /// every triangle contributes the two equations of its conformality,
        /// weighted by one over the square root of twice its area.
        class LSCM
        {
        public:
            /// One corner's complex coefficient (a + i b) in its triangle's
            /// conformality equation.
            struct CornerCoefficients
            {
                index_t vertex;
                double a;
                double b;
            };

            /// `parameters` is a vertex attribute of `mesh` that receives the
            /// plane positions; `solver` must have 2 x nb_vertices variables
            /// (2i is u and 2i + 1 is v of vertex i).
            LSCM( const TriangulatedSurface< 3 >& mesh,
                std::shared_ptr< VariableAttribute< Point< 2 > > > parameters,
                LinearSolver solver );

            /// Solves the map and writes every vertex's position into the
            /// attribute, which is untouched when anything fails. Throws
            /// OpenOrvaneException "[LSCM::average_plane] All triangles are
            /// degenerated" when the triangle normals cancel out, and the
            /// solver's failures.
            void compute();

        private:
            /// (first, second): unit axes of the average plane, with
            /// (second, first, normal) right-handed.
            std::array< Vector< 3 >, 2 > average_plane() const;

            void initial_guess();

            std::array< CornerCoefficients, 3 > triangle_coefficients(
                index_t triangle ) const;

            void add_vertex_coefficients(
                index_t triangle, index_t vertex, double a, double b );

        private:
            const TriangulatedSurface< 3 >& mesh_;
            std::shared_ptr< VariableAttribute< Point< 2 > > > parameters_;
            LinearSolver solver_;
        };

        /// A 2-D triangulated surface of the default implementation with the
        /// piece's vertices placed at the Point<2> vertex attribute
        /// `attribute_name` (which must exist) and the piece's triangles and
        /// adjacencies, with the same indices.
        std::unique_ptr< TriangulatedSurface< 2 > > create_parameterized_surface(
            const TriangulatedSurface< 3 >& mesh, std::string_view attribute_name );
    } // namespace internal
} // namespace orvane
