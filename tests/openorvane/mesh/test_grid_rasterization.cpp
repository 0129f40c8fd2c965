#include <openorvane/mesh/grid_rasterization.hpp>

#include <array>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include <openorvane/geometry/box_overlap.hpp>
#include <openorvane/geometry/intersection_detection.hpp>
#include <openorvane/geometry/predicates.hpp>
#include <openorvane/mesh/triangulated_surface.hpp>

#include <tests/support/surface_fixtures.hpp>

// The rasterisers are checked cell by cell against an independent exact
// formulation of the overlap: a closed element meets a closed box when one
// of its vertices lies in the box, when a box corner lies in it (solids
// only), or when its boundary meets the boundary of the other, decided with
// the exact segment-triangle and triangle-triangle detections. Coordinates
// on a coarse binary lattice make touching contacts frequent.

namespace
{
    using namespace orvane;
    using Grid = LightRegularGrid< 3 >;

    std::array< Triangle< 3 >, 12 > box_faces( const BoundingBox< 3 >& box )
    {
        std::array< Point< 3 >, 8 > c;
        for( index_t i = 0; i < 8; i++ )
        {
            c[i] = Point< 3 >{ { ( i & 1 ) ? box.max().value( 0 ) : box.min().value( 0 ),
                ( i & 2 ) ? box.max().value( 1 ) : box.min().value( 1 ),
                ( i & 4 ) ? box.max().value( 2 ) : box.min().value( 2 ) } };
        }
        const std::array< std::array< index_t, 4 >, 6 > quads{ { { 0, 1, 3, 2 },
            { 4, 5, 7, 6 }, { 0, 1, 5, 4 }, { 2, 3, 7, 6 }, { 0, 2, 6, 4 },
            { 1, 3, 7, 5 } } };
        std::array< Triangle< 3 >, 12 > faces;
        for( index_t q = 0; q < 6; q++ )
        {
            const auto& v = quads[q];
            faces[2 * q] = Triangle< 3 >{ c[v[0]], c[v[1]], c[v[2]] };
            faces[2 * q + 1] = Triangle< 3 >{ c[v[0]], c[v[2]], c[v[3]] };
        }
        return faces;
    }

    bool segment_meets_triangle( const Segment< 3 >& segment, const Triangle< 3 >& triangle )
    {
        return segment_triangle_intersection_detection( segment, triangle ).first
               != POSITION::outside;
    }

    bool segment_meets_box( const Segment< 3 >& segment, const BoundingBox< 3 >& box )
    {
        if( box.contains( segment.vertices()[0] ) || box.contains( segment.vertices()[1] ) )
        {
            return true;
        }
        for( const auto& face : box_faces( box ) )
        {
            if( segment_meets_triangle( segment, face ) )
            {
                return true;
            }
        }
        return false;
    }

    bool triangle_meets_box( const Triangle< 3 >& triangle, const BoundingBox< 3 >& box )
    {
        const auto& v = triangle.vertices();
        for( const local_index_t e : { 0, 1, 2 } )
        {
            if( segment_meets_box( Segment< 3 >{ v[e], v[( e + 1 ) % 3] }, box ) )
            {
                return true;
            }
        }
        // A box edge through the triangle's interior.
        for( const auto& face : box_faces( box ) )
        {
            for( const local_index_t e : { 0, 1, 2 } )
            {
                if( segment_meets_triangle(
                        Segment< 3 >{ face.vertices()[e], face.vertices()[( e + 1 ) % 3] },
                        triangle ) )
                {
                    return true;
                }
            }
        }
        return false;
    }

    bool point_in_tetrahedron( const Point< 3 >& point, const Tetrahedron& tetrahedron )
    {
        const auto volume = tetrahedron_volume_sign( tetrahedron );
        if( volume == SIDE::zero )
        {
            return false;
        }
        for( const local_index_t f : { 0, 1, 2, 3 } )
        {
            auto replaced = tetrahedron;
            replaced.set_point( f, point );
            if( tetrahedron_volume_sign( replaced ) == opposite_side( volume ) )
            {
                return false;
            }
        }
        return true;
    }

