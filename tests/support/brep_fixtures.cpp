#include <tests/support/brep_fixtures.hpp>

#include <vector>

#include <openorvane/mesh/tetrahedral_solid.hpp>
#include <openorvane/mesh/triangulated_surface_builder.hpp>
#include <openorvane/model/brep_builder.hpp>
#include <openorvane/model/model_library.hpp>

namespace orvane
{
    namespace test
    {
        namespace
        {
            Point< 3 > point( double x, double y, double z )
            {
                return Point< 3 >{ { x, y, z } };
            }

            /// Adds a corner of one vertex at the point, linked to the unique
            /// vertex.
            uuid add_corner( BRepBuilder& builder, const Point< 3 >& at, index_t unique )
            {
                const auto id = builder.add_corner();
                const auto vertex = builder.corner_mesh_builder( id )->create_point( at );
                builder.set_unique_vertex(
                    { { Corner< 3 >::component_type_static(), id }, vertex }, unique );
                return id;
            }

            /// Adds a line through the points (one edge between consecutive
            /// ones), vertex i linked to uniques[i].
            uuid add_line( BRepBuilder& builder,
                const std::vector< Point< 3 > >& points,
                const std::vector< index_t >& uniques )
            {
                const auto id = builder.add_line();
                auto mesh = builder.line_mesh_builder( id );
                for( index_t v = 0; v < points.size(); v++ )
                {
                    mesh->create_point( points[v] );
                    builder.set_unique_vertex(
                        { { Line< 3 >::component_type_static(), id }, v }, uniques[v] );
                }
                for( index_t v = 0; v + 1 < points.size(); v++ )
                {
                    mesh->create_edge( v, v + 1 );
                }
                return id;
            }

            /// Adds a triangulated surface with adjacencies computed, vertex i
            /// linked to uniques[i].
            uuid add_surface( BRepBuilder& builder,
                const std::vector< Point< 3 > >& points,
                const std::vector< std::array< index_t, 3 > >& triangles,
                const std::vector< index_t >& uniques )
            {
                const auto id = builder.add_surface();
                auto& mesh = dynamic_cast< TriangulatedSurface< 3 >& >(
                    builder.modifiable_surface( id ).get_modifiable_mesh() );
                auto mesh_builder = TriangulatedSurfaceBuilder< 3 >::create( mesh );
                for( index_t v = 0; v < points.size(); v++ )
                {
                    mesh_builder->create_point( points[v] );
                    builder.set_unique_vertex(
                        { { Surface< 3 >::component_type_static(), id }, v }, uniques[v] );
                }
                for( const auto& triangle : triangles )
                {
                    mesh_builder->create_triangle( triangle );
                }
                mesh_builder->compute_polygon_adjacencies();
                return id;
            }
        } // namespace

        uuid add_linked_corner( BRep& model, const Point< 3 >& at, index_t unique )
        {
            BRepBuilder builder{ model };
            return add_corner( builder, at, unique );
        }

        uuid add_linked_line( BRep& model,
            const std::vector< Point< 3 > >& points,
            const std::vector< index_t >& uniques,
            bool closed )
        {
            BRepBuilder builder{ model };
            const auto id = add_line( builder, points, uniques );
            if( closed )
            {
                builder.line_mesh_builder( id )->create_edge(
                    static_cast< index_t >( points.size() ) - 1, 0 );
            }
            return id;
        }

        uuid add_linked_surface( BRep& model,
            const std::vector< Point< 3 > >& points,
            const std::vector< std::array< index_t, 3 > >& triangles,
            const std::vector< index_t >& uniques )
        {
            BRepBuilder builder{ model };
            return add_surface( builder, points, triangles, uniques );
        }

        TwoSurfacesModel two_surfaces_sharing_a_line()
        {
            OpenOrvaneModelLibrary::initialize();
            TwoSurfacesModel result;
            BRepBuilder builder{ result.model };
            builder.create_unique_vertices( 5 );
            result.corner0 = add_corner( builder, point( 0, 0, 0 ), 0 );
            result.corner1 = add_corner( builder, point( 1, 0, 0 ), 1 );
            result.line = add_line( builder,
                { point( 0, 0, 0 ), point( 0.5, 0, 0 ), point( 1, 0, 0 ) }, { 0, 2, 1 } );
            result.surface0 = add_surface( builder,
                { point( 0, 0, 0 ), point( 0.5, 0, 0 ), point( 1, 0, 0 ),
                    point( 0.5, 1, 0 ) },
                { { 0, 1, 3 }, { 1, 2, 3 } }, { 0, 2, 1, 3 } );
            result.surface1 = add_surface( builder,
                { point( 1, 0, 0 ), point( 0.5, 0, 0 ), point( 0, 0, 0 ),
                    point( 0.5, 0, 1 ) },
                { { 0, 1, 3 }, { 1, 2, 3 } }, { 1, 2, 0, 4 } );
            const auto& model = result.model;
            const auto& line = model.line( result.line );
            builder.add_corner_line_boundary_relationship(
                model.corner( result.corner0 ), line );
            builder.add_corner_line_boundary_relationship(
                model.corner( result.corner1 ), line );
            builder.add_line_surface_boundary_relationship(
                line, model.surface( result.surface0 ) );
            builder.add_line_surface_boundary_relationship(
                line, model.surface( result.surface1 ) );
            return result;
        }

