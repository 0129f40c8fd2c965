#include <tests/support/brep_modifier_checks.hpp>

#include <algorithm>
#include <array>
#include <memory>

#include <absl/container/flat_hash_set.h>
#include <absl/strings/str_cat.h>

#include <openorvane/basic/attribute_manager.hpp>
#include <openorvane/mesh/tetrahedral_solid.hpp>
#include <openorvane/mesh/triangulated_surface.hpp>
#include <openorvane/mesh/triangulated_surface_builder.hpp>
#include <openorvane/model/brep_builder.hpp>
#include <openorvane/model/model_library.hpp>

#include <tests/support/active_flags.hpp>
#include <tests/support/brep_checks.hpp>
#include <tests/support/solid_checks.hpp>
#include <tests/support/surface_checks.hpp>

namespace orvane
{
    namespace test
    {
        namespace
        {
            /// The active edges' ends are each listed once around their
            /// vertex, and vertices list only ends of active edges.
            std::vector< std::string > active_graph_problems( const EdgedCurve< 3 >& mesh )
            {
                std::vector< std::string > problems;
                const ActiveFlags active{ mesh.edge_attribute_manager() };
                for( index_t e = 0; e < mesh.nb_edges(); e++ )
                {
                    if( !active( e ) )
                    {
                        continue;
                    }
                    for( local_index_t end = 0; end < 2; end++ )
                    {
                        const EdgeVertex edge_vertex{ e, end };
                        const auto vertex = mesh.edge_vertex( edge_vertex );
                        if( vertex >= mesh.nb_vertices() )
                        {
                            problems.push_back( absl::StrCat(
                                "edge end ", edge_vertex.string(), " is out of range" ) );
                            continue;
                        }
                        const auto& around = mesh.edges_around_vertex( vertex );
                        if( std::count( around.begin(), around.end(), edge_vertex ) != 1 )
                        {
                            problems.push_back( absl::StrCat( "edge end ",
                                edge_vertex.string(), " is not listed once around vertex ",
                                vertex ) );
                        }
                    }
                }
                for( index_t v = 0; v < mesh.nb_vertices(); v++ )
                {
                    for( const auto& edge_vertex : mesh.edges_around_vertex( v ) )
                    {
                        if( edge_vertex.edge_id >= mesh.nb_edges() || !active( edge_vertex.edge_id )
                            || mesh.edge_vertex( edge_vertex ) != v )
                        {
                            problems.push_back( absl::StrCat( "vertex ", v,
                                " lists edge end ", edge_vertex.string(),
                                " which is inactive or not its own" ) );
                        }
                    }
                }
                return problems;
            }

            void check_linked( const BRep& model,
                const ComponentID& component,
                index_t vertex,
                std::vector< std::string >& problems )
            {
                const ComponentMeshVertex component_vertex{ component, vertex };
                const auto unique = model.unique_vertex( component_vertex );
                if( unique == NO_ID || unique >= model.nb_unique_vertices() )
                {
                    problems.push_back( absl::StrCat(
                        component_vertex.string(), " is used but has no unique vertex" ) );
                    return;
                }
                const auto& list = model.component_mesh_vertices( unique );
                if( std::count( list.begin(), list.end(), component_vertex ) != 1 )
                {
                    problems.push_back( absl::StrCat( component_vertex.string(),
                        " is not listed once by its unique vertex ", unique ) );
                }
            }

            index_t unique_of( const BRep& model, const ComponentID& component, index_t vertex )
            {
                return model.unique_vertex( { component, vertex } );
            }

