#include <tests/simplex/repair/repair_scenes.hpp>

#include <openorvane/inspector/triangulated_surface_intersections.hpp>
#include <openorvane/mesh/edged_curve.hpp>
#include <openorvane/mesh/surface_mesh_merger.hpp>
#include <openorvane/mesh/triangulated_surface.hpp>
#include <openorvane/mesh/triangulated_surface_builder.hpp>
#include <openorvane/model/brep_builder.hpp>
#include <openorvane/model/line.hpp>
#include <openorvane/model/surface.hpp>

#include <simplex/model_splitter.hpp>
#include <simplex/simplex_brep_library.hpp>

namespace orvane::test
{
    namespace
    {
        /// The points of the component, in first-use order, and each
        /// point's local index.
        struct LocalVertices
        {
            explicit LocalVertices( index_t nb_points ) : local( nb_points, NO_ID ) {}

            index_t add( index_t global )
            {
                if( local[global] == NO_ID )
                {
                    local[global] = static_cast< index_t >( globals.size() );
                    globals.push_back( global );
                }
                return local[global];
            }

            std::vector< index_t > local;
            std::vector< index_t > globals;
        };

        void fill_surface( BRepBuilder& builder,
            const uuid& id,
            const SceneMeshes& meshes,
            index_t k,
            index_t first_unique )
        {
            auto& mesh = dynamic_cast< TriangulatedSurface< 3 >& >(
                builder.modifiable_surface( id ).get_modifiable_mesh() );
            auto mesh_builder = TriangulatedSurfaceBuilder< 3 >::create( mesh );
            LocalVertices vertices{ static_cast< index_t >( meshes.points.size() ) };
            std::vector< std::array< index_t, 3 > > triangles;
            for( const auto& triangle : meshes.surfaces[k] )
            {
                triangles.push_back( { vertices.add( triangle[0] ), vertices.add( triangle[1] ),
                    vertices.add( triangle[2] ) } );
            }
            for( index_t v = 0; v < vertices.globals.size(); v++ )
            {
                mesh_builder->create_point( meshes.points[vertices.globals[v]] );
                builder.set_unique_vertex( { { Surface< 3 >::component_type_static(), id }, v },
                    first_unique + vertices.globals[v] );
            }
            for( const auto& triangle : triangles )
            {
                mesh_builder->create_triangle( triangle );
            }
            mesh_builder->compute_polygon_adjacencies();
        }

        void fill_line( BRepBuilder& builder,
            const uuid& id,
            const SceneMeshes& meshes,
            index_t k,
            index_t first_unique )
        {
            auto mesh_builder = builder.line_mesh_builder( id );
            const auto& chain = meshes.lines[k];
            for( index_t v = 0; v < chain.size(); v++ )
            {
                mesh_builder->create_point( meshes.points[chain[v]] );
                builder.set_unique_vertex(
                    { { Line< 3 >::component_type_static(), id }, v }, first_unique + chain[v] );
            }
            for( index_t v = 0; v + 1 < chain.size(); v++ )
            {
                mesh_builder->create_edge( v, v + 1 );
            }
        }
    } // namespace

    BRep build_scene_model( const SceneMeshes& input,
        const SceneRelations& relations,
        std::vector< uuid >& surfaces,
        std::vector< uuid >& lines )
    {
        SimplexBRepLibrary::initialize();
        BRep model;
        BRepBuilder builder{ model };
        builder.create_unique_vertices( static_cast< index_t >( input.points.size() ) );
        for( index_t k = 0; k < input.surfaces.size(); k++ )
        {
            surfaces.push_back( builder.add_surface() );
            fill_surface( builder, surfaces.back(), input, k, 0 );
        }
        for( index_t k = 0; k < input.lines.size(); k++ )
        {
            lines.push_back( builder.add_line() );
            fill_line( builder, lines.back(), input, k, 0 );
            for( const auto s : relations.line_surfaces[k] )
            {
                builder.add_line_surface_boundary_relationship(
                    model.line( lines.back() ), model.surface( surfaces[s] ) );
            }
        }
        for( const auto& bounding : relations.block_surfaces )
        {
            const auto block = builder.add_block();
            for( const auto s : bounding )
            {
                builder.add_surface_block_boundary_relationship(
                    model.surface( surfaces[s] ), model.block( block ) );
            }
        }
        return model;
    }

