// Starts the library and builds the two surfaces of a small geological
// model: a gently folded horizon and a steep fault plane cutting through it.
//
// Usage: mesh_example [output-folder]
// With an output folder, both surfaces are written there as VTK files.

#include <cmath>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>

#include <facade/orvane_tamsel_library.hpp>

#include <openorvane/geometry/point.hpp>
#include <openorvane/mesh/triangulated_surface.hpp>
#include <openorvane/mesh/triangulated_surface_builder.hpp>
#include <openorvane/mesh/vtk_output.hpp>

namespace
{
    // A grid of (n + 1) x (n + 1) points over [0, size]^2 lifted by height(x, y).
    template < typename Height >
    std::unique_ptr< orvane::TriangulatedSurface3D > grid_surface(
        orvane::index_t n, double size, const Height& height )
    {
        auto surface = orvane::TriangulatedSurface3D::create();
        auto builder = orvane::TriangulatedSurfaceBuilder< 3 >::create( *surface );
        const double step = size / n;
        for( orvane::index_t j = 0; j <= n; j++ )
        {
            for( orvane::index_t i = 0; i <= n; i++ )
            {
                const double x = i * step;
                const double y = j * step;
                builder->create_point( orvane::Point3D{ { x, y, height( x, y ) } } );
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
} // namespace

int main( int argc, char** argv )
{
    try
    {
        orvane_tamsel::OrvaneTamselLibrary::initialize();

        const auto horizon = grid_surface( 20, 1000., []( double x, double y ) {
            return 200. + 30. * std::sin( x / 300. ) * std::cos( y / 400. );
        } );
        auto fault = grid_surface( 10, 1000., []( double x, double ) {
            return 0.8 * ( x - 500. ) + 200.;
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
        std::cout << "Remeshing is not available yet: the surfaces are only built."
                  << std::endl;
        return 0;
    }
    catch( const std::exception& error )
    {
        std::cerr << "mesh_example failed: " << error.what() << std::endl;
        return 1;
    }
}