            /// Sorted unique-vertex pairs of the edges of active triangles.
            absl::flat_hash_set< std::array< index_t, 2 > > surface_unique_edges(
                const BRep& model, const Surface< 3 >& surface )
            {
                absl::flat_hash_set< std::array< index_t, 2 > > edges;
                const auto& mesh = surface.mesh();
                const ActiveFlags active{ mesh.polygon_attribute_manager() };
                for( index_t p = 0; p < mesh.nb_polygons(); p++ )
                {
                    if( !active( p ) )
                    {
                        continue;
                    }
                    const auto vertices = mesh.polygon_vertices( p );
                    for( std::size_t v = 0; v < vertices.size(); v++ )
                    {
                        std::array< index_t, 2 > edge{
                            unique_of( model, surface.component_id(), vertices[v] ),
                            unique_of( model, surface.component_id(),
                                vertices[( v + 1 ) % vertices.size()] )
                        };
                        std::sort( edge.begin(), edge.end() );
                        edges.insert( edge );
                    }
                }
                return edges;
            }

            std::array< index_t, 3 > sorted_triple( std::array< index_t, 3 > triple )
            {
                std::sort( triple.begin(), triple.end() );
                return triple;
            }

            void check_components( const BRep& model, std::vector< std::string >& problems )
            {
                const auto add = [&problems]( const ComponentID& id,
                                     const std::vector< std::string >& found ) {
                    for( const auto& problem : found )
                    {
                        problems.push_back( absl::StrCat( id.string(), ": ", problem ) );
                    }
                };
                for( const auto& line : model.lines() )
                {
                    const auto& mesh = line.mesh();
                    add( line.component_id(), active_graph_problems( mesh ) );
                    const ActiveFlags active{ mesh.edge_attribute_manager() };
                    std::vector< const Surface< 3 >* > surfaces;
                    for( const auto& surface : model.incidences( line ) )
                    {
                        surfaces.push_back( &surface );
                    }
                    for( const auto& surface : model.embedding_surfaces( line ) )
                    {
                        surfaces.push_back( &surface );
                    }
                    std::vector< absl::flat_hash_set< std::array< index_t, 2 > > > edges;
                    for( const auto* surface : surfaces )
                    {
                        edges.push_back( surface_unique_edges( model, *surface ) );
                    }
                    for( index_t e = 0; e < mesh.nb_edges(); e++ )
                    {
                        if( !active( e ) )
                        {
                            continue;
                        }
                        const auto vertices = mesh.edge_vertices( e );
                        check_linked( model, line.component_id(), vertices[0], problems );
                        check_linked( model, line.component_id(), vertices[1], problems );
                        std::array< index_t, 2 > edge{
                            unique_of( model, line.component_id(), vertices[0] ),
                            unique_of( model, line.component_id(), vertices[1] )
                        };
                        std::sort( edge.begin(), edge.end() );
                        for( std::size_t s = 0; s < surfaces.size(); s++ )
                        {
                            if( !edges[s].contains( edge ) )
                            {
                                problems.push_back( absl::StrCat(
                                    line.component_id().string(), " edge ", e,
                                    " is missing from ",
                                    surfaces[s]->component_id().string() ) );
                            }
                        }
                    }
                }
                SurfaceCheckOptions surface_options;
                surface_options.skip_inactive = true;
                for( const auto& surface : model.surfaces() )
                {
                    const auto& mesh =
                        dynamic_cast< const TriangulatedSurface< 3 >& >( surface.mesh() );
                    add( surface.component_id(),
                        triangulated_surface_problems( mesh, surface_options ) );
                    const ActiveFlags active{ mesh.polygon_attribute_manager() };
                    for( index_t p = 0; p < mesh.nb_polygons(); p++ )
                    {
                        if( !active( p ) )
                        {
                            continue;
                        }
                        for( const auto vertex : mesh.polygon_vertices( p ) )
                        {
                            check_linked( model, surface.component_id(), vertex, problems );
                        }
                    }
                }
                SolidCheckOptions solid_options;
                solid_options.skip_inactive = true;
                for( const auto& block : model.blocks() )
                {
                    const auto& solid =
                        dynamic_cast< const TetrahedralSolid< 3 >& >( block.mesh() );
                    add( block.component_id(), tetrahedral_solid_problems( solid, solid_options ) );
                    const ActiveFlags active{ solid.polyhedron_attribute_manager() };
                    absl::flat_hash_set< std::array< index_t, 3 > > facets;
                    for( index_t t = 0; t < solid.nb_polyhedra(); t++ )
                    {
                        if( !active( t ) )
                        {
                            continue;
                        }
                        const auto vertices = solid.polyhedron_vertices( t );
                        for( const auto vertex : vertices )
                        {
                            check_linked( model, block.component_id(), vertex, problems );
                        }
                        for( const auto& facet : TETRAHEDRON_FACET_VERTICES )
                        {
                            facets.insert( sorted_triple( {
                                unique_of( model, block.component_id(), vertices[facet[0]] ),
                                unique_of( model, block.component_id(), vertices[facet[1]] ),
                                unique_of( model, block.component_id(), vertices[facet[2]] ) } ) );
                        }
                    }
                    std::vector< const Surface< 3 >* > surfaces;
                    for( const auto& surface : model.boundaries( block ) )
                    {
                        surfaces.push_back( &surface );
                    }
                    for( const auto& surface : model.internal_surfaces( block ) )
                    {
                        surfaces.push_back( &surface );
                    }
                    for( const auto* surface : surfaces )
                    {
                        const auto& mesh = surface->mesh();
                        const ActiveFlags surface_active{ mesh.polygon_attribute_manager() };
                        for( index_t p = 0; p < mesh.nb_polygons(); p++ )
                        {
                            if( !surface_active( p ) )
                            {
                                continue;
                            }
                            const auto vertices = mesh.polygon_vertices( p );
                            const auto triple = sorted_triple(
                                { unique_of( model, surface->component_id(), vertices[0] ),
                                    unique_of( model, surface->component_id(), vertices[1] ),
                                    unique_of( model, surface->component_id(), vertices[2] ) } );
                            if( !facets.contains( triple ) )
                            {
                                problems.push_back( absl::StrCat(
                                    surface->component_id().string(), " triangle ", p,
                                    " is not a facet of ", block.component_id().string() ) );
                            }
                        }
                    }
                }
            }
        } // namespace

