#include <openorvane/mesh/solid_output.hpp>

#include <fstream>
#include <iomanip>
#include <limits>

#include <absl/container/flat_hash_map.h>
#include <absl/strings/match.h>
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

    void save_native( const TetrahedralSolid< 3 >& solid, const std::string& filename )
    {
        auto file = open_file( filename );
        file << "OOTSO3D 1\n";
        file << "name " << solid.name() << "\n";
        file << "id " << solid.id().string() << "\n";
        file << "vertices " << solid.nb_vertices() << "\n";
        for( index_t v = 0; v < solid.nb_vertices(); v++ )
        {
            write_point( file, solid.point( v ) );
        }
        file << "tetrahedra " << solid.nb_polyhedra() << "\n";
        for( index_t t = 0; t < solid.nb_polyhedra(); t++ )
        {
            for( const auto vertex : solid.polyhedron_vertices( t ) )
            {
                file << vertex << " ";
            }
            for( local_index_t f = 0; f < 4; f++ )
            {
                file << written_index(
                    solid.polyhedron_adjacent( { t, f } ).value_or( NO_ID ) );
                file << ( f == 3 ? "\n" : " " );
            }
        }
        close_file( file, filename );
    }

    void save_vtk( const TetrahedralSolid< 3 >& solid, const std::string& filename )
    {
        auto file = open_file( filename );
        file << "# vtk DataFile Version 2.0\n";
        file << ( solid.name().empty() ? std::string_view{ "TetrahedralSolid3D" }
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
        close_file( file, filename );
    }
} // namespace

namespace orvane
{
    std::vector< std::string > save_tetrahedral_solid(
        const TetrahedralSolid< 3 >& solid, std::string_view filename )
    {
        const std::string name{ filename };
        if( absl::EndsWith( absl::string_view{ name }, ".vtk" ) )
        {
            save_vtk( solid, name );
        }
        else
        {
            save_native( solid, name );
        }
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
            file << "OOTSO3D 1\n";
            file << "name " << name << "\n";
            file << "id " << solid.id().string() << "\n";
            file << "vertices " << used_vertices.size() << "\n";
            for( const auto vertex : used_vertices )
            {
                write_point( file, solid.point( vertex ) );
            }
            file << "tetrahedra " << tetrahedra.size() << "\n";
            for( const auto t : tetrahedra )
            {
                for( const auto vertex : solid.polyhedron_vertices( t ) )
                {
                    file << new_vertex.at( vertex ) << " ";
                }
                file << "-1 -1 -1 -1\n";
            }
            close_file( file, filename );
            return { filename };
        }
    } // namespace detail
} // namespace orvane
