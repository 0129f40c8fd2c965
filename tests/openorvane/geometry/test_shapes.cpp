#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <random>
#include <vector>

#include <openorvane/geometry/barycentric_coordinates.hpp>
#include <openorvane/geometry/distance.hpp>
#include <openorvane/geometry/mensuration.hpp>
#include <openorvane/geometry/predicates.hpp>

namespace
{
    using P3 = orvane::Point3D;

    /// The unit cube cut into the six tetrahedra around its main diagonal,
    /// each oriented to a positive volume.
    std::vector< orvane::Tetrahedron > cube_tetrahedra()
    {
        std::array< int, 3 > axes{ 0, 1, 2 };
        std::vector< orvane::Tetrahedron > tetrahedra;
        do
        {
            std::array< P3, 4 > corners;
            P3 corner;
            corners[0] = corner;
            for( int k = 0; k < 3; k++ )
            {
                corner.set_value(
                    static_cast< orvane::local_index_t >( axes[k] ), 1 );
                corners[k + 1] = corner;
            }
            orvane::Tetrahedron tetrahedron{ corners[0], corners[1],
                corners[2], corners[3] };
            if( orvane::tetrahedron_volume_sign( tetrahedron )
                == orvane::SIDE::negative )
            {
                tetrahedron = { corners[0], corners[2], corners[1], corners[3] };
            }
            tetrahedra.push_back( tetrahedron );
        } while( std::next_permutation( axes.begin(), axes.end() ) );
        return tetrahedra;
    }
} // namespace

TEST( Shapes, CubeTetrahedraCoverTheCubeOnce )
{
    const auto tetrahedra = cube_tetrahedra();
    double volume{ 0. };
    for( const auto& tetrahedron : tetrahedra )
    {
        ASSERT_EQ( orvane::tetrahedron_volume_sign( tetrahedron ),
            orvane::SIDE::positive );
        volume += orvane::tetrahedron_signed_volume( tetrahedron );
    }
    EXPECT_NEAR( volume, 1, 1e-15 );

    // Points on a grid of eighths (many on shared faces, edges and the
    // diagonal) and random points: each is in at least one closed
    // tetrahedron, and a point strictly inside one is in no other.
    std::vector< P3 > points;
    for( int i = 0; i <= 8; i++ )
    {
        for( int j = 0; j <= 8; j++ )
        {
            for( int k = 0; k <= 8; k++ )
            {
                points.push_back( P3{ { i / 8., j / 8., k / 8. } } );
            }
        }
    }
    std::mt19937 random{ 31 };
    std::uniform_real_distribution< double > unit{ 0, 1 };
    for( int i = 0; i < 500; i++ )
    {
        points.push_back( P3{ { unit( random ), unit( random ), unit( random ) } } );
    }
    for( const auto& point : points )
    {
        int containing{ 0 };
        bool strictly_inside{ false };
        for( const auto& tetrahedron : tetrahedra )
        {
            const auto [distance, closest] =
                orvane::point_tetrahedron_distance( point, tetrahedron );
            if( distance != 0 )
            {
                continue;
            }
            containing++;
            EXPECT_EQ( closest, point );
            const auto weights = orvane::safe_tetrahedron_barycentric_coordinates(
                point, tetrahedron );
            P3 rebuilt;
            double sum{ 0. };
            bool all_positive{ true };
            for( int v = 0; v < 4; v++ )
            {
                EXPECT_GE( weights[v], -1e-15 ) << point.string();
                all_positive = all_positive && weights[v] > 1e-12;
                rebuilt += tetrahedron.vertices()[v] * weights[v];
                sum += weights[v];
            }
            strictly_inside = strictly_inside || all_positive;
            EXPECT_NEAR( sum, 1, 1e-15 );
            EXPECT_TRUE( rebuilt.inexact_equal( point ) ) << point.string();
        }
        EXPECT_GE( containing, 1 ) << point.string();
        if( strictly_inside )
        {
            EXPECT_EQ( containing, 1 ) << point.string();
        }
    }
}