        std::vector< std::string > brep_conformity_problems( const BRep& model )
        {
            std::vector< std::string > problems;
            add_unique_vertex_problems( model, true, problems );
            check_components( model, problems );
            return problems;
        }

        ::testing::AssertionResult is_conformal_brep( const BRep& model )
        {
            const auto problems = brep_conformity_problems( model );
            if( problems.empty() )
            {
                return ::testing::AssertionSuccess();
            }
            auto result = ::testing::AssertionFailure();
            result << problems.size() << " conformity problem(s):";
            for( std::size_t i = 0; i < std::min< std::size_t >( problems.size(), 20 ); i++ )
            {
                result << "\n  " << problems[i];
            }
            return result;
        }

        TwoStrips add_two_strips( BRep& model, const Point< 3 >& offset )
        {
            OpenOrvaneModelLibrary::initialize();
            BRepBuilder builder{ model };
            TwoStrips result;
            result.first_unique = builder.create_unique_vertices( 12 );
            const auto at = [&offset]( double x, double y, double z ) {
                return Point< 3 >{ { x, y, z } } + offset;
            };
            const auto unique = [&result]( index_t local ) {
                return result.first_unique + local;
            };
            const auto add_corner = [&]( const Point< 3 >& point, index_t vertex ) {
                const auto id = builder.add_corner();
                const auto created = builder.corner_mesh_builder( id )->create_point( point );
                builder.set_unique_vertex(
                    { { Corner< 3 >::component_type_static(), id }, created }, vertex );
                return id;
            };
            result.corner0 = add_corner( at( 0, 0, 0 ), unique( 0 ) );
            result.corner1 = add_corner( at( 3, 0, 0 ), unique( 3 ) );
            result.line = builder.add_line();
            {
                auto mesh = builder.line_mesh_builder( result.line );
                const ComponentID component{ Line< 3 >::component_type_static(), result.line };
                for( index_t i = 0; i < 4; i++ )
                {
                    mesh->create_point( at( i, 0, 0 ) );
                    builder.set_unique_vertex( { component, i }, unique( i ) );
                }
                for( index_t i = 0; i < 3; i++ )
                {
                    mesh->create_edge( i, i + 1 );
                }
            }
            std::vector< Point< 3 > > points0;
            std::vector< Point< 3 > > points1;
            std::vector< index_t > uniques0;
            std::vector< index_t > uniques1;
            for( index_t i = 0; i < 4; i++ )
            {
                points0.push_back( at( i, 0, 0 ) );
                points1.push_back( at( i, 0, 0 ) );
                uniques0.push_back( unique( i ) );
                uniques1.push_back( unique( i ) );
            }
            for( index_t i = 0; i < 4; i++ )
            {
                points0.push_back( at( i, 1, 0 ) );
                points1.push_back( at( i, 0, 1 ) );
                uniques0.push_back( unique( 4 + i ) );
                uniques1.push_back( unique( 8 + i ) );
            }
            std::vector< std::array< index_t, 3 > > triangles0;
            std::vector< std::array< index_t, 3 > > triangles1;
            for( index_t i = 0; i < 3; i++ )
            {
                triangles0.push_back( { i, i + 1, 4 + i + 1 } );
                triangles0.push_back( { i, 4 + i + 1, 4 + i } );
                triangles1.push_back( { i, 4 + i + 1, i + 1 } );
                triangles1.push_back( { i, 4 + i, 4 + i + 1 } );
            }
            result.surface0 = add_linked_surface( model, points0, triangles0, uniques0 );
            result.surface1 = add_linked_surface( model, points1, triangles1, uniques1 );
            const auto& line = model.line( result.line );
            builder.add_corner_line_boundary_relationship( model.corner( result.corner0 ), line );
            builder.add_corner_line_boundary_relationship( model.corner( result.corner1 ), line );
            builder.add_line_surface_boundary_relationship( line, model.surface( result.surface0 ) );
            builder.add_line_surface_boundary_relationship( line, model.surface( result.surface1 ) );
            return result;
        }

