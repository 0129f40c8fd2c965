#include <conversion/feature_angle_split.hpp>

#include <conversion/model_builder_from_meshes.hpp>

#include <cmath>

#include <openorvane/basic/async.hpp>
#include <openorvane/basic/identifier.hpp>
#include <openorvane/mesh/surface_mesh_builder.hpp>

namespace orvane
{
    namespace detail
    {
        namespace
        {
            constexpr double PI = 3.141592653589793;

            template < typename Mesh, typename Range >
            std::vector< std::unique_ptr< Mesh > > clone_meshes( const Range& components )
            {
                std::vector< std::unique_ptr< Mesh > > clones;
                for( const auto& component : components )
                {
                    auto clone = component.mesh().clone();
                    IdentifierBuilder{ *clone }.set_id( component.id() );
                    clones.push_back( std::move( clone ) );
                }
                return clones;
            }

            /// Gives every polygon without normal reachable from `seed`
            /// through polygons without normal the given normal, depth
            /// first, each as it is popped.
            void spread_normal( const SurfaceMesh< 3 >& mesh,
                PolygonNormals& normals,
                index_t seed,
                const Vector< 3 >& normal )
            {
                std::vector< index_t > stack{ seed };
                while( !stack.empty() )
                {
                    const auto polygon = stack.back();
                    stack.pop_back();
                    if( normals[polygon] )
                    {
                        continue;
                    }
                    normals[polygon] = normal;
                    for( local_index_t e = 0; e < mesh.nb_polygon_vertices( polygon ); e++ )
                    {
                        const auto adjacent = mesh.polygon_adjacent( { polygon, e } );
                        if( adjacent && !normals[*adjacent] )
                        {
                            stack.push_back( *adjacent );
                        }
                    }
                }
            }

            void split_surface_along_sharp_edges( SurfaceMesh< 3 >& mesh, double threshold )
            {
                const auto normals = polygon_normals( mesh );
                const auto nb_polygons = mesh.nb_polygons();
                const auto chunk = async::grain( nb_polygons );
                std::vector< async::Task< std::vector< PolygonEdge > > > tasks;
                const auto nb_chunks = nb_polygons / chunk;
                tasks.reserve( nb_chunks + 1 );
                const SurfaceMesh< 3 >& readable = mesh;
                for( index_t k = 0; k <= nb_chunks; k++ )
                {
                    const auto begin = k * chunk;
                    const auto end = k == nb_chunks ? nb_polygons : begin + chunk;
                    tasks.push_back( async::spawn( [&readable, &normals, threshold, begin, end] {
                        return find_sharp_edges( readable, normals, threshold, begin, end );
                    } ) );
                }
                async::when_all( std::move( tasks ) )
                    .then( [&mesh]( std::vector< async::Task< std::vector< PolygonEdge > > >&&
                                       done ) {
                        std::vector< std::vector< PolygonEdge > > lists;
                        lists.reserve( done.size() );
                        for( auto& task : done )
                        {
                            lists.push_back( task.get() );
                        }
                        unset_sharp_edges( mesh, lists );
                    } )
                    .get();
            }
        } // namespace

        std::tuple< BRep, ModelMappings > split_brep_by_feature_angle(
            const BRep& model, double angle )
        {
            auto corners = clone_corner_meshes( model );
            const auto lines = clone_line_meshes( model );
            corners.push_back( sharp_line_vertices( lines, angle ) );
            const auto surfaces = clone_surface_meshes( model );
            split_surfaces_along_sharp_edges( surfaces, angle );
            const auto corner_pointers = mesh_pointers( corners );
            const auto line_pointers = mesh_pointers( lines );
            const auto surface_pointers = mesh_pointers( surfaces );
            return build_brep_from_meshes( corner_pointers, line_pointers, surface_pointers );
        }

        double feature_angle_threshold( double angle )
        {
            return std::cos( ( 180. - angle ) * PI / 180. );
        }

        std::vector< std::unique_ptr< PointSet< 3 > > > clone_corner_meshes( const BRep& model )
        {
            return clone_meshes< PointSet< 3 > >( model.corners() );
        }

        std::vector< std::unique_ptr< EdgedCurve< 3 > > > clone_line_meshes( const BRep& model )
        {
            return clone_meshes< EdgedCurve< 3 > >( model.lines() );
        }

