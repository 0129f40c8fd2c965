#include <tests/support/surface_modifier_checks.hpp>

#include <algorithm>
#include <cmath>
#include <map>

#include <absl/strings/str_cat.h>

#include <openorvane/basic/attribute_manager.hpp>
#include <openorvane/basic/variable_attribute.hpp>
#include <openorvane/geometry/predicates.hpp>
#include <openorvane/mesh/edges.hpp>

namespace orvane::test
{
    namespace
    {
        constexpr const char* ACTIVE_FLAG = "orvane_active";

        std::shared_ptr< VariableAttribute< bool > > find_flags(
            const AttributeManager& manager )
        {
            return std::dynamic_pointer_cast< VariableAttribute< bool > >(
                manager.find_attribute_base( ACTIVE_FLAG ) );
        }

        template < index_t dimension >
        Point< dimension > make_point( const std::array< double, 3 >& values )
        {
            Point< dimension > point;
            for( local_index_t axis = 0; axis < dimension; axis++ )
            {
                point.set_value( axis, values[axis] );
            }
            return point;
        }

        /// Collects problems, keeping the first few for the failure message.
        class Problems
        {
        public:
            template < typename... Pieces >
            void add( const Pieces&... pieces )
            {
                if( count_++ < MAX_REPORTED )
                {
                    absl::StrAppend( &text_, "\n  ", pieces... );
                }
            }

            ::testing::AssertionResult result() const
            {
                if( count_ == 0 )
                {
                    return ::testing::AssertionSuccess();
                }
                return ::testing::AssertionFailure()
                       << count_ << " invariant violation(s):" << text_;
            }

        private:
            static constexpr index_t MAX_REPORTED = 12;
            index_t count_{ 0 };
            std::string text_;
        };
    } // namespace

    template < index_t dimension >
    EditableSurface< dimension > make_surface(
        const std::vector< std::array< double, 3 > >& points,
        const std::vector< std::array< index_t, 3 > >& triangles )
    {
        EditableSurface< dimension > surface;
        surface.mesh =
            std::make_unique< OpenOrvaneTriangulatedSurface< dimension > >();
        surface.builder =
            std::make_unique< OpenOrvaneTriangulatedSurfaceBuilder< dimension > >(
                *surface.mesh );
        for( const auto& point : points )
        {
            surface.builder->create_point( make_point< dimension >( point ) );
        }
        for( const auto& triangle : triangles )
        {
            surface.builder->create_triangle( triangle );
        }
        surface.builder->compute_polygon_adjacencies();
        return surface;
    }

    template < index_t dimension >
    EditableSurface< dimension > make_square()
    {
        return make_surface< dimension >(
            { { 0, 0, 0 }, { 1, 0, 0 }, { 1, 1, 0 }, { 0, 1, 0 } },
            { { 0, 1, 2 }, { 0, 2, 3 } } );
    }

    template < index_t dimension >
    EditableSurface< dimension > make_hexagonal_fan()
    {
        std::vector< std::array< double, 3 > > points{ { 0, 0, 0 } };
        std::vector< std::array< index_t, 3 > > triangles;
        for( index_t k = 0; k < 6; k++ )
        {
            const auto angle = static_cast< double >( k ) * M_PI / 3.;
            points.push_back( { std::cos( angle ), std::sin( angle ), 0.1 * k } );
            triangles.push_back( { 0, k + 1, ( k + 1 ) % 6 + 1 } );
        }
        return make_surface< dimension >( points, triangles );
    }

    template < index_t dimension >
    EditableSurface< dimension > make_strip( index_t nb_quads )
    {
        std::vector< std::array< double, 3 > > points;
        for( const double y : { 0., 1. } )
        {
            for( index_t i = 0; i <= nb_quads; i++ )
            {
                points.push_back( { static_cast< double >( i ), y, 0.2 * y } );
            }
        }
        const auto top = nb_quads + 1;
        std::vector< std::array< index_t, 3 > > triangles;
        for( index_t i = 0; i < nb_quads; i++ )
        {
            triangles.push_back( { i, i + 1, top + i + 1 } );
            triangles.push_back( { i, top + i + 1, top + i } );
        }
        return make_surface< dimension >( points, triangles );
    }