    bool tetrahedron_meets_box( const Tetrahedron& tetrahedron, const BoundingBox< 3 >& box )
    {
        const auto& v = tetrahedron.vertices();
        for( const auto& face : box_faces( box ) )
        {
            for( const auto& corner : face.vertices() )
            {
                if( point_in_tetrahedron( corner, tetrahedron ) )
                {
                    return true;
                }
            }
        }
        for( const auto& f : std::array< std::array< index_t, 3 >, 4 >{
                 { { 0, 1, 2 }, { 0, 1, 3 }, { 0, 2, 3 }, { 1, 2, 3 } } } )
        {
            if( triangle_meets_box( Triangle< 3 >{ v[f[0]], v[f[1]], v[f[2]] }, box ) )
            {
                return true;
            }
        }
        return false;
    }

    /// Every cell of the grid that `meets` accepts; cells whose boxes miss
    /// the element's box are skipped, since the element cannot meet them.
    template < typename Meets >
    RasterizedCells brute_force(
        const Grid& grid, const BoundingBox< 3 >& element_box, const Meets& meets )
    {
        RasterizedCells cells;
        for( index_t c = 0; c < grid.nb_cells(); c++ )
        {
            const auto cell = grid.cell_bounding_box( grid.cell_indices( c ) );
            if( cell.intersects( element_box ) && meets( cell ) )
            {
                cells.push_back( grid.cell_indices( c ) );
            }
        }
        return cells;
    }

    Grid lattice_grid()
    {
        return Grid{ Point< 3 >{ { 0., 0., 0. } }, { 4, 3, 5 }, { 0.5, 1., 0.25 } };
    }

    /// Random points on a lattice of step 1/8 over a box a bit larger than
    /// the grid, so elements cross, touch and leave it.
    class LatticePoints
    {
    public:
        explicit LatticePoints( unsigned seed ) : random_( seed ) {}

        Point< 3 > operator()()
        {
            return Point< 3 >{ { step( -4, 20 ), step( -4, 28 ), step( -4, 14 ) } };
        }

    private:
        double step( int low, int high )
        {
            return std::uniform_int_distribution< int >{ low, high }( random_ ) / 8.;
        }

        std::mt19937 random_;
    };

    TEST( GridRasterization, SegmentsMatchBruteForce )
    {
        const auto grid = lattice_grid();
        LatticePoints point{ 1 };
        for( int trial = 0; trial < 300; trial++ )
        {
            SCOPED_TRACE( trial );
            const auto a = point();
            // Every fourth segment is a point, every fourth lies along an axis.
            auto b = trial % 4 == 0 ? a : point();
            if( trial % 4 == 1 )
            {
                b.set_value( 0, a.value( 0 ) );
                b.set_value( 1, a.value( 1 ) );
            }
            const Segment< 3 > segment{ a, b };
            EXPECT_EQ( rasterize_segment( grid, segment ),
                brute_force( grid, segment.bounding_box(), [&]( const BoundingBox< 3 >& box ) {
                    return segment_meets_box( segment, box );
                } ) );
        }
    }

    TEST( GridRasterization, TrianglesMatchBruteForce )
    {
        const auto grid = lattice_grid();
        LatticePoints point{ 2 };
        for( int trial = 0; trial < 300; trial++ )
        {
            SCOPED_TRACE( trial );
            const auto a = point();
            const auto b = point();
            // Every fifth triangle is flat (collinear), every fifth lies in
            // an axis plane.
            auto c = point();
            if( trial % 5 == 0 )
            {
                c = a + ( b - a ) * 2.;
            }
            if( trial % 5 == 1 )
            {
                auto flat_b = b;
                flat_b.set_value( 2, a.value( 2 ) );
                c.set_value( 2, a.value( 2 ) );
                const Triangle< 3 > triangle{ a, flat_b, c };
                EXPECT_EQ( conservative_rasterize_triangle( grid, triangle ),
                    brute_force( grid, triangle.bounding_box(),
                        [&]( const BoundingBox< 3 >& box ) {
                        return triangle_meets_box( triangle, box );
                    } ) );
                continue;
            }
            const Triangle< 3 > triangle{ a, b, c };
            EXPECT_EQ( conservative_rasterize_triangle( grid, triangle ),
                brute_force( grid, triangle.bounding_box(),
                    [&]( const BoundingBox< 3 >& box ) {
                    return triangle_meets_box( triangle, box );
                } ) );
        }
    }

