#include <openorvane/mesh/solid_output.hpp>

#include <absl/container/flat_hash_map.h>
#include <absl/strings/str_cat.h>

#include <openorvane/mesh/tetrahedral_solid.hpp>
#include <openorvane/mesh/text_output.hpp>

namespace
{
    using namespace orvane;

    constexpr std::string_view CALLER{ "save_tetrahedral_solid" };

    /// VTK's cell type of a linear tetrahedron.
    constexpr int VTK_TETRA = 10;
} // namespace

namespace orvane
{
    std::vector< std::string > save_tetrahedral_solid(
        const TetrahedralSolid< 3 >& solid, std::string_view filename )
    {
        const std::string name{ filename };
        auto file = detail::open_text_output( name, CALLER );
        detail::write_native_header( file, "TetrahedralSolid", solid.name(),
            solid.id(), 3, solid.nb_vertices() );
        for( index_t v = 0; v < solid.nb_vertices(); v++ )
        {
            detail::write_point( file, solid.point( v ) );
        }
        file << "tetrahedra " << solid.nb_polyhedra() << "\n";
        for( index_t t = 0; t < solid.nb_polyhedra(); t++ )
        {
            const auto vertices = solid.polyhedron_vertices( t );
            file << detail::written_index( vertices[0] ) << " "
                 << detail::written_index( vertices[1] ) << " "
                 << detail::written_index( vertices[2] ) << " "
                 << detail::written_index( vertices[3] ) << "\n";
        }
        file << "adjacencies\n";
        for( index_t t = 0; t < solid.nb_polyhedra(); t++ )
        {
            for( local_index_t f = 0; f < 4; f++ )
            {
                file << detail::written_index(
                    solid.polyhedron_adjacent( { t, f } ).value_or( NO_ID ) );
                file << ( f == 3 ? "\n" : " " );
            }
        }
        detail::close_text_output( file, name, CALLER );
        return { name };
    }

    std::vector< std::string > save_vtk(
        const TetrahedralSolid< 3 >& solid, std::string_view filename )
    {
        const std::string name{ filename };
        auto file = detail::open_text_output( name, CALLER );
        file << "# vtk DataFile Version 2.0\n";
        file << detail::vtk_title( solid.name() ) << "\n";
        file << "ASCII\nDATASET UNSTRUCTURED_GRID\n";
        file << "POINTS " << solid.nb_vertices() << " double\n";
        for( index_t v = 0; v < solid.nb_vertices(); v++ )
        {
            detail::write_point( file, solid.point( v ) );
        }
        file << "CELLS " << solid.nb_polyhedra() << " "
             << 5 * static_cast< std::size_t >( solid.nb_polyhedra() ) << "\n";
        for( index_t t = 0; t < solid.nb_polyhedra(); t++ )
        {
            file << 4;
            for( const auto vertex : solid.polyhedron_vertices( t ) )
            {
                file << " " << vertex;
            }
            file << "\n";
        }
        file << "CELL_TYPES " << solid.nb_polyhedra() << "\n";
        for( index_t t = 0; t < solid.nb_polyhedra(); t++ )
        {
            file << VTK_TETRA << "\n";
        }
        detail::close_text_output( file, name, CALLER );
        return { name };
    }

    namespace detail
    {
        std::vector< std::string > save_tetrahedra( const TetrahedralSolid< 3 >& solid,
            absl::Span< const index_t > tetrahedra,
            std::string_view name )
        {
            const auto filename =
                absl::StrCat( name.empty() ? absl::string_view{ "tetrahedra" }
                                           : absl::string_view{ name.data(),
                                                 name.size() },
                    ".", absl::string_view{ solid.native_extension().data(),
                             solid.native_extension().size() } );
            // Only the points the tetrahedra use, renumbered in order of
            // first use.
            absl::flat_hash_map< index_t, index_t > new_vertex;
            std::vector< index_t > used_vertices;
            for( const auto t : tetrahedra )
            {
                for( const auto vertex : solid.polyhedron_vertices( t ) )
                {
                    if( new_vertex.try_emplace( vertex, used_vertices.size() ).second )
                    {
                        used_vertices.push_back( vertex );
                    }
                }
            }
            auto file = detail::open_text_output( filename, CALLER );
            detail::write_native_header( file, "TetrahedralSolid", name, solid.id(), 3,
                static_cast< index_t >( used_vertices.size() ) );
            for( const auto vertex : used_vertices )
            {
                detail::write_point( file, solid.point( vertex ) );
            }
            file << "tetrahedra " << tetrahedra.size() << "\n";
            for( const auto t : tetrahedra )
            {
                const auto vertices = solid.polyhedron_vertices( t );
                file << new_vertex.at( vertices[0] ) << " "
                     << new_vertex.at( vertices[1] ) << " "
                     << new_vertex.at( vertices[2] ) << " "
                     << new_vertex.at( vertices[3] ) << "\n";
            }
            file << "adjacencies\n";
            for( std::size_t t = 0; t < tetrahedra.size(); t++ )
            {
                file << "-1 -1 -1 -1\n";
            }
            detail::close_text_output( file, filename, CALLER );
            return { filename };
        }
    } // namespace detail
} // namespace orvane
