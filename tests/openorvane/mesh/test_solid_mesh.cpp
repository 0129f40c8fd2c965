#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <typeinfo>

#include <gtest/gtest.h>

#include <openorvane/basic/attribute_manager.hpp>
#include <openorvane/basic/variable_attribute.hpp>
#include <openorvane/mesh/openorvane_tetrahedral_solid.hpp>

#include <tests/support/solid_checks.hpp>
#include <tests/support/solid_fixtures.hpp>

namespace
{
    using namespace orvane;
    using orvane::test::is_valid_tetrahedral_solid;

    /// A solid that only renames the core implementation, as a derived
    /// library may do.
    class RenamedSolid : public OpenOrvaneTetrahedralSolid< 3 >
    {
    public:
        ~RenamedSolid() override = default;

        MeshImpl impl_name() const override
        {
            return MeshImpl{ "TestRenamedSolid" };
        }
    };

    /// A solid whose implementation has no builder.
    class UnbuildableSolid : public OpenOrvaneTetrahedralSolid< 3 >
    {
    public:
        MeshImpl impl_name() const override
        {
            return MeshImpl{ "TestUnbuildableSolid" };
        }
    };

    /// A solid whose implementation's builder is not a solid builder.
    class WronglyBuiltSolid : public OpenOrvaneTetrahedralSolid< 3 >
    {
    public:
        MeshImpl impl_name() const override
        {
            return MeshImpl{ "TestWronglyBuiltSolid" };
        }
    };

    class NotASolidBuilder : public VertexSetBuilder
    {
    public:
        explicit NotASolidBuilder( VertexSet& mesh ) : VertexSetBuilder( mesh ) {}
    };

    /// A mesh that is not a solid.
    class BareVertexSet : public VertexSet
    {
    public:
        MeshImpl impl_name() const override
        {
            return MeshImpl{ "TestBareVertexSet" };
        }
        MeshType type_name() const override
        {
            return MeshType{ "TestBareVertexSet" };
        }
        std::string_view native_extension() const override
        {
            return "bare";
        }
    };

    void register_test_solids()
    {
        orvane::test::initialize_solid_meshes();
        static const bool registered = [] {
            const MeshImpl renamed{ "TestRenamedSolid" };
            MeshFactory::register_creator< RenamedSolid >( renamed );
            MeshFactory::register_type(
                TetrahedralSolid< 3 >::type_name_static(), renamed );
            MeshBuilderFactory::register_creator<
                OpenOrvaneTetrahedralSolidBuilder< 3 > >( renamed );
            MeshBuilderFactory::register_creator< NotASolidBuilder >(
                MeshImpl{ "TestWronglyBuiltSolid" } );
            MeshBuilderFactory::register_creator<
                OpenOrvaneTetrahedralSolidBuilder< 3 > >(
                MeshImpl{ "TestBareVertexSet" } );
            return true;
        }();
        (void) registered;
    }

    std::string failure_message( const std::function< void() >& call )
    {
        try
        {
            call();
        }
        catch( const OpenOrvaneException& exception )
        {
            return exception.what();
        }
        return "no exception";
    }
} // namespace

TEST( SolidMesh, CreationThroughTheFactories )
{
    register_test_solids();
    const auto solid = SolidMesh< 3 >::create();
    EXPECT_EQ( solid->impl_name(), OpenOrvaneTetrahedralSolid< 3 >::impl_name_static() );
    EXPECT_NE( dynamic_cast< TetrahedralSolid< 3 >* >( solid.get() ), nullptr );
    const auto builder = SolidMeshBuilder< 3 >::create( *solid );
    EXPECT_NE( dynamic_cast< TetrahedralSolidBuilder< 3 >* >( builder.get() ),
        nullptr );
    // The default implementation of the type stays the core one.
    EXPECT_EQ( MeshFactory::default_impl( TetrahedralSolid< 3 >::type_name_static() ),
        OpenOrvaneTetrahedralSolid< 3 >::impl_name_static() );

    const auto renamed = TetrahedralSolid< 3 >::create( MeshImpl{ "TestRenamedSolid" } );
    EXPECT_NE( dynamic_cast< RenamedSolid* >( renamed.get() ), nullptr );
    EXPECT_EQ( renamed->native_extension(), "oo_tso3d" );
    EXPECT_EQ( renamed->type_name(), TetrahedralSolid< 3 >::type_name_static() );
}

