#include <openorvane/model/brep_output.hpp>

#include <algorithm>
#include <fstream>
#include <limits>

#include <absl/strings/str_cat.h>

#include <openorvane/basic/exception.hpp>
#include <openorvane/mesh/solid_output.hpp>
#include <openorvane/mesh/tetrahedral_solid.hpp>
#include <openorvane/mesh/triangulated_surface_builder.hpp>
#include <openorvane/mesh/vtk_output.hpp>
#include <openorvane/model/brep.hpp>

namespace orvane
{
    namespace
    {
        /// Appends the per-cell component positions to a VTK file written
        /// just before.
        void append_cell_data(
            const std::string& filename, const std::vector< index_t >& cell_components )
        {
            std::ofstream file{ filename, std::ios::app };
            file << "CELL_DATA " << cell_components.size() << "\n"
                 << "SCALARS component_index int 1\n"
                 << "LOOKUP_TABLE default\n";
            for( const auto component : cell_components )
            {
                file << component << "\n";
            }
            file.close();
            if( !file )
            {
                throw OpenOrvaneException{ "[save_brep_vtk] Cannot write file ", filename };
            }
        }

        std::vector< std::string > save_corners(
            const BRep& brep, const std::string& filename )
        {
            std::ofstream file{ filename };
            if( !file )
            {
                throw OpenOrvaneException{ "[save_brep_vtk] Cannot open file ", filename };
            }
            file.precision( std::numeric_limits< double >::max_digits10 );
            index_t nb_points{ 0 };
            for( const auto& corner : brep.corners() )
            {
                nb_points += corner.mesh().nb_vertices();
            }
            file << "# vtk DataFile Version 3.0\n"
                 << "Corners\n"
                 << "ASCII\n"
                 << "DATASET POLYDATA\n"
                 << "POINTS " << nb_points << " double\n";
            // One vertex cell per point, tagged with its corner.
            std::vector< index_t > cell_components;
            index_t position{ 0 };
            for( const auto& corner : brep.corners() )
            {
                const auto& mesh = corner.mesh();
                for( index_t v = 0; v < mesh.nb_vertices(); v++ )
                {
                    const auto& point = mesh.point( v );
                    file << point.value( 0 ) << " " << point.value( 1 ) << " "
                         << point.value( 2 ) << "\n";
                    cell_components.push_back( position );
                }
                position++;
            }
            file << "VERTICES " << nb_points << " " << 2 * nb_points << "\n";
            for( index_t v = 0; v < nb_points; v++ )
            {
                file << "1 " << v << "\n";
            }
            file.close();
            if( !file )
            {
                throw OpenOrvaneException{ "[save_brep_vtk] Cannot write file ", filename };
            }
            append_cell_data( filename, cell_components );
            return { filename };
        }

        std::vector< std::string > save_lines( const BRep& brep, const std::string& filename )
        {
            auto merged = EdgedCurve< 3 >::create();
            auto builder = EdgedCurveBuilder< 3 >::create( *merged );
            IdentifierBuilder{ *merged }.set_name( "Lines" );
            std::vector< index_t > cell_components;
            index_t position{ 0 };
            for( const auto& line : brep.lines() )
            {
                const auto& mesh = line.mesh();
                const auto offset = merged->nb_vertices();
                for( index_t v = 0; v < mesh.nb_vertices(); v++ )
                {
                    builder->create_point( mesh.point( v ) );
                }
                for( index_t e = 0; e < mesh.nb_edges(); e++ )
                {
                    const auto vertices = mesh.edge_vertices( e );
                    if( vertices[0] == NO_ID || vertices[1] == NO_ID )
                    {
                        continue;
                    }
                    builder->create_edge( offset + vertices[0], offset + vertices[1] );
                    cell_components.push_back( position );
                }
                position++;
            }
            auto files = save_vtk( *merged, filename );
            append_cell_data( filename, cell_components );
            return files;
        }