    TEST( GridRasterization, TetrahedraMatchBruteForce )
    {
        const auto grid = lattice_grid();
        LatticePoints point{ 3 };
        for( int trial = 0; trial < 200; trial++ )
        {
            SCOPED_TRACE( trial );
            const Tetrahedron tetrahedron{ point(), point(), point(), point() };
            if( tetrahedron_volume_sign( tetrahedron ) == SIDE::zero )
            {
                continue;
            }
            EXPECT_EQ( rasterize_tetrahedron( grid, tetrahedron ),
                brute_force( grid, tetrahedron.bounding_box(),
                    [&]( const BoundingBox< 3 >& box ) {
                    return tetrahedron_meets_box( tetrahedron, box );
                } ) );
        }
    }

    TEST( GridRasterization, TouchingAndNearMissCases )
    {
        const Grid grid{ Point< 3 >{ { 0., 0., 0. } }, { 2, 2, 2 }, { 1., 1., 1. } };
        const auto cells_of = [&]( const RasterizedCells& cells ) {
            std::vector< index_t > indices;
            for( const auto& cell : cells )
            {
                indices.push_back( grid.cell_index( cell ) );
            }
            return indices;
        };
        // A segment through the central corner touches all eight cells.
        EXPECT_EQ( cells_of( rasterize_segment( grid,
                       Segment< 3 >{ Point< 3 >{ { 0.5, 0.5, 0.5 } },
                           Point< 3 >{ { 1.5, 1.5, 1.5 } } } ) ),
            ( std::vector< index_t >{ 0, 1, 2, 3, 4, 5, 6, 7 } ) );
        // A diagonal segment passing exactly through the edge between cells.
        EXPECT_EQ( cells_of( rasterize_segment( grid,
                       Segment< 3 >{ Point< 3 >{ { 0.5, 1.5, 0.5 } },
                           Point< 3 >{ { 1.5, 0.5, 0.5 } } } ) ),
            ( std::vector< index_t >{ 0, 1, 2, 3 } ) );
        // Shifted by a hair, it misses cell 0: its bounding box still meets
        // it, only the cross-axis test separates them.
        const auto hair = std::nextafter( 1.5, 2. );
        EXPECT_EQ( cells_of( rasterize_segment( grid,
                       Segment< 3 >{ Point< 3 >{ { 0.5, hair, 0.5 } },
                           Point< 3 >{ { hair, 0.5, 0.5 } } } ) ),
            ( std::vector< index_t >{ 1, 2, 3 } ) );
        // A triangle lying on the face z = 1 touches the cells on both sides.
        EXPECT_EQ( cells_of( conservative_rasterize_triangle( grid,
                       Triangle< 3 >{ Point< 3 >{ { 0.2, 0.2, 1. } },
                           Point< 3 >{ { 0.8, 0.2, 1. } },
                           Point< 3 >{ { 0.2, 0.8, 1. } } } ) ),
            ( std::vector< index_t >{ 0, 4 } ) );
        // A triangle whose plane cuts the corner region of cell 0 but passes
        // beyond its corner (1, 1, 1) by a hair.
        const auto beyond = std::nextafter( 3., 4. );
        EXPECT_EQ( cells_of( conservative_rasterize_triangle( grid,
                       Triangle< 3 >{ Point< 3 >{ { beyond, 0., 0. } },
                           Point< 3 >{ { 0., beyond, 0. } },
                           Point< 3 >{ { 0., 0., beyond } } } ) ),
            ( std::vector< index_t >{ 1, 2, 3, 4, 5, 6, 7 } ) );
        EXPECT_EQ( cells_of( conservative_rasterize_triangle( grid,
                       Triangle< 3 >{ Point< 3 >{ { 3., 0., 0. } },
                           Point< 3 >{ { 0., 3., 0. } },
                           Point< 3 >{ { 0., 0., 3. } } } ) ),
            ( std::vector< index_t >{ 0, 1, 2, 3, 4, 5, 6, 7 } ) );
    }

