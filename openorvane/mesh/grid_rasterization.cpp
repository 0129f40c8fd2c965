#include <openorvane/mesh/grid_rasterization.hpp>

#include <algorithm>
#include <array>
#include <optional>
#include <utility>

#include <openorvane/geometry/box_overlap.hpp>
#include <openorvane/geometry/predicates.hpp>
#include <openorvane/mesh/triangulated_surface.hpp>

namespace
{
    using namespace orvane;
    using Grid = LightRegularGrid< 3 >;
    using CellIndices = Grid::CellIndices;
    using CellRange = std::array< std::array< index_t, 2 >, 3 >;

    /// Below this many cells a block is tested cell by cell instead of
    /// being tested as a whole and split.
    constexpr index_t DIRECT_TEST_CELLS = 8;

    /// The cells whose closed boxes meet the closed box, per axis.
    std::optional< CellRange > cell_range(
        const Grid& grid, const BoundingBox< 3 >& box )
    {
        if( box.empty() )
        {
            return std::nullopt;
        }
        CellRange result;
        for( const local_index_t d : { 0, 1, 2 } )
        {
            const auto range =
                grid.cell_range( d, box.min().value( d ), box.max().value( d ) );
            if( !range )
            {
                return std::nullopt;
            }
            result[d] = *range;
        }
        return result;
    }

    BoundingBox< 3 > block_box( const Grid& grid, const CellRange& range )
    {
        Point< 3 > min;
        Point< 3 > max;
        for( const local_index_t d : { 0, 1, 2 } )
        {
            min.set_value( d, grid.cell_coordinate( d, range[d][0] ) );
            max.set_value( d, grid.cell_coordinate( d, range[d][1] + 1 ) );
        }
        BoundingBox< 3 > box;
        box.add_point( min );
        box.add_point( max );
        return box;
    }

    index_t nb_cells( const CellRange& range )
    {
        index_t count{ 1 };
        for( const auto& axis : range )
        {
            count *= axis[1] - axis[0] + 1;
        }
        return count;
    }

    bool box_inside( const BoundingBox< 3 >& inner, const BoundingBox< 3 >& outer )
    {
        for( const local_index_t d : { 0, 1, 2 } )
        {
            if( inner.min().value( d ) < outer.min().value( d )
                || inner.max().value( d ) > outer.max().value( d ) )
            {
                return false;
            }
        }
        return true;
    }

    /// Lists the cells of the range that the element meets. A block of
    /// cells that the element misses is dropped whole, so a large element
    /// costs about as many tests as the cells it lists, times a logarithm.
    template < typename Overlap >
    void visit_block( const Grid& grid,
        const CellRange& range,
        const Overlap& overlaps,
        RasterizedCells& cells )
    {
        const auto count = nb_cells( range );
        if( count <= DIRECT_TEST_CELLS )
        {
            for( auto k = range[2][0]; k <= range[2][1]; k++ )
            {
                for( auto j = range[1][0]; j <= range[1][1]; j++ )
                {
                    for( auto i = range[0][0]; i <= range[0][1]; i++ )
                    {
                        const CellIndices cell{ i, j, k };
                        if( overlaps( grid.cell_bounding_box( cell ) ) )
                        {
                            cells.push_back( cell );
                        }
                    }
                }
            }
            return;
        }
        if( !overlaps( block_box( grid, range ) ) )
        {
            return;
        }
        index_t axis{ 0 };
        for( const index_t d : { 1u, 2u } )
        {
            if( range[d][1] - range[d][0] > range[axis][1] - range[axis][0] )
            {
                axis = d;
            }
        }
        const auto middle = range[axis][0] + ( range[axis][1] - range[axis][0] ) / 2;
        auto low = range;
        low[axis][1] = middle;
        auto high = range;
        high[axis][0] = middle + 1;
        visit_block( grid, low, overlaps, cells );
        visit_block( grid, high, overlaps, cells );
    }

    void sort_by_cell_index( RasterizedCells& cells )
    {
        std::sort( cells.begin(), cells.end(),
            []( const CellIndices& lhs, const CellIndices& rhs ) {
                return std::tie( lhs[2], lhs[1], lhs[0] )
                       < std::tie( rhs[2], rhs[1], rhs[0] );
            } );
    }