TEST( SolidMesh, BuilderCreationFailures )
{
    register_test_solids();
    UnbuildableSolid unbuildable;
    EXPECT_EQ( failure_message( [&] {
        TetrahedralSolidBuilder< 3 >::create( unbuildable );
    } ),
        "[Factory::create] Factory does not contain the requested key" );
    EXPECT_EQ(
        failure_message( [&] { SolidMeshBuilder< 3 >::create( unbuildable ); } ),
        "[Factory::create] Factory does not contain the requested key" );

    WronglyBuiltSolid wrongly_built;
    EXPECT_EQ( failure_message( [&] {
        TetrahedralSolidBuilder< 3 >::create( wrongly_built );
    } ),
        "Cannot create mesh builder with key: TestWronglyBuiltSolid" );

    // A mesh that is not a solid: viewing it as one, or making a solid
    // builder for it, is a bad cast.
    BareVertexSet bare;
    VertexSet& as_vertex_set = bare;
    EXPECT_THROW( (void) dynamic_cast< TetrahedralSolid< 3 >& >( as_vertex_set ),
        std::bad_cast );
    EXPECT_THROW( VertexSetBuilder::create( bare ), std::bad_cast );

    EXPECT_EQ( failure_message( [] {
        TetrahedralSolid< 3 >::create( MeshImpl{ "TestNoSuchSolid" } );
    } ),
        "[Factory::create] Factory does not contain the requested key" );
}