    template < index_t dimension >
    EditableSurface< dimension > make_grid( index_t nx, index_t ny )
    {
        std::vector< std::array< double, 3 > > points;
        for( index_t j = 0; j <= ny; j++ )
        {
            for( index_t i = 0; i <= nx; i++ )
            {
                const auto x = static_cast< double >( i );
                const auto y = static_cast< double >( j );
                points.push_back(
                    { x, y, 0.3 * std::sin( 0.4 * x ) * std::cos( 0.3 * y ) } );
            }
        }
        const auto vertex = [nx]( index_t i, index_t j ) {
            return j * ( nx + 1 ) + i;
        };
        std::vector< std::array< index_t, 3 > > triangles;
        for( index_t j = 0; j < ny; j++ )
        {
            for( index_t i = 0; i < nx; i++ )
            {
                triangles.push_back(
                    { vertex( i, j ), vertex( i + 1, j ), vertex( i + 1, j + 1 ) } );
                triangles.push_back(
                    { vertex( i, j ), vertex( i + 1, j + 1 ), vertex( i, j + 1 ) } );
            }
        }
        return make_surface< dimension >( points, triangles );
    }

    EditableSurface< 3 > make_pillow()
    {
        EditableSurface< 3 > surface;
        surface.mesh = std::make_unique< OpenOrvaneTriangulatedSurface< 3 > >();
        surface.builder =
            std::make_unique< OpenOrvaneTriangulatedSurfaceBuilder< 3 > >(
                *surface.mesh );
        auto& builder = *surface.builder;
        builder.create_point( Point< 3 >{ { 0, 0, 0 } } );
        builder.create_point( Point< 3 >{ { 1, 0, 0 } } );
        builder.create_point( Point< 3 >{ { 0.5, 1, 0 } } );
        const auto first = builder.create_triangle( { 0, 1, 2 } );
        const auto second = builder.create_triangle( { 1, 0, 2 } );
        // {a, b}: first's edge 0 and second's edge 0; {b, c}: first's edge 1
        // and second's edge 2.
        builder.set_polygon_adjacent( { first, 0 }, second );
        builder.set_polygon_adjacent( { second, 0 }, first );
        builder.set_polygon_adjacent( { first, 1 }, second );
        builder.set_polygon_adjacent( { second, 2 }, first );
        return surface;
    }

    template < index_t dimension >
    index_t nb_active_polygons( const TriangulatedSurface< dimension >& mesh )
    {
        const auto flags = find_flags( mesh.polygon_attribute_manager() );
        index_t count{ 0 };
        for( index_t polygon = 0; polygon < mesh.nb_polygons(); polygon++ )
        {
            if( !flags || flags->value( polygon ) )
            {
                count++;
            }
        }
        return count;
    }

