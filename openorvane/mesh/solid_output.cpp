#include <openorvane/mesh/solid_output.hpp>

#include <fstream>
#include <iomanip>
#include <limits>

#include <absl/container/flat_hash_map.h>
#include <absl/strings/str_cat.h>

#include <openorvane/basic/exception.hpp>
#include <openorvane/mesh/tetrahedral_solid.hpp>

namespace
{
    using namespace orvane;

    /// VTK's cell type of a linear tetrahedron.
    constexpr int VTK_TETRA = 10;

    std::ofstream open_file( const std::string& filename )
    {
        std::ofstream file{ filename };
        ORVANE_EXCEPTION( file.good(), "[save_tetrahedral_solid] Cannot open file ",
            filename );
        file << std::setprecision( std::numeric_limits< double >::max_digits10 );
        return file;
    }

    void write_point( std::ofstream& file, const Point< 3 >& point )
    {
        file << point.value( 0 ) << " " << point.value( 1 ) << " "
             << point.value( 2 ) << "\n";
    }

    long long written_index( index_t index )
    {
        return index == NO_ID ? -1 : static_cast< long long >( index );
    }

    void close_file( std::ofstream& file, const std::string& filename )
    {
        file.close();
        ORVANE_EXCEPTION( !file.fail(), "[save_tetrahedral_solid] Cannot write file ",
            filename );
    }

    void write_header( std::ofstream& file,
        std::string_view name,
        const uuid& id,
        index_t nb_vertices )
    {
        file << "OpenOrvane TetrahedralSolid\n";
        file << "name " << name << "\n";
        file << "id " << id.string() << "\n";
        file << "dimension 3\n";
        file << "vertices " << nb_vertices << "\n";
    }
} // namespace

namespace orvane
{
    std::vector< std::string > save_tetrahedral_solid(
        const TetrahedralSolid< 3 >& solid, std::string_view filename )
    {
        const std::string name{ filename };
        auto file = open_file( name );
        write_header( file, solid.name(), solid.id(), solid.nb_vertices() );
        for( index_t v = 0; v < solid.nb_vertices(); v++ )
        {
            write_point( file, solid.point( v ) );
        }
        file << "tetrahedra " << solid.nb_polyhedra() << "\n";
        for( index_t t = 0; t < solid.nb_polyhedra(); t++ )
        {
            const auto vertices = solid.polyhedron_vertices( t );
            file << written_index( vertices[0] ) << " "
                 << written_index( vertices[1] ) << " "
                 << written_index( vertices[2] ) << " "
                 << written_index( vertices[3] ) << "\n";
        }
        file << "adjacencies\n";
        for( index_t t = 0; t < solid.nb_polyhedra(); t++ )
        {
            for( local_index_t f = 0; f < 4; f++ )
            {
                file << written_index(
                    solid.polyhedron_adjacent( { t, f } ).value_or( NO_ID ) );
                file << ( f == 3 ? "\n" : " " );
            }
        }
        close_file( file, name );
        return { name };
    }

    std::vector< std::string > save_vtk(
        const TetrahedralSolid< 3 >& solid, std::string_view filename )
    {
        const std::string name{ filename };
        auto file = open_file( name );
        file << "# vtk DataFile Version 2.0\n";
        file << ( solid.name().empty() ? std::string_view{ "OpenOrvane mesh" }
                                       : solid.name() )
             << "\n";
        file << "ASCII\nDATASET UNSTRUCTURED_GRID\n";
        file << "POINTS " << solid.nb_vertices() << " double\n";
        for( index_t v = 0; v < solid.nb_vertices(); v++ )
        {
            write_point( file, solid.point( v ) );
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
        close_file( file, name );
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
            auto file = open_file( filename );
            write_header( file, name, solid.id(),
                static_cast< index_t >( used_vertices.size() ) );
            for( const auto vertex : used_vertices )
            {
                write_point( file, solid.point( vertex ) );
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
            close_file( file, filename );
            return { filename };
        }
    } // namespace detail
} // namespace orvane