        std::vector< std::string > save_surfaces(
            const BRep& brep, const std::string& filename )
        {
            auto merged = SurfaceMesh< 3 >::create();
            auto builder = SurfaceMeshBuilder< 3 >::create( *merged );
            IdentifierBuilder{ *merged }.set_name( "Surfaces" );
            std::vector< index_t > cell_components;
            index_t position{ 0 };
            for( const auto& surface : brep.surfaces() )
            {
                const auto& mesh = surface.mesh();
                const auto offset = merged->nb_vertices();
                for( index_t v = 0; v < mesh.nb_vertices(); v++ )
                {
                    builder->create_point( mesh.point( v ) );
                }
                for( index_t p = 0; p < mesh.nb_polygons(); p++ )
                {
                    auto vertices = mesh.polygon_vertices( p );
                    if( std::find( vertices.begin(), vertices.end(), NO_ID )
                        != vertices.end() )
                    {
                        continue;
                    }
                    for( auto& vertex : vertices )
                    {
                        vertex += offset;
                    }
                    builder->create_polygon( vertices );
                    cell_components.push_back( position );
                }
                position++;
            }
            auto files = save_vtk( *merged, filename );
            append_cell_data( filename, cell_components );
            return files;
        }

        std::vector< std::string > save_blocks( const BRep& brep, const std::string& filename )
        {
            auto merged = TetrahedralSolid< 3 >::create();
            auto builder = TetrahedralSolidBuilder< 3 >::create( *merged );
            std::vector< index_t > cell_components;
            index_t position{ 0 };
            for( const auto& block : brep.blocks() )
            {
                const auto& mesh = block.mesh();
                const auto offset = merged->nb_vertices();
                for( index_t v = 0; v < mesh.nb_vertices(); v++ )
                {
                    builder->create_point( mesh.point( v ) );
                }
                for( index_t p = 0; p < mesh.nb_polyhedra(); p++ )
                {
                    const auto vertices = mesh.polyhedron_vertices( p );
                    // Only tetrahedra have a cell type in this writer.
                    if( vertices.size() != 4
                        || std::find( vertices.begin(), vertices.end(), NO_ID )
                               != vertices.end() )
                    {
                        continue;
                    }
                    builder->create_tetrahedron( { offset + vertices[0],
                        offset + vertices[1], offset + vertices[2], offset + vertices[3] } );
                    cell_components.push_back( position );
                }
                position++;
            }
            auto files = save_vtk( *merged, filename );
            append_cell_data( filename, cell_components );
            return files;
        }

        template < typename Range >
        void list_components( std::ofstream& file, std::string_view kind, const Range& range )
        {
            index_t position{ 0 };
            for( const auto& component : range )
            {
                file << kind << " " << position++ << " " << component.id().string() << " "
                     << component.name() << "\n";
            }
        }
    } // namespace

    std::vector< std::string > save_brep_vtk( const BRep& brep, std::string_view prefix )
    {
        // Debian's abseil takes its own string view, not the standard one.
        const std::string base{ prefix };
        std::vector< std::string > files;
        const auto add = [&files]( std::vector< std::string > written ) {
            files.insert( files.end(), written.begin(), written.end() );
        };
        if( brep.nb_corners() > 0 )
        {
            add( save_corners( brep, absl::StrCat( base, "_corners.vtk" ) ) );
        }
        if( brep.nb_lines() > 0 )
        {
            add( save_lines( brep, absl::StrCat( base, "_lines.vtk" ) ) );
        }
        if( brep.nb_surfaces() > 0 )
        {
            add( save_surfaces( brep, absl::StrCat( base, "_surfaces.vtk" ) ) );
        }
        if( brep.nb_blocks() > 0 )
        {
            add( save_blocks( brep, absl::StrCat( base, "_blocks.vtk" ) ) );
        }
        const auto listing = absl::StrCat( base, "_components.txt" );
        std::ofstream file{ listing };
        if( !file )
        {
            throw OpenOrvaneException{ "[save_brep_vtk] Cannot open file ", listing };
        }
        list_components( file, "Corner", brep.corners() );
        list_components( file, "Line", brep.lines() );
        list_components( file, "Surface", brep.surfaces() );
        list_components( file, "Block", brep.blocks() );
        file.close();
        if( !file )
        {
            throw OpenOrvaneException{ "[save_brep_vtk] Cannot write file ", listing };
        }
        files.push_back( listing );
        return files;
    }
} // namespace orvane
