#include <openorvane/mesh/mesh_output.hpp>

#include <openorvane/mesh/edged_curve.hpp>
#include <openorvane/mesh/point_set.hpp>
#include <openorvane/mesh/surface_mesh.hpp>
#include <openorvane/mesh/text_output.hpp>

namespace orvane
{
    namespace
    {
        template < typename Mesh >
        void write_header( std::ofstream& file, std::string_view kind, const Mesh& mesh )
        {
            detail::write_native_header(
                file, kind, mesh.name(), mesh.id(), Mesh::dim, mesh.nb_vertices() );
            for( index_t v = 0; v < mesh.nb_vertices(); v++ )
            {
                detail::write_point( file, mesh.point( v ) );
            }
        }
    } // namespace

    template < index_t dimension >
    std::vector< std::string > save_point_set(
        const PointSet< dimension >& points, std::string_view filename )
    {
        constexpr std::string_view caller{ "save_point_set" };
        auto file = detail::open_text_output( filename, caller );
        write_header( file, "PointSet", points );
        detail::close_text_output( file, filename, caller );
        return { std::string{ filename } };
    }

    template < index_t dimension >
    std::vector< std::string > save_edged_curve(
        const EdgedCurve< dimension >& curve, std::string_view filename )
    {
        constexpr std::string_view caller{ "save_edged_curve" };
        auto file = detail::open_text_output( filename, caller );
        write_header( file, "EdgedCurve", curve );
        file << "edges " << curve.nb_edges() << "\n";
        for( index_t e = 0; e < curve.nb_edges(); e++ )
        {
            const auto vertices = curve.edge_vertices( e );
            file << detail::written_index( vertices[0] ) << " "
                 << detail::written_index( vertices[1] ) << "\n";
        }
        detail::close_text_output( file, filename, caller );
        return { std::string{ filename } };
    }

    template < index_t dimension >
    std::vector< std::string > save_surface_mesh(
        const SurfaceMesh< dimension >& surface, std::string_view filename )
    {
        constexpr std::string_view caller{ "save_surface_mesh" };
        auto file = detail::open_text_output( filename, caller );
        write_header( file, "SurfaceMesh", surface );
        file << "polygons " << surface.nb_polygons() << "\n";
        for( index_t p = 0; p < surface.nb_polygons(); p++ )
        {
            file << static_cast< unsigned >( surface.nb_polygon_vertices( p ) );
            for( const auto vertex : surface.polygon_vertices( p ) )
            {
                file << " " << detail::written_index( vertex );
            }
            file << "\n";
        }
        file << "adjacencies\n";
        for( index_t p = 0; p < surface.nb_polygons(); p++ )
        {
            for( local_index_t e = 0; e < surface.nb_polygon_vertices( p ); e++ )
            {
                file << ( e == 0 ? "" : " " )
                     << detail::written_index(
                            surface.polygon_adjacent( { p, e } ).value_or( NO_ID ) );
            }
            file << "\n";
        }
        detail::close_text_output( file, filename, caller );
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