    template < index_t dimension >
    ::testing::AssertionResult is_valid_surface(
        const TriangulatedSurface< dimension >& mesh,
        const SurfaceCheckOptions& options )
    {
        Problems problems;
        const auto polygon_flags = find_flags( mesh.polygon_attribute_manager() );
        const auto is_live = [&]( index_t polygon ) {
            return !polygon_flags || polygon_flags->value( polygon );
        };
        const auto nb_vertices = mesh.nb_vertices();
        std::vector< index_t > live_corners( nb_vertices, 0 );
        // Undirected vertex pair -> directed uses by live triangles.
        std::map< std::array< index_t, 2 >, std::vector< PolygonEdge > > pairs;

        for( index_t polygon = 0; polygon < mesh.nb_polygons(); polygon++ )
        {
            if( !is_live( polygon ) )
            {
                continue;
            }
            const auto vertices = mesh.polygon_vertices( polygon );
            if( vertices[0] == vertices[1] || vertices[1] == vertices[2]
                || vertices[0] == vertices[2] )
            {
                problems.add( "polygon ", polygon, " repeats a vertex" );
                continue;
            }
            bool valid_vertices{ true };
            for( const auto vertex : vertices )
            {
                if( vertex >= nb_vertices )
                {
                    problems.add(
                        "polygon ", polygon, " has invalid vertex ", vertex );
                    valid_vertices = false;
                }
            }
            if( !valid_vertices )
            {
                continue;
            }
            for( local_index_t local = 0; local < 3; local++ )
            {
                live_corners[vertices[local]]++;
                const PolygonEdge edge{ polygon, local };
                const auto ends = mesh.polygon_edge_vertices( edge );
                pairs[{ std::min( ends[0], ends[1] ), std::max( ends[0], ends[1] ) }]
                    .push_back( edge );
                const auto adjacent = mesh.polygon_adjacent( edge );
                if( !adjacent )
                {
                    continue;
                }
                if( adjacent.value() >= mesh.nb_polygons()
                    || !is_live( adjacent.value() ) )
                {
                    problems.add( "polygon edge ", edge.string(),
                        " is adjacent to dead or invalid polygon ",
                        adjacent.value() );
                    continue;
                }
                const auto adjacent_edge = mesh.polygon_adjacent_edge( edge );
                if( !adjacent_edge )
                {
                    problems.add( "polygon edge ", edge.string(), " is adjacent to ",
                        adjacent.value(), " which lacks the edge" );
                    continue;
                }
                if( mesh.polygon_adjacent( adjacent_edge.value() ) != polygon )
                {
                    problems.add( "adjacency of ", edge.string(),
                        " is not mutual" );
                }
                const auto other_ends =
                    mesh.polygon_edge_vertices( adjacent_edge.value() );
                if( other_ends[0] != ends[1] || other_ends[1] != ends[0] )
                {
                    problems.add( "polygon edge ", edge.string(), " and ",
                        adjacent_edge->string(), " run the same way" );
                }
            }
            if constexpr( dimension == 2 )
            {
                if( triangle_area_sign( mesh.triangle( polygon ) )
                    != SIDE::positive )
                {
                    problems.add( "polygon ", polygon, " is not positive" );
                }
            }
        }

        if( options.linked_shared_edges )
        {
            for( const auto& [pair, uses] : pairs )
            {
                if( uses.size() > 2 )
                {
                    problems.add( "vertices ", pair[0], " and ", pair[1],
                        " are joined by ", uses.size(), " live polygon edges" );
                }
                else if( uses.size() == 2
                         && mesh.polygon_adjacent( uses[0] )
                                != uses[1].polygon_id )
                {
                    problems.add( "polygon edges ", uses[0].string(), " and ",
                        uses[1].string(), " share vertices but are not linked" );
                }
            }
        }

        for( index_t vertex = 0; vertex < nb_vertices; vertex++ )
        {
            if( live_corners[vertex] == 0 )
            {
                if( !mesh.is_vertex_isolated( vertex ) )
                {
                    const auto stored = mesh.polygon_around_vertex( vertex );
                    if( stored && !is_live( stored->polygon_id ) )
                    {
                        problems.add( "unused vertex ", vertex,
                            " is associated with dead polygon ",
                            stored->polygon_id );
                    }
                    else
                    {
                        problems.add(
                            "unused vertex ", vertex, " is not isolated" );
                    }
                }
                continue;
            }
            if( mesh.is_vertex_isolated( vertex ) )
            {
                problems.add( "vertex ", vertex, " of a live polygon is isolated" );
                continue;
            }
            const auto stored = mesh.polygon_around_vertex( vertex ).value();
            if( !is_live( stored.polygon_id )
                || mesh.polygon_vertex( stored ) != vertex )
            {
                problems.add( "vertex ", vertex, " is associated with ",
                    stored.string(), " which is dead or does not hold it" );
                continue;
            }
            const auto fan = mesh.polygons_around_vertex( vertex );
            for( const auto& corner : fan )
            {
                if( !is_live( corner.polygon_id )
                    || mesh.polygon_vertex( corner ) != vertex )
                {
                    problems.add( "fan of vertex ", vertex, " reaches ",
                        corner.string(), " which is dead or does not hold it" );
                }
            }
            if( options.single_fan && fan.size() != live_corners[vertex] )
            {
                problems.add( "fan of vertex ", vertex, " has ", fan.size(),
                    " polygons out of ", live_corners[vertex] );
            }
        }

        if( mesh.are_edges_enabled() )
        {
            const auto& edges = mesh.edges();
            const auto edge_flags = find_flags( edges.edge_attribute_manager() );
            for( const auto& [pair, uses] : pairs )
            {
                const auto edge = edges.edge_from_vertices( pair );
                if( !edge )
                {
                    problems.add( "edge table misses vertices ", pair[0], " and ",
                        pair[1] );
                }
                else if( edge_flags && !edge_flags->value( edge.value() ) )
                {
                    problems.add( "edge ", edge.value(), " of a live polygon ",
                        uses.front().string(), " is flagged inactive" );
                }
            }
        }
        return problems.result();
    }

    template EditableSurface< 2 > make_surface(
        const std::vector< std::array< double, 3 > >&,
        const std::vector< std::array< index_t, 3 > >& );
    template EditableSurface< 3 > make_surface(
        const std::vector< std::array< double, 3 > >&,
        const std::vector< std::array< index_t, 3 > >& );
    template EditableSurface< 2 > make_square();
    template EditableSurface< 3 > make_square();
    template EditableSurface< 2 > make_hexagonal_fan();
    template EditableSurface< 3 > make_hexagonal_fan();
    template EditableSurface< 2 > make_strip( index_t );
    template EditableSurface< 3 > make_strip( index_t );
    template EditableSurface< 2 > make_grid( index_t, index_t );
    template EditableSurface< 3 > make_grid( index_t, index_t );
    template index_t nb_active_polygons( const TriangulatedSurface< 2 >& );
    template index_t nb_active_polygons( const TriangulatedSurface< 3 >& );
    template ::testing::AssertionResult is_valid_surface(
        const TriangulatedSurface< 2 >&, const SurfaceCheckOptions& );
    template ::testing::AssertionResult is_valid_surface(
        const TriangulatedSurface< 3 >&, const SurfaceCheckOptions& );
} // namespace orvane::test