    template < typename Overlap >
    RasterizedCells rasterize( const Grid& grid,
        const BoundingBox< 3 >& element_box,
        const Overlap& overlaps )
    {
        RasterizedCells cells;
        const auto range = cell_range( grid, element_box );
        if( !range )
        {
            return cells;
        }
        if( nb_cells( *range ) == 1 )
        {
            // An element inside one cell's box meets it without a test.
            const CellIndices cell{ ( *range )[0][0], ( *range )[1][0],
                ( *range )[2][0] };
            if( box_inside( element_box, grid.cell_bounding_box( cell ) )
                || overlaps( grid.cell_bounding_box( cell ) ) )
            {
                cells.push_back( cell );
            }
            return cells;
        }
        visit_block( grid, *range, overlaps, cells );
        sort_by_cell_index( cells );
        return cells;
    }

    int sign_of( double value )
    {
        return ( value > 0 ) - ( value < 0 );
    }

    /// The side of the point c relative to the directed line p -> q in the
    /// (y, z) plane, with a point on the line moved by an infinitesimal
    /// (1, epsilon) step: never 0 for a proper edge. Two triangles sharing
    /// an edge thus agree on which of them holds a point of that edge.
    int perturbed_side(
        const Point< 2 >& p, const Point< 2 >& q, const Point< 2 >& c )
    {
        const auto side = sign_of( detail::orient2d( p, q, c ) );
        if( side != 0 )
        {
            return side;
        }
        const auto dy = q.value( 0 ) - p.value( 0 );
        const auto dz = q.value( 1 ) - p.value( 1 );
        if( dz != 0 )
        {
            return dz > 0 ? -1 : 1;
        }
        return sign_of( dy );
    }

    Point< 2 > yz( const Point< 3 >& point )
    {
        return Point< 2 >{ { point.value( 1 ), point.value( 2 ) } };
    }

    /// Crossings of the rays along +x through the cell centres of the range
    /// with one triangle: (column of the range, x of the crossing).
    void add_crossings( const Grid& grid,
        const CellRange& range,
        const Triangle< 3 >& triangle,
        std::vector< std::pair< index_t, double > >& crossings )
    {
        const auto& v = triangle.vertices();
        std::array< Point< 2 >, 3 > p{ yz( v[0] ), yz( v[1] ), yz( v[2] ) };
        std::array< double, 3 > x{ v[0].value( 0 ), v[1].value( 0 ),
            v[2].value( 0 ) };
        const auto orientation = sign_of( detail::orient2d( p[0], p[1], p[2] ) );
        if( orientation == 0 )
        {
            // Seen edge-on from the rays: its neighbours hold the crossing.
            return;
        }
        if( orientation < 0 )
        {
            std::swap( p[1], p[2] );
            std::swap( x[1], x[2] );
        }
        const auto area = detail::orient2d( p[0], p[1], p[2] );
        const auto box = triangle.bounding_box();
        const auto ny = range[1][1] - range[1][0] + 1;
        // Only the columns whose cells meet the triangle's box can have their
        // centre in it.
        const auto rows = grid.cell_range( 1, box.min().value( 1 ), box.max().value( 1 ) );
        const auto layers =
            grid.cell_range( 2, box.min().value( 2 ), box.max().value( 2 ) );
        if( !rows || !layers )
        {
            return;
        }
        const auto first_j = std::max( range[1][0], ( *rows )[0] );
        const auto last_j = std::min( range[1][1], ( *rows )[1] );
        const auto first_k = std::max( range[2][0], ( *layers )[0] );
        const auto last_k = std::min( range[2][1], ( *layers )[1] );
        for( auto k = first_k; k <= last_k; k++ )
        {
            const auto zc = ( grid.cell_coordinate( 2, k )
                                + grid.cell_coordinate( 2, k + 1 ) )
                            / 2.;
            if( zc < box.min().value( 2 ) || zc > box.max().value( 2 ) )
            {
                continue;
            }
            for( auto j = first_j; j <= last_j; j++ )
            {
                const auto yc = ( grid.cell_coordinate( 1, j )
                                    + grid.cell_coordinate( 1, j + 1 ) )
                                / 2.;
                if( yc < box.min().value( 1 ) || yc > box.max().value( 1 ) )
                {
                    continue;
                }
                const Point< 2 > c{ { yc, zc } };
                if( perturbed_side( p[0], p[1], c ) < 0
                    || perturbed_side( p[1], p[2], c ) < 0
                    || perturbed_side( p[2], p[0], c ) < 0 )
                {
                    continue;
                }
                // The crossing abscissa only orders the crossings along the
                // ray: cells near it are listed by the triangles anyway.
                const auto w0 = detail::orient2d( p[1], p[2], c ) / area;
                const auto w1 = detail::orient2d( p[2], p[0], c ) / area;
                const auto w2 = 1. - w0 - w1;
                crossings.emplace_back( ( k - range[2][0] ) * ny + ( j - range[1][0] ),
                    w0 * x[0] + w1 * x[1] + w2 * x[2] );
            }
        }
    }
} // namespace

