#include <openorvane/mesh/mesh_output.hpp>

#include <fstream>
#include <limits>

#include <openorvane/basic/exception.hpp>
#include <openorvane/mesh/edged_curve.hpp>
#include <openorvane/mesh/point_set.hpp>
#include <openorvane/mesh/surface_mesh.hpp>

namespace orvane
{
    namespace
    {
        std::ofstream open_output( std::string_view filename, std::string_view caller )
        {
            std::ofstream file{ std::string{ filename } };
            if( !file )
            {
                throw OpenOrvaneException{ "[", std::string{ caller }, "] Cannot open file ",
                    std::string{ filename } };
            }
            file.precision( std::numeric_limits< double >::max_digits10 );
            return file;
        }

        void close_output( std::ofstream& file, std::string_view filename,
            std::string_view caller )
        {
            file.close();
            if( !file )
            {
                throw OpenOrvaneException{ "[", std::string{ caller }, "] Cannot write file ",
                    std::string{ filename } };
            }
        }

        /// NO_ID as -1, any other index as itself.
        long long index_text( index_t index )
        {
            return index == NO_ID ? -1 : static_cast< long long >( index );
        }

        template < typename Mesh >
        void write_header( std::ofstream& file, std::string_view kind, const Mesh& mesh )
        {
            file << "OpenOrvane " << kind << "\n";
            file << "name " << mesh.name() << "\n";
            file << "id " << mesh.id().string() << "\n";
            file << "dimension " << Mesh::dim << "\n";
            file << "vertices " << mesh.nb_vertices() << "\n";
            for( index_t v = 0; v < mesh.nb_vertices(); v++ )
            {
                const auto& point = mesh.point( v );
                for( local_index_t c = 0; c < Mesh::dim; c++ )
                {
                    file << ( c == 0 ? "" : " " ) << point.value( c );
                }
                file << "\n";
            }
        }
    } // namespace

    template < index_t dimension >
    std::vector< std::string > save_point_set(
        const PointSet< dimension >& points, std::string_view filename )
    {
        constexpr std::string_view caller{ "save_point_set" };
        auto file = open_output( filename, caller );
        write_header( file, "PointSet", points );
        close_output( file, filename, caller );
        return { std::string{ filename } };
    }

    template < index_t dimension >
    std::vector< std::string > save_edged_curve(
        const EdgedCurve< dimension >& curve, std::string_view filename )
    {
        constexpr std::string_view caller{ "save_edged_curve" };
        auto file = open_output( filename, caller );
        write_header( file, "EdgedCurve", curve );
        file << "edges " << curve.nb_edges() << "\n";
        for( index_t e = 0; e < curve.nb_edges(); e++ )
        {
            const auto vertices = curve.edge_vertices( e );
            file << index_text( vertices[0] ) << " " << index_text( vertices[1] ) << "\n";
        }
        close_output( file, filename, caller );
        return { std::string{ filename } };
    }

    template < index_t dimension >
    std::vector< std::string > save_surface_mesh(
        const SurfaceMesh< dimension >& surface, std::string_view filename )
    {
        constexpr std::string_view caller{ "save_surface_mesh" };
        auto file = open_output( filename, caller );
        write_header( file, "SurfaceMesh", surface );
        file << "polygons " << surface.nb_polygons() << "\n";
        for( index_t p = 0; p < surface.nb_polygons(); p++ )
        {
            file << static_cast< unsigned >( surface.nb_polygon_vertices( p ) );
            for( const auto vertex : surface.polygon_vertices( p ) )
            {
                file << " " << index_text( vertex );
            }
            file << "\n";
        }
        file << "adjacencies\n";
        for( index_t p = 0; p < surface.nb_polygons(); p++ )
        {
            for( local_index_t e = 0; e < surface.nb_polygon_vertices( p ); e++ )
            {
                file << ( e == 0 ? "" : " " )
                     << index_text(
                            surface.polygon_adjacent( { p, e } ).value_or( NO_ID ) );
            }
            file << "\n";
        }
        close_output( file, filename, caller );
        return { std::string{ filename } };
    }

    template std::vector< std::string > save_point_set(
        const PointSet< 2 >&, std::string_view );
    template std::vector< std::string > save_point_set(
        const PointSet< 3 >&, std::string_view );
    template std::vector< std::string > save_edged_curve(
        const EdgedCurve< 2 >&, std::string_view );
    template std::vector< std::string > save_edged_curve(
        const EdgedCurve< 3 >&, std::string_view );
    template std::vector< std::string > save_surface_mesh(
        const SurfaceMesh< 2 >&, std::string_view );
    template std::vector< std::string > save_surface_mesh(
        const SurfaceMesh< 3 >&, std::string_view );
} // namespace orvane
