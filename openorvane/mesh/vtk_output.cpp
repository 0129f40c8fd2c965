#include <openorvane/mesh/vtk_output.hpp>

#include <algorithm>
#include <string>

#include <openorvane/mesh/edged_curve.hpp>
#include <openorvane/mesh/surface_mesh.hpp>
#include <openorvane/mesh/text_output.hpp>

namespace orvane
{
    namespace
    {
        constexpr std::string_view CALLER{ "save_vtk" };

        template < typename Mesh >
        std::ofstream open_vtk( const Mesh& mesh, std::string_view filename )
        {
            auto file = detail::open_text_output( filename, CALLER );
            file << "# vtk DataFile Version 3.0\n"
                 << detail::vtk_title( mesh.name() ) << "\n"
                 << "ASCII\n"
                 << "DATASET POLYDATA\n";
            file << "POINTS " << mesh.nb_vertices() << " double\n";
            for( index_t v = 0; v < mesh.nb_vertices(); v++ )
            {
                // Legacy VTK points always have three coordinates.
                const auto& point = mesh.point( v );
                for( local_index_t c = 0; c < 3; c++ )
                {
                    file << ( c == 0 ? "" : " " )
                         << ( c < Mesh::dim ? point.value( c ) : 0. );
                }
                file << "\n";
            }
            return file;
        }

        std::vector< std::string > close_vtk( std::ofstream& file, std::string_view filename )
        {
            detail::close_text_output( file, filename, CALLER );
            return { std::string{ filename } };
        }
    } // namespace

    template < index_t dimension >
    std::vector< std::string > save_vtk(
        const SurfaceMesh< dimension >& surface, std::string_view filename )
    {
        auto file = open_vtk( surface, filename );
        std::vector< index_t > written;
        std::size_t nb_values{ 0 };
        for( index_t p = 0; p < surface.nb_polygons(); p++ )
        {
            const auto vertices = surface.polygon_vertices( p );
            if( std::find( vertices.begin(), vertices.end(), NO_ID ) == vertices.end() )
            {
                written.push_back( p );
                nb_values += 1 + vertices.size();
            }
        }
        file << "POLYGONS " << written.size() << " " << nb_values << "\n";
        for( const auto p : written )
        {
            const auto vertices = surface.polygon_vertices( p );
            file << vertices.size();
            for( const auto vertex : vertices )
            {
                file << " " << vertex;
            }
            file << "\n";
        }
        return close_vtk( file, filename );
    }

    template < index_t dimension >
    std::vector< std::string > save_vtk(
        const EdgedCurve< dimension >& curve, std::string_view filename )
    {
        auto file = open_vtk( curve, filename );
        std::vector< index_t > written;
        for( index_t e = 0; e < curve.nb_edges(); e++ )
        {
            const auto vertices = curve.edge_vertices( e );
            if( vertices[0] != NO_ID && vertices[1] != NO_ID )
            {
                written.push_back( e );
            }
        }
        file << "LINES " << written.size() << " " << 3 * written.size() << "\n";
        for( const auto e : written )
        {
            const auto vertices = curve.edge_vertices( e );
            file << "2 " << vertices[0] << " " << vertices[1] << "\n";
        }
        return close_vtk( file, filename );
    }

    template std::vector< std::string > save_vtk(
        const SurfaceMesh< 2 >&, std::string_view );
    template std::vector< std::string > save_vtk(
        const SurfaceMesh< 3 >&, std::string_view );
    template std::vector< std::string > save_vtk(
        const EdgedCurve< 2 >&, std::string_view );
    template std::vector< std::string > save_vtk(
        const EdgedCurve< 3 >&, std::string_view );
} // namespace orvane
