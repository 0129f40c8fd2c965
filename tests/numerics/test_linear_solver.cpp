#include <cmath>
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include <openorvane/basic/exception.hpp>

#include <numerics/linear_solver.hpp>

namespace
{
    using orvane::internal::LinearSolver;

    std::string solve_error( LinearSolver& solver )
    {
        try
        {
            solver.solve();
        }
        catch( const orvane::OpenOrvaneException& error )
        {
            return error.what();
        }
        return "no error";
    }
} // namespace

TEST( LinearSolver, VariablesReadThroughTheSplitBeforeAndAfterBegin )
{
    // Pinned variables interleaved with free ones, so that positions among
    // the free and among the pinned differ from the variable index.
    LinearSolver solver{ 5 };
    for( orvane::index_t k = 0; k < 5; k++ )
    {
        solver.set_variable( k, 10. + k );
    }
    solver.lock_variable( 1 );
    solver.lock_variable( 3 );
    for( orvane::index_t k = 0; k < 5; k++ )
    {
        EXPECT_EQ( solver.variable( k ), 10. + k ) << "before begin, " << k;
    }
    solver.begin( 2 );
    for( orvane::index_t k = 0; k < 5; k++ )
    {
        EXPECT_EQ( solver.variable( k ), 10. + k ) << "after begin, " << k;
    }

    LinearSolver unpinned{ 3 };
    unpinned.set_variable( 2, 7. );
    unpinned.begin( 1 );
    EXPECT_EQ( unpinned.variable( 0 ), 0. );
    EXPECT_EQ( unpinned.variable( 2 ), 7. );
}

TEST( LinearSolver, PinnedSystemMatchesItsClosedForm )
{
    // x0 pinned at 2; rows x1 - x0 = 0, x1 - 2 x0 = 0 (given as two halves
    // that must be summed), x2 - x1 = 0. Least squares: x1 = x2 = 1.5 x0.
    LinearSolver solver{ 3 };
    solver.set_variable( 0, 2. );
    solver.lock_variable( 0 );
    solver.begin( 3 );
    solver.add_coefficient( 0, 1, 1. );
    solver.add_coefficient( 0, 0, -1. );
    solver.add_coefficient( 1, 1, 0.5 );
    solver.add_coefficient( 1, 1, 0.5 );
    solver.add_coefficient( 1, 0, -2. );
    solver.add_coefficient( 2, 2, 1. );
    solver.add_coefficient( 2, 1, -1. );
    solver.solve();
    EXPECT_EQ( solver.variable( 0 ), 2. );
    EXPECT_NEAR( solver.variable( 1 ), 3., 1e-5 );
    EXPECT_NEAR( solver.variable( 2 ), 3., 1e-5 );
}

TEST( LinearSolver, OverdeterminedSystemWithSeveralPins )
{
    // Fit x1 between pinned x0 = 1 and x2 = 4 with weights 1 and 2:
    // minimise (x1 - x0)^2 + (2 x1 - 2 x2)^2, so x1 = (x0 + 4 x2) / 5.
    LinearSolver solver{ 3 };
    solver.set_variable( 0, 1. );
    solver.set_variable( 2, 4. );
    solver.lock_variable( 0 );
    solver.lock_variable( 2 );
    solver.begin( 2 );
    solver.add_coefficient( 0, 1, 1. );
    solver.add_coefficient( 0, 0, -1. );
    solver.add_coefficient( 1, 1, 2. );
    solver.add_coefficient( 1, 2, -2. );
    solver.solve();
    EXPECT_NEAR( solver.variable( 1 ), 17. / 5., 1e-5 );
    EXPECT_EQ( solver.variable( 0 ), 1. );
    EXPECT_EQ( solver.variable( 2 ), 4. );
}

TEST( LinearSolver, NonFiniteSystemIsReportedAsSolvingFailure )
{
    LinearSolver solver{ 2 };
    solver.set_variable( 0, 1. );
    solver.lock_variable( 0 );
    solver.begin( 1 );
    solver.add_coefficient( 0, 0, 1. );
    solver.add_coefficient( 0, 1, std::numeric_limits< double >::quiet_NaN() );
    EXPECT_EQ( solve_error( solver ), "[LinearSolver::solve] Solving failed" );
}