namespace orvane
{
    RasterizedCells rasterize_segment(
        const LightRegularGrid< 3 >& grid, const Segment< 3 >& segment )
    {
        return rasterize( grid, segment.bounding_box(),
            [&segment]( const BoundingBox< 3 >& box ) {
                return segment_box_overlap( segment, box );
            } );
    }

    RasterizedCells conservative_rasterize_triangle(
        const LightRegularGrid< 3 >& grid, const Triangle< 3 >& triangle )
    {
        return rasterize( grid, triangle.bounding_box(),
            [&triangle]( const BoundingBox< 3 >& box ) {
                return triangle_box_overlap( triangle, box );
            } );
    }

    RasterizedCells rasterize_tetrahedron(
        const LightRegularGrid< 3 >& grid, const Tetrahedron& tetrahedron )
    {
        return rasterize( grid, tetrahedron.bounding_box(),
            [&tetrahedron]( const BoundingBox< 3 >& box ) {
                return tetrahedron_box_overlap( tetrahedron, box );
            } );
    }

    RasterizedCells rasterize_closed_surface( const LightRegularGrid< 3 >& grid,
        const TriangulatedSurface< 3 >& surface )
    {
        const auto range = cell_range( grid, surface.bounding_box() );
        if( !range || surface.nb_polygons() == 0 )
        {
            return {};
        }
        // Cells are marked in a local box of the surface's cell range.
        const auto& r = *range;
        const index_t nx = r[0][1] - r[0][0] + 1;
        const index_t ny = r[1][1] - r[1][0] + 1;
        const index_t nz = r[2][1] - r[2][0] + 1;
        std::vector< bool > marked( static_cast< std::size_t >( nx ) * ny * nz, false );
        const auto local = [&]( index_t i, index_t j, index_t k ) {
            return static_cast< std::size_t >( i - r[0][0] )
                   + static_cast< std::size_t >( nx )
                         * ( ( j - r[1][0] )
                             + static_cast< std::size_t >( ny ) * ( k - r[2][0] ) );
        };
        std::vector< std::pair< index_t, double > > crossings;
        for( index_t t = 0; t < surface.nb_polygons(); t++ )
        {
            const auto triangle = surface.triangle( t );
            for( const auto& cell : conservative_rasterize_triangle( grid, triangle ) )
            {
                marked[local( cell[0], cell[1], cell[2] )] = true;
            }
            add_crossings( grid, r, triangle, crossings );
        }
        std::sort( crossings.begin(), crossings.end() );
        for( std::size_t first = 0; first < crossings.size(); )
        {
            auto last = first;
            while( last < crossings.size()
                   && crossings[last].first == crossings[first].first )
            {
                last++;
            }
            const auto column = crossings[first].first;
            const auto j = r[1][0] + column % ny;
            const auto k = r[2][0] + column / ny;
            // Inside between the crossings 2m and 2m + 1.
            for( auto c = first; c + 1 < last; c += 2 )
            {
                for( auto i = r[0][0]; i <= r[0][1]; i++ )
                {
                    const auto xc = ( grid.cell_coordinate( 0, i )
                                        + grid.cell_coordinate( 0, i + 1 ) )
                                    / 2.;
                    if( xc >= crossings[c].second && xc <= crossings[c + 1].second )
                    {
                        marked[local( i, j, k )] = true;
                    }
                }
            }
            first = last;
        }
        RasterizedCells cells;
        for( index_t k = 0; k < nz; k++ )
        {
            for( index_t j = 0; j < ny; j++ )
            {
                for( index_t i = 0; i < nx; i++ )
                {
                    if( marked[local( r[0][0] + i, r[1][0] + j, r[2][0] + k )] )
                    {
                        cells.push_back( { r[0][0] + i, r[1][0] + j, r[2][0] + k } );
                    }
                }
            }
        }
        return cells;
    }
} // namespace orvane
