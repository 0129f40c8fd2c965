// Starts the library, builds the two surfaces of a small geological model (a
// gently folded horizon and a dipping fault plane cutting through it) and
// meshes them: the mesher makes them conformal, builds the model and
// remeshes every component to a target edge length.
//
// Usage: mesh_example [output-folder]
// With an output folder, the input surfaces and the meshed model are written
// there as VTK files.

#include <algorithm>
#include <cmath>
#include <numbers>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <type_traits>

#include <facade/mesher.hpp>
#include <facade/orvane_tamsel_library.hpp>

#include <openorvane/geometry/point.hpp>
#include <openorvane/mesh/triangulated_surface.hpp>
#include <openorvane/mesh/triangulated_surface_builder.hpp>
#include <openorvane/mesh/vtk_output.hpp>
#include <openorvane/model/brep_output.hpp>

namespace
{
    // A grid of (n + 1) x (n + 1) points over [0, size_u] x [0, size_v]:
    // the point (u, v, place(u, v)) when `place` answers a height, otherwise
    // the point place(u, v).
    template < typename Place >
    std::unique_ptr< orvane::TriangulatedSurface3D > grid_surface(
        orvane::index_t n, double size_u, double size_v, const Place& place )
    {
        auto surface = orvane::TriangulatedSurface3D::create();
        auto builder = orvane::TriangulatedSurfaceBuilder< 3 >::create( *surface );
        for( orvane::index_t j = 0; j <= n; j++ )
        {
            for( orvane::index_t i = 0; i <= n; i++ )
            {
                const double u = i * size_u / n;
                const double v = j * size_v / n;
                if constexpr( std::is_same_v< decltype( place( u, v ) ), orvane::Point3D > )
                {
                    builder->create_point( place( u, v ) );
                }
                else
                {
                    builder->create_point( orvane::Point3D{ { u, v, place( u, v ) } } );
                }
            }
        }
        const auto vertex = [n]( orvane::index_t i, orvane::index_t j ) {
            return j * ( n + 1 ) + i;
        };
        for( orvane::index_t j = 0; j < n; j++ )
        {
            for( orvane::index_t i = 0; i < n; i++ )
            {
                builder->create_triangle(
                    { vertex( i, j ), vertex( i + 1, j ), vertex( i + 1, j + 1 ) } );
                builder->create_triangle(
                    { vertex( i, j ), vertex( i + 1, j + 1 ), vertex( i, j + 1 ) } );
            }
        }
        builder->compute_polygon_adjacencies();
        return surface;
    }

    void describe( const std::string& name, const orvane::TriangulatedSurface3D& surface )
    {
        orvane::index_t border_edges{ 0 };
        for( orvane::index_t p = 0; p < surface.nb_polygons(); p++ )
        {
            for( orvane::local_index_t e = 0; e < 3; e++ )
            {
                if( surface.is_edge_on_border( { p, e } ) )
                {
                    border_edges++;
                }
            }
        }
        std::cout << name << ": " << surface.nb_vertices() << " vertices, "
                  << surface.nb_polygons() << " triangles, " << border_edges
                  << " border edges" << std::endl;
    }
    struct MeshSummary
    {
        orvane::index_t nb_triangles{ 0 };
        orvane::index_t nb_edges{ 0 };
        orvane::index_t nb_edges_near_metric{ 0 };
        double radius_ratio_sum{ 0 };
    };

    /// Radius ratio of a triangle: 2 r / R, 1 for an equilateral triangle
    /// and 0 for a flat one.
    double radius_ratio( const orvane::Triangle< 3 >& triangle )
    {
        const auto& p = triangle.vertices();
        const auto a = orvane::Vector3D{ p[1], p[2] }.length();
        const auto b = orvane::Vector3D{ p[2], p[0] }.length();
        const auto c = orvane::Vector3D{ p[0], p[1] }.length();
        const auto area2 =
            orvane::Vector3D{ p[0], p[1] }.cross( orvane::Vector3D{ p[0], p[2] } ).length();
        const auto product = a * b * c * ( a + b + c );
        return product > 1e-30 ? 4. * area2 * area2 / product : 0.;
    }

