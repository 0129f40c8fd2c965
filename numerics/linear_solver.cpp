#include <numerics/linear_solver.hpp>

#include <vector>

#include <Eigen/Sparse>
#include <absl/container/inlined_vector.h>

#include <openorvane/basic/exception.hpp>
#include <openorvane/basic/logger.hpp>

namespace orvane
{
    namespace internal
    {
        class LinearSolver::Impl
        {
        public:
            explicit Impl( index_t nb_variables_in )
                : nb_variables( nb_variables_in ),
                  values( Eigen::VectorXd::Zero( nb_variables_in ) ),
                  locked( nb_variables_in, false )
            {
            }

            void set_variable( index_t index, double value )
            {
                values( index ) = value;
            }

            void lock_variable( index_t index )
            {
                locked[index] = true;
            }

            void begin( index_t nb_rows )
            {
                state = 1;
                index_t nb_locked{ 0 };
                for( const bool is_locked : locked )
                {
                    nb_locked += is_locked ? 1 : 0;
                }
                split_variables( nb_locked );
                free_matrix.resize( nb_rows, nb_variables - nb_locked );
                locked_matrix.resize( nb_rows, nb_locked );
                right_hand_side = Eigen::VectorXd::Zero( nb_rows );
                free_triplets.reserve( 3 * static_cast< std::size_t >( nb_rows ) );
                locked_triplets.reserve( 3 * static_cast< std::size_t >( nb_rows ) );
            }

            void add_coefficient( std::int32_t row, index_t variable, double value )
            {
                const auto column = static_cast< std::int32_t >( index_map[variable] );
                if( locked[variable] )
                {
                    locked_triplets.emplace_back( row, column, value );
                }
                else
                {
                    free_triplets.emplace_back( row, column, value );
                }
            }

            void solve()
            {
                Logger::log_trace( "[LinearSolver] Solving" );
                state = 2;
                free_matrix.setFromTriplets( free_triplets.begin(), free_triplets.end() );
                if( locked_matrix.cols() > 0 )
                {
                    locked_matrix.setFromTriplets(
                        locked_triplets.begin(), locked_triplets.end() );
                    right_hand_side -= locked_matrix * locked_values;
                }
                Eigen::LeastSquaresConjugateGradient< Eigen::SparseMatrix< double > >
                    solver;
                solver.setTolerance( 1e-6 );
                solver.setMaxIterations( 10 * static_cast< Eigen::Index >( nb_variables ) );
                solver.compute( free_matrix );
                if( solver.info() != Eigen::Success )
                {
                    throw OpenOrvaneException{
                        "[LinearSolver::solve] Decomposition failed" };
                }
                Eigen::VectorXd solution = solver.solveWithGuess( right_hand_side, values );
                if( solver.info() != Eigen::Success )
                {
                    throw OpenOrvaneException{ "[LinearSolver::solve] Solving failed" };
                }
                values = std::move( solution );
            }

            double variable( index_t index ) const
            {
                if( state == 0 )
                {
                    return values( index );
                }
                if( locked[index] )
                {
                    return locked_values( index_map[index] );
                }
                return values( index_map[index] );
            }

        private:
            /// Numbers each variable among the free or among the pinned ones
            /// and keeps in `values` only the free ones, in variable order.
            void split_variables( index_t nb_locked )
            {
                index_map.resize( nb_variables );
                if( nb_locked == 0 )
                {
                    for( index_t k = 0; k < nb_variables; k++ )
                    {
                        index_map[k] = k;
                    }
                    return;
                }
                locked_values.resize( nb_locked );
                Eigen::VectorXd free_values( nb_variables - nb_locked );
                index_t nb_free_seen{ 0 };
                index_t nb_locked_seen{ 0 };
                for( index_t k = 0; k < nb_variables; k++ )
                {
                    if( locked[k] )
                    {
                        index_map[k] = nb_locked_seen;
                        locked_values( nb_locked_seen++ ) = values( k );
                    }
                    else
                    {
                        index_map[k] = nb_free_seen;
                        free_values( nb_free_seen++ ) = values( k );
                    }
                }
                values = std::move( free_values );
            }

        public:
            std::int32_t state{ 0 };
            index_t nb_variables;
            Eigen::VectorXd values;
            Eigen::VectorXd locked_values;
            Eigen::VectorXd right_hand_side;
            std::vector< bool > locked;
            absl::InlinedVector< std::uint32_t, 64 > index_map;
            Eigen::SparseMatrix< double > free_matrix;
            std::vector< Eigen::Triplet< double, std::int32_t > > free_triplets;
            Eigen::SparseMatrix< double > locked_matrix;
            std::vector< Eigen::Triplet< double, std::int32_t > > locked_triplets;
        };

        LinearSolver::LinearSolver( index_t nb_variables )
            : impl_{ std::make_unique< Impl >( nb_variables ) }
        {
        }

        LinearSolver::LinearSolver( LinearSolver&& ) noexcept = default;
        LinearSolver& LinearSolver::operator=( LinearSolver&& ) noexcept = default;
        LinearSolver::~LinearSolver() = default;

        void LinearSolver::set_variable( index_t index, double value )
        {
            impl_->set_variable( index, value );
        }

        void LinearSolver::lock_variable( index_t index )
        {
            impl_->lock_variable( index );
        }

        void LinearSolver::begin( index_t nb_rows )
        {
            impl_->begin( nb_rows );
        }

        void LinearSolver::add_coefficient(
            std::int32_t row, index_t variable, double value )
        {
            impl_->add_coefficient( row, variable, value );
        }

        void LinearSolver::solve()
        {
            impl_->solve();
        }

        double LinearSolver::variable( index_t index ) const
        {
            return impl_->variable( index );
        }
    } // namespace internal
} // namespace orvane