    TEST( GridRasterization, NeverListsCellsOutsideTheGrid )
    {
        const Grid grid{ Point< 3 >{ { 0., 0., 0. } }, { 3, 3, 3 }, { 1., 1., 1. } };
        const Point< 3 > far_a{ { -100., -100., -100. } };
        const Point< 3 > far_b{ { 100., 100., 100. } };
        const Point< 3 > far_c{ { 100., -100., 0. } };
        const Point< 3 > far_d{ { -100., 100., 50. } };
        const auto check = [&]( const RasterizedCells& cells ) {
            for( const auto& cell : cells )
            {
                for( const index_t d : { 0u, 1u, 2u } )
                {
                    EXPECT_LT( cell[d], grid.nb_cells_in_direction( d ) );
                }
            }
            return cells.size();
        };
        // Huge elements crossing the grid list the grid's cells they meet.
        EXPECT_GT( check( rasterize_segment( grid, Segment< 3 >{ far_a, far_b } ) ), 0u );
        EXPECT_GT( check( conservative_rasterize_triangle(
                       grid, Triangle< 3 >{ far_a, far_b, far_c } ) ),
            0u );
        EXPECT_GT( check( rasterize_tetrahedron(
                       grid, Tetrahedron{ far_a, far_b, far_c, far_d } ) ),
            0u );
        EXPECT_EQ( check( rasterize_tetrahedron( grid,
                       Tetrahedron{ far_a, Point< 3 >{ { 300., -100., -100. } },
                           Point< 3 >{ { -100., 300., -100. } },
                           Point< 3 >{ { -100., -100., 300. } } } ) ),
            27u );
        // Elements wholly outside list nothing.
        EXPECT_EQ( rasterize_segment( grid, Segment< 3 >{ far_a, far_c } ).size(), 0u );
        EXPECT_EQ( conservative_rasterize_triangle( grid,
                       Triangle< 3 >{ Point< 3 >{ { 4., 0., 0. } },
                           Point< 3 >{ { 5., 0., 0. } }, Point< 3 >{ { 4., 1., 0. } } } )
                       .size(),
            0u );
    }

    std::unique_ptr< TriangulatedSurface< 3 > > closed_cube(
        const Point< 3 >& min, const Point< 3 >& max, std::vector< Point< 3 > >& points,
        std::vector< std::array< index_t, 3 > >& triangles )
    {
        const auto first = static_cast< index_t >( points.size() );
        for( index_t i = 0; i < 8; i++ )
        {
            points.push_back( Point< 3 >{ { ( i & 1 ) ? max.value( 0 ) : min.value( 0 ),
                ( i & 2 ) ? max.value( 1 ) : min.value( 1 ),
                ( i & 4 ) ? max.value( 2 ) : min.value( 2 ) } } );
        }
        // Outward-facing, consistently oriented.
        const std::vector< std::array< index_t, 3 > > cube{ { 0, 2, 1 }, { 1, 2, 3 },
            { 4, 5, 6 }, { 5, 7, 6 }, { 0, 1, 4 }, { 1, 5, 4 }, { 2, 6, 3 },
            { 3, 6, 7 }, { 0, 4, 2 }, { 2, 4, 6 }, { 1, 3, 5 }, { 3, 7, 5 } };
        for( const auto& t : cube )
        {
            triangles.push_back( { first + t[0], first + t[1], first + t[2] } );
        }
        return test::create_triangulated_surface< 3 >( points, triangles );
    }