    /// Counts the triangles of every surface of the model, the share of
    /// their edges within [L / sqrt 2, L sqrt 2] and their mean radius
    /// ratio.
    MeshSummary summarize( const orvane::BRep& model, double metric )
    {
        MeshSummary summary;
        for( const auto& surface : model.surfaces() )
        {
            const auto& mesh =
                dynamic_cast< const orvane::TriangulatedSurface3D& >( surface.mesh() );
            for( orvane::index_t p = 0; p < mesh.nb_polygons(); p++ )
            {
                summary.nb_triangles++;
                summary.radius_ratio_sum += radius_ratio( mesh.triangle( p ) );
                for( orvane::local_index_t e = 0; e < 3; e++ )
                {
                    const auto adjacent = mesh.polygon_adjacent( { p, e } );
                    if( adjacent && *adjacent < p )
                    {
                        continue;
                    }
                    const auto length = mesh.edge_length( { p, e } );
                    summary.nb_edges++;
                    if( length >= metric / std::numbers::sqrt2
                        && length <= metric * std::numbers::sqrt2 )
                    {
                        summary.nb_edges_near_metric++;
                    }
                }
            }
        }
        return summary;
    }
} // namespace

int main( int argc, char** argv )
{
    try
    {
        orvane_tamsel::OrvaneTamselLibrary::initialize();

        const auto height = []( double x, double y ) {
            return 200. + 30. * std::sin( x / 300. ) * std::cos( y / 400. );
        };
        const auto horizon = grid_surface( 20, 1000., 1000., height );
        // A dipping fault plane that cuts through the horizon: the two meshes
        // cross without sharing any vertex, and the mesher makes them
        // conformal along their crossing.
        const auto fault = grid_surface( 20, 1000., 300., []( double y, double t ) {
            return orvane::Point3D{ { 400. + 0.4 * t, y, 50. + t } };
        } );

        describe( "horizon", *horizon );
        describe( "fault", *fault );

        if( argc > 1 )
        {
            const std::filesystem::path folder{ argv[1] };
            std::filesystem::create_directories( folder );
            orvane::save_vtk( *horizon, ( folder / "horizon.vtk" ).string() );
            orvane::save_vtk( *fault, ( folder / "fault.vtk" ).string() );
            std::cout << "surfaces written to " << folder.string() << std::endl;
        }

        orvane::BoundingBox< 3 > box;
        box.add_point( orvane::Point3D{ { -10., -10., -300. } } );
        box.add_point( orvane::Point3D{ { 1010., 1010., 700. } } );
        orvane_tamsel::Mesher mesher{ box };
        mesher.add_surface( *horizon );
        mesher.add_surface( *fault );
        const orvane_tamsel::MesherOptions options{ 50. };
        const auto [model, mapping] = mesher.build_and_mesh( options );

        const auto summary = summarize( model, options.metric );
        std::cout << "model: " << model.nb_corners() << " corners, " << model.nb_lines()
                  << " lines, " << model.nb_surfaces() << " surfaces, " << model.nb_blocks()
                  << " blocks" << std::endl;
        std::cout << "surfaces: " << summary.nb_triangles << " triangles, "
                  << 100. * summary.nb_edges_near_metric / std::max< orvane::index_t >( summary.nb_edges, 1 )
                  << "% of edges within [L/sqrt2, L sqrt2] for L = " << options.metric
                  << ", mean radius ratio "
                  << summary.radius_ratio_sum / std::max< orvane::index_t >( summary.nb_triangles, 1 )
                  << std::endl;
        if( argc > 1 )
        {
            const std::filesystem::path folder{ argv[1] };
            for( const auto& file : orvane::save_brep_vtk( model, ( folder / "model" ).string() ) )
            {
                std::cout << "written: " << file << std::endl;
            }
        }
        return 0;
    }
    catch( const std::exception& error )
    {
        std::cerr << "mesh_example failed: " << error.what() << std::endl;
        return 1;
    }
}