        std::vector< std::unique_ptr< SurfaceMesh< 3 > > > clone_surface_meshes(
            const BRep& model )
        {
            return clone_meshes< SurfaceMesh< 3 > >( model.surfaces() );
        }

        std::unique_ptr< PointSet< 3 > > sharp_line_vertices(
            absl::Span< const std::unique_ptr< EdgedCurve< 3 > > > lines, double angle )
        {
            const auto threshold = feature_angle_threshold( angle );
            auto sharp = PointSet< 3 >::create();
            auto builder = PointSetBuilder< 3 >::create( *sharp );
            for( const auto& line : lines )
            {
                for( index_t vertex = 0; vertex < line->nb_vertices(); vertex++ )
                {
                    const auto& around = line->edges_around_vertex( vertex );
                    if( around.size() != 2 )
                    {
                        continue;
                    }
                    const auto& point = line->point( vertex );
                    const auto& previous = line->point( line->edge_vertex( around[0].opposite() ) );
                    const auto& next = line->point( line->edge_vertex( around[1].opposite() ) );
                    const auto incoming = Vector< 3 >{ previous, point }.normalize();
                    const auto outgoing = Vector< 3 >{ point, next }.normalize();
                    if( threshold >= incoming.dot( outgoing ) )
                    {
                        builder->create_point( point );
                    }
                }
            }
            return sharp;
        }

        void split_surfaces_along_sharp_edges(
            absl::Span< const std::unique_ptr< SurfaceMesh< 3 > > > surfaces, double angle )
        {
            const auto threshold = feature_angle_threshold( angle );
            for( const auto& surface : surfaces )
            {
                split_surface_along_sharp_edges( *surface, threshold );
            }
        }

        PolygonNormals polygon_normals( const SurfaceMesh< 3 >& mesh )
        {
            const auto nb_polygons = mesh.nb_polygons();
            PolygonNormals normals( nb_polygons );
            async::parallel_for( 0, nb_polygons, [&mesh, &normals]( index_t polygon ) {
                normals[polygon] = mesh.polygon_normal( polygon );
            } );
            for( index_t polygon = 0; polygon < nb_polygons; polygon++ )
            {
                if( normals[polygon] )
                {
                    continue;
                }
                for( local_index_t e = 0; e < mesh.nb_polygon_vertices( polygon ); e++ )
                {
                    const auto adjacent = mesh.polygon_adjacent( { polygon, e } );
                    if( adjacent && normals[*adjacent] )
                    {
                        const auto normal = *normals[*adjacent];
                        spread_normal( mesh, normals, polygon, normal );
                        break;
                    }
                }
            }
            return normals;
        }

        std::vector< PolygonEdge > find_sharp_edges( const SurfaceMesh< 3 >& mesh,
            const PolygonNormals& normals,
            double threshold,
            index_t begin,
            index_t end )
        {
            std::vector< PolygonEdge > sharp;
            for( index_t polygon = begin; polygon < end; polygon++ )
            {
                const auto& normal = normals[polygon];
                if( !normal )
                {
                    continue;
                }
                for( local_index_t e = 0; e < mesh.nb_polygon_vertices( polygon ); e++ )
                {
                    const PolygonEdge edge{ polygon, e };
                    const auto adjacent = mesh.polygon_adjacent_edge( edge );
                    if( !adjacent || adjacent->polygon_id < polygon
                        || !normals[adjacent->polygon_id] )
                    {
                        continue;
                    }
                    if( normal->dot( *normals[adjacent->polygon_id] ) <= threshold )
                    {
                        sharp.push_back( edge );
                        sharp.push_back( *adjacent );
                    }
                }
            }
            return sharp;
        }

        void unset_sharp_edges(
            SurfaceMesh< 3 >& mesh, absl::Span< const std::vector< PolygonEdge > > sharp_edges )
        {
            auto builder = SurfaceMeshBuilder< 3 >::create( mesh );
            for( const auto& list : sharp_edges )
            {
                for( const auto& edge : list )
                {
                    builder->unset_polygon_adjacent( edge );
                }
            }
        }
    } // namespace detail
} // namespace orvane