TEST( SolidMesh, CloneCarriesEverythingAndTakesAnotherId )
{
    const auto solid = orvane::test::cube_of_five_tetrahedra();
    auto builder = TetrahedralSolidBuilder< 3 >::create( *solid );
    builder->set_name( "cube" );
    solid->enable_edges();
    solid->enable_facets();
    auto region = solid->polyhedron_attribute_manager()
                      .find_or_create_attribute< VariableAttribute, index_t >(
                          "region", 0 );
    region->set_value( 3, 7 );
    auto weight = solid->vertex_attribute_manager()
                      .find_or_create_attribute< VariableAttribute, double >(
                          "weight", 0. );
    weight->set_value( 6, 2.5 );
    auto edge_flag = solid->edges()
                         .edge_attribute_manager()
                         .find_or_create_attribute< VariableAttribute, bool >(
                             "edge_flag", false );
    edge_flag->set_value( 4, true );
    auto facet_flag = solid->facets()
                          .facet_attribute_manager()
                          .find_or_create_attribute< VariableAttribute, bool >(
                              "facet_flag", false );
    facet_flag->set_value( 5, true );

    const auto clone = solid->clone();
    EXPECT_EQ( clone->id(), solid->id() );
    EXPECT_EQ( clone->name(), "cube" );
    EXPECT_EQ( clone->impl_name(), solid->impl_name() );
    ASSERT_EQ( clone->nb_vertices(), solid->nb_vertices() );
    ASSERT_EQ( clone->nb_polyhedra(), solid->nb_polyhedra() );
    for( index_t v = 0; v < solid->nb_vertices(); v++ )
    {
        EXPECT_EQ( clone->point( v ), solid->point( v ) );
        EXPECT_EQ( clone->polyhedron_around_vertex( v ),
            solid->polyhedron_around_vertex( v ) );
    }
    for( index_t t = 0; t < solid->nb_polyhedra(); t++ )
    {
        EXPECT_EQ( clone->polyhedron_vertices( t ), solid->polyhedron_vertices( t ) );
        for( local_index_t f = 0; f < 4; f++ )
        {
            EXPECT_EQ( clone->polyhedron_adjacent( { t, f } ),
                solid->polyhedron_adjacent( { t, f } ) );
        }
    }
    ASSERT_TRUE( clone->are_edges_enabled() );
    ASSERT_TRUE( clone->are_facets_enabled() );
    EXPECT_EQ( clone->edges().nb_edges(), solid->edges().nb_edges() );
    EXPECT_EQ( clone->facets().nb_facets(), solid->facets().nb_facets() );
    EXPECT_EQ(
        clone->polyhedron_attribute_manager().find_attribute< index_t >( "region" )->value( 3 ),
        7 );
    EXPECT_EQ(
        clone->vertex_attribute_manager().find_attribute< double >( "weight" )->value( 6 ),
        2.5 );
    EXPECT_TRUE( clone->edges()
                     .edge_attribute_manager()
                     .find_attribute< bool >( "edge_flag" )
                     ->value( 4 ) );
    EXPECT_TRUE( clone->facets()
                     .facet_attribute_manager()
                     .find_attribute< bool >( "facet_flag" )
                     ->value( 5 ) );
    EXPECT_TRUE( is_valid_tetrahedral_solid( *clone ) );

    // The copies are independent of the original.
    region->set_value( 3, 8 );
    EXPECT_EQ(
        clone->polyhedron_attribute_manager().find_attribute< index_t >( "region" )->value( 3 ),
        7 );
    auto clone_builder = TetrahedralSolidBuilder< 3 >::create( *clone );
    const uuid other_id;
    clone_builder->set_id( other_id );
    EXPECT_EQ( clone->id(), other_id );
    EXPECT_NE( solid->id(), other_id );
    clone_builder->create_tetrahedron( { 0, 3, 5, 6 } );
    EXPECT_EQ( solid->nb_polyhedra(), 5 );

    // A derived implementation clones into its own class.
    register_test_solids();
    auto renamed =
        TetrahedralSolid< 3 >::create( MeshImpl{ "TestRenamedSolid" } );
    TetrahedralSolidBuilder< 3 >::create( *renamed )->copy( *solid );
    EXPECT_TRUE( is_valid_tetrahedral_solid( *renamed ) );
    const auto renamed_clone = renamed->clone();
    EXPECT_NE( dynamic_cast< RenamedSolid* >( renamed_clone.get() ), nullptr );
    EXPECT_EQ( renamed_clone->nb_polyhedra(), 5 );

    // Copying into a solid that is not empty replaces its contents.
    auto fan = orvane::test::tetrahedra_fan_around_edge( 7, true );
    fan->enable_edges();
    TetrahedralSolidBuilder< 3 >::create( *fan )->copy( *solid );
    EXPECT_EQ( fan->id(), solid->id() );
    EXPECT_EQ( fan->nb_vertices(), solid->nb_vertices() );
    EXPECT_EQ( fan->nb_polyhedra(), solid->nb_polyhedra() );
    EXPECT_EQ( fan->edges().nb_edges(), solid->edges().nb_edges() );
    EXPECT_EQ( fan->polyhedron_attribute_manager().nb_elements(), 5 );
    EXPECT_TRUE( is_valid_tetrahedral_solid( *fan ) );
    const auto plain = orvane::test::single_tetrahedron();
    TetrahedralSolidBuilder< 3 >::create( *fan )->copy( *plain );
    EXPECT_FALSE( fan->are_edges_enabled() );
    EXPECT_FALSE( fan->are_facets_enabled() );
    EXPECT_EQ( fan->nb_vertices(), 4 );
    EXPECT_TRUE( is_valid_tetrahedral_solid( *fan ) );
}

