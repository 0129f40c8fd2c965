#pragma once

#include <optional>
#include <random>
#include <vector>

#include <openorvane/geometry/point.hpp>
#include <openorvane/geometry/predicates.hpp>
#include <openorvane/mesh/surface_mesh.hpp>

#include <common/cutter/surface_path_finder.hpp>

// A brute-force path finder for the cutter tests: it walks the straight line
// between two vertices over the surface seen from above (x and y only), so it
// serves 2-D surfaces and 3-D height fields alike. Every side decision is an
// exact orientation sign.

namespace orvane::test
{
    inline Point< 2 > seen_from_above( const Point< 2 >& point )
    {
        return point;
    }

    inline Point< 2 > seen_from_above( const Point< 3 >& point )
    {
        return Point< 2 >{ { point.value( 0 ), point.value( 1 ) } };
    }

    template < index_t dimension >
    class SurfacePathWalker : public SurfaceSegmentFinder< dimension >
    {
    public:
        /// With a random engine, each edge crossing is written at random
        /// either in the polygon the path leaves (toward_adjacent set) or in
        /// the polygon it enters (clear); without, always the first way.
        SurfacePathWalker( const SurfaceMesh< dimension >& mesh,
            index_t begin,
            index_t end,
            std::mt19937* random = nullptr )
            : SurfaceSegmentFinder< dimension >( mesh, begin, end ),
              random_( random ),
              from_( seen_from_above( mesh.point( begin ) ) ),
              to_( seen_from_above( mesh.point( end ) ) )
        {
        }

        SurfacePathCrossing empty_crossing() const override
        {
            return {};
        }

        SurfacePathCrossing next_crossing( const PolygonEdge& entered ) override
        {
            const auto& mesh = this->mesh();
            const auto next = mesh.next_polygon_edge( entered );
            const auto apex = mesh.polygon_edge_vertex( next, 1 );
            const auto apex_side = side( apex );
            if( apex_side == 0 )
            {
                return vertex_crossing( apex );
            }
            // The entered edge runs from the left of the line to its right:
            // the apex closes the polygon on one side or the other.
            return { apex_side > 0 ? next : mesh.previous_polygon_edge( entered ),
                POSITION::inside, NO_ID, true };
        }

        /// The path from begin to end; empty when no polygon around a vertex
        /// of the path holds the line. Throws SurfacePathFinderException at
        /// the border.
        std::optional< std::vector< SurfacePathCrossing > > find_path()
        {
            const auto& mesh = this->mesh();
            std::vector< SurfacePathCrossing > path{ vertex_crossing(
                this->begin() ) };
            if( this->begin() == this->end() )
            {
                return path;
            }
            auto vertex = this->begin();
            const auto max_steps = 3 * mesh.nb_polygons() + 3;
            for( index_t step = 0; step < max_steps; step++ )
            {
                if( mesh.polygon_edge_from_vertices( vertex, this->end() )
                    || mesh.polygon_edge_from_vertices( this->end(), vertex ) )
                {
                    path.push_back( vertex_crossing( this->end() ) );
                    return path;
                }
                auto crossing = leave_vertex( vertex );
                if( !crossing )
                {
                    return std::nullopt;
                }
                while( crossing->vertex == NO_ID )
                {
                    const auto entered = cross( crossing.value() );
                    path.push_back( written( crossing.value(), entered ) );
                    crossing = next_crossing( entered );
                    if( ++step > max_steps )
                    {
                        return std::nullopt;
                    }
                }
                vertex = crossing->vertex;
                path.push_back( crossing.value() );
                if( vertex == this->end() )
                {
                    return path;
                }
            }
            return std::nullopt;
        }

    private:
        static SurfacePathCrossing vertex_crossing( index_t vertex )
        {
            return { PolygonEdge{}, POSITION::outside, vertex, true };
        }

        /// The sign of the vertex's side of the line: 1 left, -1 right.
        int side( index_t vertex ) const
        {
            const auto value = detail::orient2d(
                from_, to_, seen_from_above( this->mesh().point( vertex ) ) );
            return value > 0 ? 1 : ( value < 0 ? -1 : 0 );
        }

        bool is_ahead( index_t from, index_t vertex ) const
        {
            const auto origin = seen_from_above( this->mesh().point( from ) );
            const auto target = seen_from_above( this->mesh().point( vertex ) );
            return ( target.value( 0 ) - origin.value( 0 ) )
                           * ( to_.value( 0 ) - from_.value( 0 ) )
                       + ( target.value( 1 ) - origin.value( 1 ) )
                             * ( to_.value( 1 ) - from_.value( 1 ) )
                   > 0;
        }

        /// The first crossing after a vertex on the line: a neighbour on the
        /// line ahead, or the edge opposite the vertex in the polygon whose
        /// corner holds the line.
        std::optional< SurfacePathCrossing > leave_vertex( index_t vertex ) const
        {
            const auto& mesh = this->mesh();
            for( const auto& corner : mesh.polygons_around_vertex( vertex ) )
            {
                const auto edge = mesh.next_polygon_edge( PolygonEdge{ corner } );
                const auto first = mesh.polygon_edge_vertex( edge, 0 );
                const auto second = mesh.polygon_edge_vertex( edge, 1 );
                for( const auto neighbour : { first, second } )
                {
                    if( side( neighbour ) == 0 && is_ahead( vertex, neighbour ) )
                    {
                        return vertex_crossing( neighbour );
                    }
                }
                if( side( first ) < 0 && side( second ) > 0 )
                {
                    return SurfacePathCrossing{ edge, POSITION::inside, NO_ID, true };
                }
            }
            return std::nullopt;
        }

        /// The edge through which the walk enters the next polygon.
        PolygonEdge cross( const SurfacePathCrossing& crossing ) const
        {
            const auto adjacent = this->mesh().polygon_adjacent_edge( crossing.edge );
            if( !adjacent )
            {
                throw SurfacePathFinderException{};
            }
            return adjacent.value();
        }

        SurfacePathCrossing written(
            const SurfacePathCrossing& crossing, const PolygonEdge& entered )
        {
            if( random_ != nullptr && ( ( *random_ )() & 1U ) != 0 )
            {
                return { entered, POSITION::inside, NO_ID, false };
            }
            return crossing;
        }

    private:
        std::mt19937* random_;
        Point< 2 > from_;
        Point< 2 > to_;
    };
} // namespace orvane::test
