#include <openorvane/mesh/vtk_output.hpp>

#include <algorithm>
#include <fstream>
#include <limits>
#include <string>

#include <openorvane/basic/exception.hpp>
#include <openorvane/mesh/edged_curve.hpp>
#include <openorvane/mesh/surface_mesh.hpp>

namespace orvane
{
    namespace
    {
        template < typename Mesh >
        std::ofstream open_vtk( const Mesh& mesh, std::string_view filename )
        {
            std::ofstream file{ std::string{ filename } };
            if( !file )
            {
                throw OpenOrvaneException{ "[save_vtk] Cannot open file ", std::string{ filename } };
            }
            file.precision( std::numeric_limits< double >::max_digits10 );
            // The title is a single line of at most 256 characters.
            auto title = std::string{ mesh.name() };
            std::replace( title.begin(), title.end(), '\n', ' ' );
            if( title.empty() )
            {
                title = "OpenOrvane mesh";
            }
            file << "# vtk DataFile Version 3.0\n"
                 << title.substr( 0, 255 ) << "\n"
                 << "ASCII\n"
                 << "DATASET POLYDATA\n";
            file << "POINTS " << mesh.nb_vertices() << " double\n";
            for( index_t v = 0; v < mesh.nb_vertices(); v++ )
            {
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
            file.close();
            if( !file )
            {
                throw OpenOrvaneException{ "[save_vtk] Cannot write file ", std::string{ filename } };
            }
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