TEST( SolidMesh, MovedFromSolidIsValidAndEmpty )
{
    orvane::test::initialize_solid_meshes();
    auto source = orvane::test::cube_of_six_tetrahedra();
    auto& moved_from = dynamic_cast< OpenOrvaneTetrahedralSolid< 3 >& >( *source );
    moved_from.enable_facets();
    OpenOrvaneTetrahedralSolid< 3 > target;
    target = std::move( moved_from );
    EXPECT_EQ( target.nb_polyhedra(), 6 );
    EXPECT_EQ( target.nb_vertices(), 8 );
    EXPECT_TRUE( target.are_facets_enabled() );
    EXPECT_TRUE( is_valid_tetrahedral_solid( target ) );

    EXPECT_EQ( moved_from.nb_polyhedra(), 0 );
    EXPECT_EQ( moved_from.nb_vertices(), 0 );
    EXPECT_FALSE( moved_from.are_facets_enabled() );
    EXPECT_EQ( moved_from.polyhedron_attribute_manager().nb_elements(), 0 );
    // It can be built again.
    auto builder = TetrahedralSolidBuilder< 3 >::create( moved_from );
    for( index_t v = 0; v < 4; v++ )
    {
        builder->create_point( target.point( v == 3 ? 4 : v ) );
    }
    builder->create_tetrahedron( { 0, 1, 2, 3 } );
    EXPECT_TRUE( is_valid_tetrahedral_solid( moved_from ) );

    OpenOrvaneTetrahedralSolid< 3 > constructed{ std::move( target ) };
    EXPECT_EQ( constructed.nb_polyhedra(), 6 );
    EXPECT_EQ( target.nb_polyhedra(), 0 );
}

TEST( SolidMesh, TablesEnabledConcurrentlyAndKeptThroughEdits )
{
    const auto grid = orvane::test::grid_tetrahedral_solid( 4, 3, 3 );
    std::thread facets_thread{ [&grid] { grid->enable_facets(); } };
    grid->enable_edges();
    facets_thread.join();
    ASSERT_TRUE( grid->are_edges_enabled() );
    ASSERT_TRUE( grid->are_facets_enabled() );
    // Kuhn grid: edges along the axes, the face diagonals and the cell
    // diagonals; facets inside the cells and on the cell faces.
    const index_t nx = 4, ny = 3, nz = 3;
    const index_t nb_cells = nx * ny * nz;
    const index_t axis_edges = nx * ( ny + 1 ) * ( nz + 1 )
                               + ( nx + 1 ) * ny * ( nz + 1 )
                               + ( nx + 1 ) * ( ny + 1 ) * nz;
    const index_t faces = ( nx + 1 ) * ny * nz + nx * ( ny + 1 ) * nz
                          + nx * ny * ( nz + 1 );
    EXPECT_EQ( grid->edges().nb_edges(), axis_edges + faces + nb_cells );
    EXPECT_EQ( grid->facets().nb_facets(), 2 * faces + 6 * nb_cells );
    EXPECT_TRUE( is_valid_tetrahedral_solid( *grid ) );

    auto builder = TetrahedralSolidBuilder< 3 >::create( *grid );
    auto edge_values = grid->edges()
                           .edge_attribute_manager()
                           .find_or_create_attribute< VariableAttribute, index_t >(
                               "edge_value", NO_ID );
    const auto nb_edges = grid->edges().nb_edges();
    for( index_t e = 0; e < nb_edges; e++ )
    {
        edge_values->set_value( e, e );
    }
    // Delete the tetrahedra of the first cell, then the vertex (0, 0, 0)
    // left isolated: the tables keep every entry until asked.
    std::vector< bool > first_cell( grid->nb_polyhedra(), false );
    std::fill( first_cell.begin(), first_cell.begin() + 6, true );
    builder->delete_polyhedra( first_cell );
    EXPECT_EQ( grid->edges().nb_edges(), nb_edges );
    const auto old2new = builder->delete_isolated_vertices();
    ASSERT_EQ( old2new[0], NO_ID );
    EXPECT_EQ( grid->edges().nb_edges(), nb_edges );
    EXPECT_TRUE( is_valid_tetrahedral_solid( *grid ) );
    // Edges survive with their values under their renumbered vertices.
    const auto edge = grid->edges().edge_from_vertices( { old2new[1], old2new[2] } );
    ASSERT_TRUE( edge );
    EXPECT_EQ( edge_values->value( edge.value() ), edge.value() );
    // The orphan edges of the deleted vertex go with delete_isolated_edges,
    // as do the edges that no tetrahedron uses any more.
    const auto edges_old2new = builder->edges_builder().delete_isolated_edges();
    ASSERT_EQ( edges_old2new.size(), nb_edges );
    index_t nb_removed{ 0 };
    for( index_t e = 0; e < nb_edges; e++ )
    {
        if( edges_old2new[e] == NO_ID )
        {
            nb_removed++;
        }
        else
        {
            EXPECT_EQ( edge_values->value( edges_old2new[e] ), e );
        }
    }
    // The corner cell had 19 edges; the three at (0,0,0) along the axes,
    // its three face diagonals through (0,0,0) and its main diagonal are
    // used by no other cell.
    EXPECT_EQ( nb_removed, 7 );
    const auto nb_facets = grid->facets().nb_facets();
    const auto facets_old2new = builder->facets_builder().delete_isolated_facets();
    ASSERT_EQ( facets_old2new.size(), nb_facets );
    // 6 facets inside the cell and 6 on its three faces at (0,0,0).
    EXPECT_EQ( grid->facets().nb_facets(), nb_facets - 12 );
    EXPECT_TRUE( is_valid_tetrahedral_solid( *grid ) );
}