        TwoSurfacesModel two_grid_surfaces_sharing_a_line( index_t n )
        {
            OpenOrvaneModelLibrary::initialize();
            TwoSurfacesModel result;
            BRepBuilder builder{ result.model };
            const auto nb_points = ( n + 1 ) * ( n + 1 );
            builder.create_unique_vertices( 2 * nb_points - ( n + 1 ) );
            const auto step = 1. / static_cast< double >( n );
            result.corner0 = add_corner( builder, point( 0, 0, 0 ), 0 );
            result.corner1 = add_corner( builder, point( 1, 0, 0 ), n );
            std::vector< Point< 3 > > row;
            std::vector< index_t > row_uniques;
            for( index_t i = 0; i <= n; i++ )
            {
                row.push_back( point( i * step, 0, 0 ) );
                row_uniques.push_back( i );
            }
            result.line = add_line( builder, row, row_uniques );
            std::vector< std::array< index_t, 3 > > triangles;
            for( index_t j = 0; j < n; j++ )
            {
                for( index_t i = 0; i < n; i++ )
                {
                    const auto v = j * ( n + 1 ) + i;
                    triangles.push_back( { v, v + 1, v + n + 2 } );
                    triangles.push_back( { v, v + n + 2, v + n + 1 } );
                }
            }
            for( index_t s = 0; s < 2; s++ )
            {
                std::vector< Point< 3 > > points;
                std::vector< index_t > uniques;
                for( index_t j = 0; j <= n; j++ )
                {
                    for( index_t i = 0; i <= n; i++ )
                    {
                        points.push_back( s == 0 ? point( i * step, j * step, 0 )
                                                 : point( i * step, 0, j * step ) );
                        const auto v = j * ( n + 1 ) + i;
                        uniques.push_back( j == 0 ? v : v + s * ( nb_points - ( n + 1 ) ) );
                    }
                }
                const auto id = add_surface( builder, points, triangles, uniques );
                ( s == 0 ? result.surface0 : result.surface1 ) = id;
            }
            const auto& model = result.model;
            const auto& line = model.line( result.line );
            builder.add_corner_line_boundary_relationship( model.corner( result.corner0 ), line );
            builder.add_corner_line_boundary_relationship( model.corner( result.corner1 ), line );
            builder.add_line_surface_boundary_relationship( line, model.surface( result.surface0 ) );
            builder.add_line_surface_boundary_relationship( line, model.surface( result.surface1 ) );
            return result;
        }

        TetrahedronModel tetrahedron_model()
        {
            OpenOrvaneModelLibrary::initialize();
            TetrahedronModel result;
            BRepBuilder builder{ result.model };
            const std::array< Point< 3 >, 4 > points{ point( 0, 0, 0 ), point( 1, 0, 0 ),
                point( 0, 1, 0 ), point( 0, 0, 1 ) };
            builder.create_unique_vertices( 4 );
            for( index_t c = 0; c < 4; c++ )
            {
                result.corners[c] = add_corner( builder, points[c], c );
            }
            for( index_t l = 0; l < 6; l++ )
            {
                const auto& ends = TetrahedronModel::LINE_ENDS[l];
                result.lines[l] = add_line(
                    builder, { points[ends[0]], points[ends[1]] }, { ends[0], ends[1] } );
                for( const auto end : ends )
                {
                    builder.add_corner_line_boundary_relationship(
                        result.model.corner( result.corners[end] ),
                        result.model.line( result.lines[l] ) );
                }
            }
            result.block = builder.add_block();
            {
                auto& solid = dynamic_cast< TetrahedralSolid< 3 >& >(
                    builder.modifiable_block( result.block ).get_modifiable_mesh() );
                auto solid_builder = TetrahedralSolidBuilder< 3 >::create( solid );
                for( index_t v = 0; v < 4; v++ )
                {
                    solid_builder->create_point( points[v] );
                    builder.set_unique_vertex(
                        { result.model.block( result.block ).component_id(), v }, v );
                }
                solid_builder->create_tetrahedron( { 0, 1, 2, 3 } );
            }
            for( index_t f = 0; f < 4; f++ )
            {
                // The facet lists its vertices with the normal pointing into
                // the tetrahedron: reversed, the surface faces outward.
                const auto& facet = TETRAHEDRON_FACET_VERTICES[f];
                const std::vector< index_t > uniques{ facet[0], facet[2], facet[1] };
                result.surfaces[f] = add_surface( builder,
                    { points[uniques[0]], points[uniques[1]], points[uniques[2]] },
                    { { 0, 1, 2 } }, uniques );
                const auto& surface = result.model.surface( result.surfaces[f] );
                for( index_t l = 0; l < 6; l++ )
                {
                    const auto& ends = TetrahedronModel::LINE_ENDS[l];
                    if( ends[0] != f && ends[1] != f )
                    {
                        builder.add_line_surface_boundary_relationship(
                            result.model.line( result.lines[l] ), surface );
                    }
                }
                builder.add_surface_block_boundary_relationship(
                    surface, result.model.block( result.block ) );
            }
            return result;
        }
    } // namespace test
} // namespace orvane
