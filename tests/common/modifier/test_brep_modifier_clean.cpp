#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <openorvane/basic/exception.hpp>
#include <openorvane/mesh/edged_curve.hpp>
#include <openorvane/mesh/mesh_factory.hpp>
#include <openorvane/model/brep_builder.hpp>
#include <openorvane/model/model_component_mesh_edges.hpp>

#include <common/modifier/brep_geometric_modifier.hpp>
#include <common/modifier/common_modifier_model_library.hpp>
#include <common/modifier/mesh_modifier_factory.hpp>

#include <tests/support/brep_checks.hpp>
#include <tests/support/brep_fixtures.hpp>
#include <tests/support/brep_modifier_checks.hpp>

namespace
{
    using namespace orvane;
    using test::is_conformal_brep;

    constexpr const char* FAILURE_MESSAGE = "[FailingCurveBuilder] injected failure";

    Point< 3 > point( double x, double y, double z )
    {
        return Point< 3 >{ { x, y, z } };
    }

    /// A curve implementation whose builder cannot delete isolated
    /// vertices: a component whose clean-up task fails.
    class FailingCurve : public OpenOrvaneEdgedCurve< 3 >
    {
    public:
        static MeshImpl impl_name_static()
        {
            return MeshImpl{ "TestFailingEdgedCurve3D" };
        }

        MeshImpl impl_name() const override
        {
            return impl_name_static();
        }
    };

    class FailingCurveBuilder : public OpenOrvaneEdgedCurveBuilder< 3 >
    {
    public:
        explicit FailingCurveBuilder( VertexSet& mesh ) : OpenOrvaneEdgedCurveBuilder< 3 >( mesh )
        {
        }

        OldToNew delete_isolated_vertices() override
        {
            throw OpenOrvaneException{ FAILURE_MESSAGE };
        }
    };

    void register_failing_curve()
    {
        static const bool registered = [] {
            const auto key = FailingCurve::impl_name_static();
            MeshFactory::register_creator< FailingCurve >( key );
            MeshFactory::register_type( EdgedCurve< 3 >::type_name_static(), key );
            MeshBuilderFactory::register_creator< FailingCurveBuilder >( key );
            MeshModifierFactory::register_modifier< EdgedCurveModifier< 3 >, EdgedCurve< 3 >,
                EdgedCurveBuilder< 3 > >( key );
            return true;
        }();
        (void) registered;
    }

    /// Collapses the middle line edge (p1, p2) of the strips at its middle.
    BRepCollapseEdgeInfo collapse_middle_edge(
        BRep& model, BRepGeometricModifier& modifier, const test::TwoStrips& strips )
    {
        const auto& line = model.line( strips.line );
        const auto& middle = line.mesh().point( 1 );
        const auto& next = line.mesh().point( 2 );
        const auto target = ( middle + next ) / 2.;
        return modifier.collapse_edge( component_mesh_edges( model, line, 1 ),
            edge_unique_vertices( model, line, 1 ), target );
    }

    class BRepModifierClean : public ::testing::Test
    {
    protected:
        static void SetUpTestSuite()
        {
            CommonModifierModelLibrary::initialize();
        }
    };

    TEST_F( BRepModifierClean, untouched_model_keeps_everything )
    {
        auto fixture = test::tetrahedron_model();
        BRepBuilder builder{ fixture.model };
        BRepGeometricModifier modifier{ fixture.model, builder };
        const auto info = modifier.clean();
        EXPECT_TRUE( info.line_vertices.empty() );
        EXPECT_TRUE( info.surface_vertices.empty() );
        EXPECT_TRUE( info.block_vertices.empty() );
        EXPECT_TRUE( info.line_edges.empty() );
        EXPECT_TRUE( info.surface_polygons.empty() );
        EXPECT_TRUE( info.block_polyhedra.empty() );
        EXPECT_EQ( info.unique_vertices, ( std::vector< index_t >{ 0, 1, 2, 3 } ) );
        EXPECT_TRUE( test::is_valid_brep( fixture.model ) );
    }

