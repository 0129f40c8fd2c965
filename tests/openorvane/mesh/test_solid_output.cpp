#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <openorvane/mesh/solid_output.hpp>
#include <openorvane/mesh/tetrahedral_solid.hpp>

#include <tests/support/solid_fixtures.hpp>

namespace
{
    using namespace orvane;

    std::vector< std::string > read_lines( const std::string& filename )
    {
        std::ifstream file{ filename };
        std::vector< std::string > lines;
        for( std::string line; std::getline( file, line ); )
        {
            lines.push_back( line );
        }
        return lines;
    }

    std::string temporary_path( const std::string& name )
    {
        return ( std::filesystem::path{ ::testing::TempDir() } / name ).string();
    }
} // namespace

TEST( SolidOutput, NativeFormat )
{
    const auto fan = orvane::test::tetrahedra_fan_around_edge( 2, false );
    TetrahedralSolidBuilder< 3 >::create( *fan )->set_name( "fan" );
    const auto filename = temporary_path( "fan.oo_tso3d" );
    EXPECT_EQ( save_tetrahedral_solid( *fan, filename ),
        std::vector< std::string >{ filename } );
    const auto lines = read_lines( filename );
    ASSERT_EQ( lines.size(), 5 + 5 + 1 + 2 + 1 + 2 );
    EXPECT_EQ( lines[0], "OpenOrvane TetrahedralSolid" );
    EXPECT_EQ( lines[1], "name fan" );
    EXPECT_EQ( lines[2], "id " + fan->id().string() );
    EXPECT_EQ( lines[3], "dimension 3" );
    EXPECT_EQ( lines[4], "vertices 5" );
    EXPECT_EQ( lines[6], "0 0 1" );
    // Coordinates keep every bit: cos( pi / 2 ) is not 0.
    std::istringstream ring{ lines[8] };
    double x, y, z;
    ring >> x >> y >> z;
    EXPECT_EQ( Point< 3 >( { x, y, z } ), fan->point( 3 ) );
    EXPECT_EQ( lines[10], "tetrahedra 2" );
    EXPECT_EQ( lines[11], "0 1 2 3" );
    EXPECT_EQ( lines[12], "0 1 3 4" );
    EXPECT_EQ( lines[13], "adjacencies" );
    EXPECT_EQ( lines[14], "-1 -1 1 -1" );
    EXPECT_EQ( lines[15], "-1 -1 -1 0" );
    std::filesystem::remove( filename );
}

TEST( SolidOutput, VtkFormat )
{
    const auto solid = orvane::test::single_tetrahedron();
    const auto filename = temporary_path( "single.vtk" );
    save_vtk( *solid, filename );
    const auto lines = read_lines( filename );
    const std::vector< std::string > expected{ "# vtk DataFile Version 2.0",
        "OpenOrvane mesh", "ASCII", "DATASET UNSTRUCTURED_GRID",
        "POINTS 4 double", "0 0 0", "1 0 0", "0 1 0", "0 0 1", "CELLS 1 5",
        "4 0 1 2 3", "CELL_TYPES 1", "10" };
    EXPECT_EQ( lines, expected );
    std::filesystem::remove( filename );
}

TEST( SolidOutput, VtkTitleStaysOneLine )
{
    // A name with line breaks must not split the header: the title is the
    // name on a single line, cut to 255 characters.
    const auto solid = orvane::test::single_tetrahedron();
    TetrahedralSolidBuilder< 3 >::create( *solid )->set_name(
        "upper\nmantle" + std::string( 300, 'x' ) );
    const auto filename = temporary_path( "named.vtk" );
    save_vtk( *solid, filename );
    const auto lines = read_lines( filename );
    ASSERT_GE( lines.size(), 4u );
    EXPECT_EQ( lines[1], ( "upper mantle" + std::string( 300, 'x' ) ).substr( 0, 255 ) );
    EXPECT_EQ( lines[2], "ASCII" );
    EXPECT_EQ( lines[3], "DATASET UNSTRUCTURED_GRID" );
    std::filesystem::remove( filename );
}

TEST( SolidOutput, SaveTetrahedraAndFailures )
{
    const auto cube = orvane::test::cube_of_five_tetrahedra();
    const auto current = std::filesystem::current_path();
    std::filesystem::current_path( ::testing::TempDir() );
    const std::vector< index_t > listed{ 2 };
    const auto written = detail::save_tetrahedra( *cube, listed, "" );
    ASSERT_EQ( written, std::vector< std::string >{ "tetrahedra.oo_tso3d" } );
    const auto lines = read_lines( written.front() );
    ASSERT_EQ( lines.size(), 5 + 4 + 1 + 1 + 1 + 1 );
    EXPECT_EQ( lines[4], "vertices 4" );
    // Tetrahedron 2 = (5, 1, 4, 7), its points only, renumbered.
    EXPECT_EQ( lines[5], "1 0 1" );
    EXPECT_EQ( lines[10], "0 1 2 3" );
    EXPECT_EQ( lines[12], "-1 -1 -1 -1" );
    std::filesystem::remove( written.front() );
    EXPECT_EQ( detail::save_tetrahedra( *cube, listed, "star" ),
        std::vector< std::string >{ "star.oo_tso3d" } );
    std::filesystem::remove( "star.oo_tso3d" );
    std::filesystem::current_path( current );

    const auto missing = temporary_path( "missing/dir/cube" );
    EXPECT_THROW( save_vtk( *cube, missing + ".vtk" ), OpenOrvaneException );
    EXPECT_THROW(
        save_tetrahedral_solid( *cube, missing + ".oo_tso3d" ), OpenOrvaneException );
}
