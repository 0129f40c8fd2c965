#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <openorvane/basic/exception.hpp>
#include <openorvane/model/brep_output.hpp>
#include <tests/support/brep_fixtures.hpp>

namespace orvane
{
    namespace
    {
        /// The count after `keyword` at the start of a line, and the values
        /// of the "component_index" cell data.
        struct VtkSummary
        {
            std::size_t cells{ 0 };
            std::size_t cell_data{ 0 };
            std::vector< int > components;
        };

        VtkSummary read_summary( const std::string& filename, const std::string& keyword )
        {
            VtkSummary summary;
            std::ifstream file{ filename };
            std::string line;
            bool in_data{ false };
            while( std::getline( file, line ) )
            {
                std::istringstream words{ line };
                std::string first;
                words >> first;
                if( first == keyword )
                {
                    words >> summary.cells;
                }
                else if( first == "CELL_DATA" )
                {
                    words >> summary.cell_data;
                }
                else if( first == "LOOKUP_TABLE" )
                {
                    in_data = true;
                }
                else if( in_data && !first.empty() )
                {
                    summary.components.push_back( std::stoi( first ) );
                }
            }
            return summary;
        }

        std::string temporary_prefix( const std::string& name )
        {
            return ( std::filesystem::temp_directory_path()
                       / ( name + "_" + uuid{}.string() ) )
                .string();
        }
    } // namespace

    TEST( BRepOutput, OneFilePerKindWithComponentCellData )
    {
        const auto fixture = test::tetrahedron_model();
        const auto prefix = temporary_prefix( "tetrahedron" );
        const auto files = save_brep_vtk( fixture.model, prefix );
        ASSERT_EQ( files, ( std::vector< std::string >{ prefix + "_corners.vtk",
                              prefix + "_lines.vtk", prefix + "_surfaces.vtk",
                              prefix + "_blocks.vtk", prefix + "_components.txt" } ) );
        struct Case
        {
            std::string file;
            std::string keyword;
            std::vector< int > components;
        };
        const std::vector< Case > cases{
            { files[0], "VERTICES", { 0, 1, 2, 3 } },
            { files[1], "LINES", { 0, 1, 2, 3, 4, 5 } },
            { files[2], "POLYGONS", { 0, 1, 2, 3 } },
            { files[3], "CELLS", { 0 } },
        };
        for( const auto& test_case : cases )
        {
            const auto summary = read_summary( test_case.file, test_case.keyword );
            EXPECT_EQ( summary.cells, test_case.components.size() ) << test_case.file;
            EXPECT_EQ( summary.cell_data, test_case.components.size() ) << test_case.file;
            EXPECT_EQ( summary.components, test_case.components ) << test_case.file;
        }
        std::ifstream listing{ files[4] };
        std::string first_line;
        std::getline( listing, first_line );
        EXPECT_EQ( first_line, "Corner 0 " + fixture.corners[0].string() + " " );
        for( const auto& file : files )
        {
            std::filesystem::remove( file );
        }
    }

    TEST( BRepOutput, SkipsKindsWithoutComponentsAndReportsUnwritableFiles )
    {
        const auto fixture = test::two_surfaces_sharing_a_line();
        const auto prefix = temporary_prefix( "two_surfaces" );
        const auto files = save_brep_vtk( fixture.model, prefix );
        EXPECT_EQ( files.size(), 4u );
        const auto surfaces = read_summary( prefix + "_surfaces.vtk", "POLYGONS" );
        EXPECT_EQ( surfaces.components, ( std::vector< int >{ 0, 0, 1, 1 } ) );
        EXPECT_FALSE( std::filesystem::exists( prefix + "_blocks.vtk" ) );
        for( const auto& file : files )
        {
            std::filesystem::remove( file );
        }
        EXPECT_THROW( save_brep_vtk( fixture.model, "/nonexistent-directory/model" ),
            OpenOrvaneException );
    }
} // namespace orvane