    RepairScene::RepairScene( const SceneMeshes& input,
        const SceneMeshes& output,
        const SceneRelations& relations,
        double metric_value )
        : metric( metric_value )
    {
        data = std::make_unique< RemeshingData< BRep > >(
            build_scene_model( input, relations, input_surfaces, input_lines ), output_model,
            metric );
        internal::prepare_remeshing( *data );
        fill_output_components( *data, input_surfaces, input_lines, output );
    }

    SceneMeshes RepairScene::tent_input()
    {
        const auto p = []( double x, double y, double z ) { return Point< 3 >{ { x, y, z } }; };
        return { { p( -1, -1, -0.5 ), p( 0, -1, 0.5 ), p( 1, -1, -0.5 ), p( -1, 1, -0.5 ),
                     p( 0, 1, 0.5 ), p( 1, 1, -0.5 ), p( 0, -1, -0.6 ), p( 0, 1, -0.6 ),
                     p( 0, 0, -0.3 ) },
            { { { 0, 1, 4 }, { 0, 4, 3 }, { 1, 2, 5 }, { 1, 5, 4 } }, { { 6, 7, 8 } } },
            {} };
    }

    SceneMeshes RepairScene::tent_output()
    {
        const auto p = []( double x, double y, double z ) { return Point< 3 >{ { x, y, z } }; };
        return { { p( -1, -1, -0.5 ), p( 1, -1, -0.5 ), p( 1, 1, -0.5 ), p( -1, 1, -0.5 ),
                     p( 0, -1, -0.6 ), p( 0, 1, -0.6 ), p( 0, 0, -0.3 ) },
            { { { 0, 1, 2 }, { 0, 2, 3 } }, { { 4, 5, 6 } } },
            {} };
    }

    const Surface< 3 >& RepairScene::output_surface( index_t k ) const
    {
        return output_model.surface( data->mappings.at( Surface< 3 >::component_type_static() )
                                         .in2out( input_surfaces[k] ) );
    }

    const Surface< 3 >& RepairScene::input_surface( index_t k ) const
    {
        return data->input.surface( input_surfaces[k] );
    }

    const Line< 3 >& RepairScene::output_line( index_t k ) const
    {
        return output_model.line(
            data->mappings.at( Line< 3 >::component_type_static() ).in2out( input_lines[k] ) );
    }

    void fill_output_components( RemeshingData< BRep >& data,
        const std::vector< uuid >& input_surfaces,
        const std::vector< uuid >& input_lines,
        const SceneMeshes& output )
    {
        auto& builder = data.output_builder;
        const auto first_unique = data.output->nb_unique_vertices();
        builder.create_unique_vertices( static_cast< index_t >( output.points.size() ) );
        for( index_t k = 0; k < output.surfaces.size(); k++ )
        {
            const auto id = data.mappings.at( Surface< 3 >::component_type_static() )
                                .in2out( input_surfaces[k] );
            fill_surface( builder, id, output, k, first_unique );
        }
        for( index_t k = 0; k < output.lines.size(); k++ )
        {
            const auto id =
                data.mappings.at( Line< 3 >::component_type_static() ).in2out( input_lines[k] );
            fill_line( builder, id, output, k, first_unique );
        }
    }

    index_t nb_surface_crossings( const BRep& model )
    {
        std::vector< const SurfaceMesh< 3 >* > meshes;
        for( const auto& surface : model.surfaces() )
        {
            meshes.push_back( &surface.mesh() );
        }
        const detail::SurfaceMeshMerger< 3 > merger{ meshes, 1e-6 };
        const auto merged = merger.merge();
        const TriangulatedSurfaceIntersections< 3 > finder{ *merged };
        return static_cast< index_t >( finder.intersecting_elements().size() );
    }
} // namespace orvane::test