        Bipyramid bipyramid_model()
        {
            OpenOrvaneModelLibrary::initialize();
            Bipyramid result;
            auto& model = result.model;
            const std::vector< Point< 3 > > points{ Point< 3 >{ { 0, 0, 1 } },
                Point< 3 >{ { 0, 0, -1 } }, Point< 3 >{ { 1, 0, 0 } },
                Point< 3 >{ { -0.5, 0.8, 0 } }, Point< 3 >{ { -0.5, -0.8, 0 } } };
            const std::vector< index_t > uniques{ 0, 1, 2, 3, 4 };
            BRepBuilder builder{ model };
            builder.create_unique_vertices( 5 );
            result.block = builder.add_block();
            {
                auto& solid = dynamic_cast< TetrahedralSolid< 3 >& >(
                    builder.modifiable_block( result.block ).get_modifiable_mesh() );
                auto solid_builder = TetrahedralSolidBuilder< 3 >::create( solid );
                const ComponentID component{ Block< 3 >::component_type_static(), result.block };
                for( index_t v = 0; v < 5; v++ )
                {
                    solid_builder->create_point( points[v] );
                    builder.set_unique_vertex( { component, v }, v );
                }
                for( index_t r = 0; r < 3; r++ )
                {
                    solid_builder->create_tetrahedron( { 1, 0, 2 + r, 2 + ( r + 1 ) % 3 } );
                }
                solid_builder->compute_polyhedron_adjacencies();
            }
            std::vector< std::array< index_t, 3 > > triangles;
            for( index_t r = 0; r < 3; r++ )
            {
                triangles.push_back( { 0, 2 + r, 2 + ( r + 1 ) % 3 } );
                triangles.push_back( { 1, 2 + ( r + 1 ) % 3, 2 + r } );
            }
            result.surface = add_linked_surface( model, points, triangles, uniques );
            builder.add_surface_block_boundary_relationship(
                model.surface( result.surface ), model.block( result.block ) );
            return result;
        }
    } // namespace test
} // namespace orvane
