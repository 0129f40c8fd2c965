#include <cmath>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include <openorvane/model/boundary_intersections.hpp>
#include <openorvane/model/brep_builder.hpp>
#include <openorvane/model/model_library.hpp>

#include <tests/support/brep_fixtures.hpp>

namespace orvane
{
    namespace
    {
        Point3D point( double x, double y, double z )
        {
            return Point3D{ { x, y, z } };
        }

        /// The box [0, 2]^3 as one block bounded by six two-triangle
        /// surfaces (outward normals), each face cut along the diagonal
        /// from its lowest corner.
        struct BoxModel
        {
            BRep model;
            uuid block;
        };

        BoxModel box_model()
        {
            OpenOrvaneModelLibrary::initialize();
            BoxModel result;
            BRepBuilder builder{ result.model };
            builder.create_unique_vertices( 8 );
            const auto corner = []( index_t c ) {
                return point( 2. * ( c & 1 ), 2. * ( ( c >> 1 ) & 1 ), 2. * ( ( c >> 2 ) & 1 ) );
            };
            // Each face as four corners going round counter-clockwise seen
            // from outside.
            const std::vector< std::array< index_t, 4 > > faces{ { 0, 4, 6, 2 },
                { 1, 3, 7, 5 }, { 0, 1, 5, 4 }, { 2, 6, 7, 3 }, { 0, 2, 3, 1 },
                { 4, 5, 7, 6 } };
            std::vector< uuid > surfaces;
            for( const auto& face : faces )
            {
                std::vector< Point3D > points;
                std::vector< index_t > uniques;
                for( const auto c : face )
                {
                    points.push_back( corner( c ) );
                    uniques.push_back( c );
                }
                surfaces.push_back( test::add_linked_surface(
                    result.model, points, { { 0, 1, 2 }, { 0, 2, 3 } }, uniques ) );
            }
            result.block = builder.add_block();
            for( const auto& surface : surfaces )
            {
                builder.add_surface_block_boundary_relationship(
                    result.model.surface( surface ), result.model.block( result.block ) );
            }
            return result;
        }

        struct ExpectedHit
        {
            double distance;
            bool parallel;
        };

        struct LineCase
        {
            const char* name;
            Point3D origin;
            Vector3D direction;
            std::vector< ExpectedHit > hits;
        };
    } // namespace

    TEST( BoundaryIntersections, AxisLinesThroughABox )
    {
        const auto box = box_model();
        const auto& block = box.model.block( box.block );
        const double r3 = std::sqrt( 3. );
        const std::vector< LineCase > cases{
            { "through two face interiors", point( 1, 0.5, 0.7 ), Vector3D{ { 1, 0, 0 } },
                { { -1, false }, { 1, false } } },
            { "through the face diagonals", point( 1, 1, 1 ), Vector3D{ { 1, 0, 0 } },
                { { -1, false }, { 1, false } } },
            { "through two box corners", point( 1, 1, 1 ), Vector3D{ { 1, 1, 1 } },
                { { -r3, false }, { r3, false } } },
            { "through two box edges", point( 1, 1, 1 ), Vector3D{ { 1, 1, 0 } },
                { { -std::sqrt( 2. ), false }, { std::sqrt( 2. ), false } } },
            { "origin on a face", point( 0, 0.5, 0.7 ), Vector3D{ { 1, 0, 0 } },
                { { 0, false }, { 2, false } } },
            { "origin on a box corner", point( 2, 2, 2 ), Vector3D{ { -1, -1, -1 } },
                { { 0, false }, { 2 * r3, false } } },
            { "missing the box", point( 1, 3, 1 ), Vector3D{ { 1, 0, 0 } }, {} },
        };
        for( const auto& line_case : cases )
        {
            SCOPED_TRACE( line_case.name );
            const auto hits = find_intersections_with_boundaries(
                InfiniteLine< 3 >{ line_case.direction, line_case.origin }, box.model,
                block );
            ASSERT_EQ( hits.size(), line_case.hits.size() );
            for( index_t h = 0; h < hits.size(); h++ )
            {
                EXPECT_NEAR( hits[h].distance, line_case.hits[h].distance, 1e-12 );
                EXPECT_EQ( hits[h].parallel, line_case.hits[h].parallel );
            }
        }

        // A line lying in a face plane touches the face's triangles: every
        // remaining contact along it is parallel or a crossing of the
        // faces it runs into.
        const auto in_face = find_intersections_with_boundaries(
            InfiniteLine< 3 >{ Vector3D{ { 1, 0, 0 } }, point( 1, 0.5, 0 ) }, box.model,
            block );
        ASSERT_FALSE( in_face.empty() );
        EXPECT_TRUE( std::any_of( in_face.begin(), in_face.end(),
            []( const LineBoundaryIntersection& hit ) { return hit.parallel; } ) );
        const auto parallel_ahead = std::find_if( in_face.begin(), in_face.end(),
            []( const LineBoundaryIntersection& hit ) { return hit.parallel; } );
        EXPECT_NEAR( parallel_ahead->distance, 1., 1e-12 );
    }

    // Random lines through the inside of the box meet its boundary exactly
    // twice, where the slab method says.
    TEST( BoundaryIntersections, RandomLinesMatchTheSlabMethod )
    {
        const auto box = box_model();
        const auto& block = box.model.block( box.block );
        std::mt19937 random{ 7 };
        std::uniform_real_distribution< double > inside{ 0.1, 1.9 };
        std::uniform_real_distribution< double > direction{ -1, 1 };
        for( index_t trial = 0; trial < 200; trial++ )
        {
            const auto origin = point( inside( random ), inside( random ), inside( random ) );
            Vector3D along{ { direction( random ), direction( random ), direction( random ) } };
            if( along.length() < 0.1 )
            {
                continue;
            }
            along = along / along.length();
            double t_min = -1e300;
            double t_max = 1e300;
            for( local_index_t axis = 0; axis < 3; axis++ )
            {
                const double d = along.value( axis );
                if( std::abs( d ) < 1e-12 )
                {
                    continue;
                }
                const double t0 = ( 0. - origin.value( axis ) ) / d;
                const double t1 = ( 2. - origin.value( axis ) ) / d;
                t_min = std::max( t_min, std::min( t0, t1 ) );
                t_max = std::min( t_max, std::max( t0, t1 ) );
            }
            const auto hits = find_intersections_with_boundaries(
                InfiniteLine< 3 >{ along, origin }, box.model, block );
            ASSERT_EQ( hits.size(), 2 ) << "trial " << trial;
            EXPECT_NEAR( hits[0].distance, t_min, 1e-9 );
            EXPECT_NEAR( hits[1].distance, t_max, 1e-9 );
            EXPECT_FALSE( hits[0].parallel || hits[1].parallel );
        }
    }
} // namespace orvane