    TEST( GridRasterization, ClosedSurfacesListBoundaryAndInteriorCells )
    {
        const Grid grid{ Point< 3 >{ { 0., 0., 0. } }, { 8, 8, 8 }, { 0.5, 0.5, 0.5 } };
        struct Box
        {
            Point< 3 > min;
            Point< 3 > max;
        };
        // Faces through cell centres (0.25 + 0.5 k), so rays graze faces,
        // edges and vertices; and a surface of two separate cubes.
        const std::vector< std::vector< Box > > surfaces{
            { { Point< 3 >{ { 0.25, 0.25, 0.25 } }, Point< 3 >{ { 3.25, 2.75, 1.75 } } } },
            { { Point< 3 >{ { 0.3, 0.6, 0.1 } }, Point< 3 >{ { 2.9, 3.3, 3.7 } } } },
            { { Point< 3 >{ { 0.25, 0.25, 0.25 } }, Point< 3 >{ { 1.25, 1.25, 1.25 } } },
                { Point< 3 >{ { 2.25, 0.75, 0.25 } }, Point< 3 >{ { 3.75, 2.25, 3.25 } } } },
        };
        for( std::size_t s = 0; s < surfaces.size(); s++ )
        {
            SCOPED_TRACE( s );
            std::vector< Point< 3 > > points;
            std::vector< std::array< index_t, 3 > > triangles;
            std::unique_ptr< TriangulatedSurface< 3 > > surface;
            for( const auto& box : surfaces[s] )
            {
                surface = closed_cube( box.min, box.max, points, triangles );
            }
            // The boundary cells are checked against brute force above; here
            // the interior is under test, so the cells the triangles meet
            // come from the exact overlap test itself.
            const auto expected = brute_force( grid, grid.grid_bounding_box(),
                [&]( const BoundingBox< 3 >& cell ) {
                for( const auto& box : surfaces[s] )
                {
                    BoundingBox< 3 > solid;
                    solid.add_point( box.min );
                    solid.add_point( box.max );
                    if( solid.contains( cell.center() ) )
                    {
                        return true;
                    }
                }
                for( index_t t = 0; t < surface->nb_polygons(); t++ )
                {
                    if( triangle_box_overlap( surface->triangle( t ), cell ) )
                    {
                        return true;
                    }
                }
                return false;
            } );
            EXPECT_EQ( rasterize_closed_surface( grid, *surface ), expected );
        }
    }

    TEST( BoxOverlap, FlatElementsOnFacesAndDegenerateOnes )
    {
        BoundingBox< 3 > box;
        box.add_point( Point< 3 >{ { 0., 0., 0. } } );
        box.add_point( Point< 3 >{ { 1., 1., 1. } } );
        const Point< 3 > a{ { 1., 1., 1. } };
        // A point segment on the corner, a flat tetrahedron on a face.
        EXPECT_TRUE( segment_box_overlap( Segment< 3 >{ a, a }, box ) );
        EXPECT_TRUE( tetrahedron_box_overlap(
            Tetrahedron{ Point< 3 >{ { 0.5, 0.5, 1. } }, Point< 3 >{ { 2., 0.5, 1. } },
                Point< 3 >{ { 0.5, 2., 1. } }, Point< 3 >{ { 2., 2., 1. } } },
            box ) );
        EXPECT_FALSE( tetrahedron_box_overlap(
            Tetrahedron{ Point< 3 >{ { 0.5, 0.5, 1.5 } }, Point< 3 >{ { 2., 0.5, 1.5 } },
                Point< 3 >{ { 0.5, 2., 1.5 } }, Point< 3 >{ { 2., 2., 1.5 } } },
            box ) );
        // A box strictly inside a tetrahedron.
        EXPECT_TRUE( tetrahedron_box_overlap(
            Tetrahedron{ Point< 3 >{ { -10., -10., -10. } }, Point< 3 >{ { 30., -10., -10. } },
                Point< 3 >{ { -10., 30., -10. } }, Point< 3 >{ { -10., -10., 30. } } },
            box ) );
        // A triangle around the box's section without touching the box.
        EXPECT_FALSE( triangle_box_overlap(
            Triangle< 3 >{ Point< 3 >{ { 2., 0., 0.5 } }, Point< 3 >{ { 2., 1., 0.5 } },
                Point< 3 >{ { 3., 0.5, 0.5 } } },
            box ) );
    }
} // namespace