    TEST_F( BRepModifierClean, compacts_each_kind_and_reports_only_what_changed )
    {
        auto fixture = test::tetrahedron_model();
        auto& model = fixture.model;
        BRepBuilder builder{ model };
        // An isolated vertex in a surface that no edit touches.
        builder.surface_mesh_builder( fixture.surfaces[2] )->create_point( point( 5, 5, 5 ) );
        BRepGeometricModifier modifier{ model, builder };
        // A tetrahedron split touches the block only; a line split reaches a
        // line, two surfaces and the block.
        const auto inner =
            modifier.split_tetrahedron( model.block( fixture.block ), 0, point( 0.2, 0.2, 0.2 ) );
        ASSERT_NE( inner.new_unique_vertex, NO_ID );
        modifier.split_edge( model.line( fixture.lines[5] ), 0, point( 0, 0.5, 0.5 ) );
        const auto info = modifier.clean();
        EXPECT_EQ( info.line_edges.size(), 1 );
        EXPECT_TRUE( info.line_edges.contains( fixture.lines[5] ) );
        EXPECT_EQ( info.surface_polygons.size(), 2 );
        EXPECT_EQ( info.block_polyhedra.size(), 1 );
        EXPECT_FALSE( info.surface_polygons.contains( fixture.surfaces[2] ) );
        // Splits leave no vertex isolated: only the extra vertex goes.
        EXPECT_TRUE( info.line_vertices.empty() );
        ASSERT_EQ( info.surface_vertices.size(), 1 );
        EXPECT_EQ( info.surface_vertices.at( fixture.surfaces[2] ),
            ( std::vector< index_t >{ 0, 1, 2, NO_ID } ) );
        EXPECT_TRUE( info.block_vertices.empty() );
        EXPECT_EQ( info.unique_vertices.size(), model.nb_unique_vertices() );
        EXPECT_EQ( model.block( fixture.block ).mesh().nb_polyhedra(), 6 );
        EXPECT_TRUE( test::is_valid_brep( model ) );
    }

    TEST_F( BRepModifierClean, many_components_cleaned_in_parallel_batches )
    {
        BRep model;
        std::vector< test::TwoStrips > copies;
        for( index_t c = 0; c < 25; c++ )
        {
            copies.push_back( test::add_two_strips( model, point( 0, 0, 4. * c ) ) );
        }
        ASSERT_GE( model.nb_corners() + model.nb_lines() + model.nb_surfaces(), 50 );
        BRepBuilder builder{ model };
        BRepGeometricModifier modifier{ model, builder };
        std::vector< std::array< index_t, 2 > > collapsed;
        for( const auto& strips : copies )
        {
            const auto info = collapse_middle_edge( model, modifier, strips );
            collapsed.push_back( { info.old_unique_vertices[0], info.old_unique_vertices[1] } );
        }
        ASSERT_TRUE( is_conformal_brep( model ) );

        const auto info = modifier.clean();
        EXPECT_EQ( info.line_edges.size(), copies.size() );
        EXPECT_EQ( info.surface_polygons.size(), 2 * copies.size() );
        EXPECT_EQ( info.line_vertices.size(), copies.size() );
        EXPECT_EQ( info.surface_vertices.size(), 2 * copies.size() );
        for( const auto& ends : collapsed )
        {
            EXPECT_EQ( info.unique_vertices[ends[0]], NO_ID );
            EXPECT_EQ( info.unique_vertices[ends[1]], NO_ID );
        }
        for( const auto& strips : copies )
        {
            EXPECT_EQ( model.line( strips.line ).mesh().nb_vertices(), 3 );
            EXPECT_EQ( model.surface( strips.surface0 ).mesh().nb_vertices(), 7 );
        }
        EXPECT_TRUE( is_conformal_brep( model ) );
        // The strips' outer borders lie on no line.
        EXPECT_TRUE( test::is_valid_brep( model, test::open_surfaces() ) );
    }

    TEST_F( BRepModifierClean, failing_task_leaves_the_unique_vertex_table_consistent )
    {
        register_failing_curve();
        BRep model;
        BRepBuilder builder{ model };
        // First in the model's line order: a line whose isolated vertex
        // cannot be deleted.
        const auto failing = builder.add_line( FailingCurve::impl_name_static() );
        {
            auto mesh = builder.line_mesh_builder( failing );
            const auto first = builder.create_unique_vertices( 2 );
            mesh->create_point( point( 0, 5, 0 ) );
            mesh->create_point( point( 1, 5, 0 ) );
            mesh->create_point( point( 9, 9, 9 ) );
            mesh->create_edge( 0, 1 );
            const ComponentID id{ Line< 3 >::component_type_static(), failing };
            builder.set_unique_vertex( { id, 0 }, first );
            builder.set_unique_vertex( { id, 1 }, first + 1 );
        }
        std::vector< test::TwoStrips > copies;
        for( index_t c = 0; c < 3; c++ )
        {
            copies.push_back( test::add_two_strips( model, point( 0, 0, 4. * c ) ) );
        }
        BRepGeometricModifier modifier{ model, builder };
        for( const auto& strips : copies )
        {
            collapse_middle_edge( model, modifier, strips );
        }
        try
        {
            modifier.clean();
            FAIL() << "the injected failure was not reported";
        }
        catch( const OpenOrvaneException& error )
        {
            EXPECT_EQ( std::string{ error.what() }, FAILURE_MESSAGE );
        }
        // The lines after the failing one were compacted, and the table
        // follows them.
        for( const auto& strips : copies )
        {
            EXPECT_EQ( model.line( strips.line ).mesh().nb_vertices(), 3 );
        }
        EXPECT_EQ( model.line( failing ).mesh().nb_vertices(), 3 );
        EXPECT_TRUE( is_conformal_brep( model ) );
    }
} // namespace
