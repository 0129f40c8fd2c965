#pragma once

#include <cstdint>
#include <memory>

#include <openorvane/basic/types.hpp>

namespace orvane
{
    namespace internal
    {
        /// A sparse linear least-squares system A x = 0 whose variables can
        /// be pinned to given values. Pinned variables are moved to the
        /// right-hand side, and the free ones are solved by conjugate
        /// gradient on the normal equations.
        ///
        /// Use: set starting and pinned values, `begin` with the number of
        /// rows, add the coefficients, `solve`, read the variables.
        class LinearSolver
        {
        public:
            /// Every value 0, nothing pinned.
            explicit LinearSolver( index_t nb_variables );
            LinearSolver( LinearSolver&& other ) noexcept;
            LinearSolver& operator=( LinearSolver&& other ) noexcept;
            ~LinearSolver();

            /// Sets a variable's value: its starting value for the iteration,
            /// or its pinned value. Before `begin` only.
            void set_variable( index_t index, double value );

            /// Pins the variable at its current value. Before `begin` only.
            void lock_variable( index_t index );

            /// Splits the variables into free and pinned ones and sizes the
            /// system to `nb_rows` rows with a zero right-hand side.
            void begin( index_t nb_rows );

            /// Adds `value` at (row, variable); coefficients given twice at
            /// the same place are summed. After `begin` only.
            void add_coefficient( std::int32_t row, index_t variable, double value );

            /// Solves for the free variables starting from their current
            /// values. Throws OpenOrvaneException "[LinearSolver::solve]
            /// Decomposition failed" when the solver cannot be set up and
            /// "[LinearSolver::solve] Solving failed" when the iteration does
            /// not reach the tolerance 1e-6 within 10 x nb_variables steps.
            void solve();

            /// The variable's value: as set before `begin`, its pinned or
            /// starting value after it, the solution after `solve`.
            double variable( index_t index ) const;

        private:
            class Impl;
            std::unique_ptr< Impl > impl_;
        };
    } // namespace internal
} // namespace orvane