TEST( SolidMesh, RandomDeletionsKeepTheSolidValid )
{
    const auto grid = orvane::test::grid_tetrahedral_solid( 4, 4, 3 );
    grid->enable_edges();
    grid->enable_facets();
    auto builder = TetrahedralSolidBuilder< 3 >::create( *grid );
    auto original = grid->polyhedron_attribute_manager()
                        .find_or_create_attribute< VariableAttribute, index_t >(
                            "original", NO_ID );
    for( index_t t = 0; t < grid->nb_polyhedra(); t++ )
    {
        original->set_value( t, t );
    }
    const unsigned seed = 20261210;
    std::srand( seed );
    for( index_t round = 0; round < 5; round++ )
    {
        std::vector< bool > flags( grid->nb_polyhedra() );
        for( index_t t = 0; t < flags.size(); t++ )
        {
            flags[t] = std::rand() % 5 == 0;
        }
        std::vector< PolyhedronVertices > kept;
        for( index_t t = 0; t < flags.size(); t++ )
        {
            if( !flags[t] )
            {
                kept.push_back( grid->polyhedron_vertices( t ) );
            }
        }
        const auto old2new = builder->delete_polyhedra( flags );
        for( index_t t = 0; t < old2new.size(); t++ )
        {
            if( old2new[t] != NO_ID )
            {
                EXPECT_EQ( grid->polyhedron_vertices( old2new[t] ),
                    kept[old2new[t]] );
            }
        }
        builder->delete_isolated_vertices();
        builder->edges_builder().delete_isolated_edges();
        builder->facets_builder().delete_isolated_facets();
        // After deletions the stars may split, so fans are not compared.
        orvane::test::SolidCheckOptions options;
        options.check_vertex_fans = false;
        EXPECT_TRUE( is_valid_tetrahedral_solid( *grid, options ) )
            << "seed " << seed << " round " << round;
        builder->compute_polyhedron_adjacencies();
        EXPECT_TRUE( is_valid_tetrahedral_solid( *grid, options ) )
            << "seed " << seed << " round " << round;
    }
    for( index_t t = 1; t < grid->nb_polyhedra(); t++ )
    {
        EXPECT_LT( original->value( t - 1 ), original->value( t ) );
    }
}
