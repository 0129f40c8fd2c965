#include <algorithm>
#include <limits>
#include <typeinfo>

#include <gtest/gtest.h>

#include <openorvane/basic/attribute_manager.hpp>
#include <openorvane/basic/exception.hpp>
#include <openorvane/basic/variable_attribute.hpp>
#include <openorvane/mesh/edged_curve.hpp>

#include <common/modifier/common_modifier_edged_curve_library.hpp>
#include <common/modifier/edged_curve_modifier.hpp>
#include <common/modifier/mesh_modifier_factory.hpp>

namespace
{
    using namespace orvane;

    template < index_t dimension >
    Point< dimension > point1( double x, double y = 0 )
    {
        Point< dimension > point;
        point.set_value( 0, x );
        point.set_value( 1, y );
        return point;
    }

    template < index_t dimension >
    struct Curve
    {
        std::unique_ptr< EdgedCurve< dimension > > mesh;
        std::unique_ptr< EdgedCurveBuilder< dimension > > builder;
        std::shared_ptr< VariableAttribute< double > > height;
    };

    /// The path x (0) - a (1) - b (2) - y (3) along the x axis, at x = 0, 1,
    /// 2, 3, with edges 0 (x, a), 1 (a, b), 2 (b, y) and an interpolable
    /// vertex attribute "height" equal to 10 times x.
    template < index_t dimension >
    Curve< dimension > make_path()
    {
        Curve< dimension > curve;
        curve.mesh = std::make_unique< OpenOrvaneEdgedCurve< dimension > >();
        curve.builder =
            std::make_unique< OpenOrvaneEdgedCurveBuilder< dimension > >(
                *curve.mesh );
        curve.height = curve.mesh->vertex_attribute_manager()
                           .template find_or_create_attribute< VariableAttribute,
                               double >( "height", 0., { false, true } );
        for( index_t vertex = 0; vertex < 4; vertex++ )
        {
            curve.builder->create_point( point1< dimension >( vertex ) );
            curve.height->set_value( vertex, 10. * vertex );
        }
        for( index_t vertex = 0; vertex < 3; vertex++ )
        {
            curve.builder->create_edge( vertex, vertex + 1 );
        }
        return curve;
    }

    /// Every active edge is listed by both its vertices, and every listed
    /// edge end names an active edge ending at that vertex.
    template < index_t dimension >
    ::testing::AssertionResult is_valid_curve( const EdgedCurve< dimension >& mesh,
        const EdgedCurveModifier< dimension >& modifier )
    {
        for( index_t edge = 0; edge < mesh.nb_edges(); edge++ )
        {
            if( !modifier.is_edge_active( edge ) )
            {
                continue;
            }
            for( const local_index_t end : { 0, 1 } )
            {
                const EdgeVertex edge_vertex{ edge, end };
                const auto& around =
                    mesh.edges_around_vertex( mesh.edge_vertex( edge_vertex ) );
                if( std::find( around.begin(), around.end(), edge_vertex )
                    == around.end() )
                {
                    return ::testing::AssertionFailure()
                           << "edge end " << edge_vertex.string()
                           << " is missing from its vertex";
                }
            }
        }
        for( index_t vertex = 0; vertex < mesh.nb_vertices(); vertex++ )
        {
            for( const auto& edge_vertex : mesh.edges_around_vertex( vertex ) )
            {
                if( !modifier.is_edge_active( edge_vertex.edge_id )
                    || mesh.edge_vertex( edge_vertex ) != vertex )
                {
                    return ::testing::AssertionFailure()
                           << "vertex " << vertex << " lists "
                           << edge_vertex.string();
                }
            }
        }
        return ::testing::AssertionSuccess();
    }

    template < typename T >
    class CurveModifier : public ::testing::Test
    {
    public:
        static constexpr index_t dimension = T::value;
    };

    using Dimensions = ::testing::Types< std::integral_constant< index_t, 2 >,
        std::integral_constant< index_t, 3 > >;
    TYPED_TEST_SUITE( CurveModifier, Dimensions );

    TYPED_TEST( CurveModifier, split_middle_edge )
    {
        constexpr auto dimension = TestFixture::dimension;
        auto curve = make_path< dimension >();
        EdgedCurveModifier< dimension > modifier{ *curve.mesh, *curve.builder };
        const auto vertex = modifier.split_edge( 1, point1< dimension >( 1.25 ) );
        ASSERT_TRUE( is_valid_curve( *curve.mesh, modifier ) );
        EXPECT_EQ( vertex, 4 );
        EXPECT_FALSE( modifier.is_edge_active( 1 ) );
        EXPECT_EQ( curve.mesh->edge_vertices( 3 ), ( EdgeVertices{ 1, 4 } ) );
        EXPECT_EQ( curve.mesh->edge_vertices( 4 ), ( EdgeVertices{ 4, 2 } ) );
        const auto& around_a = curve.mesh->edges_around_vertex( 1 );
        EXPECT_EQ( around_a.size(), 2 );
        EXPECT_NE( std::find( around_a.begin(), around_a.end(), EdgeVertex( 3, 0 ) ),
            around_a.end() );
        EXPECT_DOUBLE_EQ( curve.height->value( vertex ), 12.5 );

        // Splitting at an end's own point gives that end's values.
        const auto at_b = modifier.split_edge( 4, curve.mesh->point( 2 ) );
        EXPECT_DOUBLE_EQ( curve.height->value( at_b ), 20. );
        EXPECT_TRUE( is_valid_curve( *curve.mesh, modifier ) );
    }

    TYPED_TEST( CurveModifier, collapse_middle_edge )
    {
        constexpr auto dimension = TestFixture::dimension;
        auto curve = make_path< dimension >();
        EdgedCurveModifier< dimension > modifier{ *curve.mesh, *curve.builder };
        const auto info = modifier.collapse_edge( 1, point1< dimension >( 1.5 ) );
        ASSERT_TRUE( is_valid_curve( *curve.mesh, modifier ) );
        const auto n = info.new_vertex;
        EXPECT_EQ( n, 4 );
        EXPECT_EQ( info.merged_vertices, ( absl::InlinedVector< index_t, 4 >{ 1, 2 } ) );
        EXPECT_EQ( info.collapsed_edge, 1 );
        EXPECT_FALSE( modifier.is_edge_active( 1 ) );
        EXPECT_EQ( curve.mesh->edge_vertices( 0 ), ( EdgeVertices{ 0, n } ) );
        EXPECT_EQ( curve.mesh->edge_vertices( 2 ), ( EdgeVertices{ n, 3 } ) );
        EXPECT_TRUE( curve.mesh->is_vertex_isolated( 1 ) );
        EXPECT_TRUE( curve.mesh->is_vertex_isolated( 2 ) );
        EXPECT_EQ( curve.mesh->edges_around_vertex( n ).size(), 2 );
        EXPECT_EQ( modifier.updated_vertex( 1 ), n );
        EXPECT_EQ( modifier.updated_vertex( 2 ), n );
        EXPECT_DOUBLE_EQ( curve.height->value( n ), 15. );

        // Collapsing an end edge leaves the new vertex with one edge; the
        // earlier merge resolves through the chain.
        const auto end = modifier.collapse_edge( 2, point1< dimension >( 3 ) );
        ASSERT_TRUE( is_valid_curve( *curve.mesh, modifier ) );
        EXPECT_EQ( curve.mesh->edges_around_vertex( end.new_vertex ).size(), 1 );
        EXPECT_EQ( modifier.updated_vertex( 1 ), end.new_vertex );
    }

    TYPED_TEST( CurveModifier, move_vertex )
    {
        constexpr auto dimension = TestFixture::dimension;
        auto curve = make_path< dimension >();
        const auto isolated = curve.builder->create_point( point1< dimension >( 9 ) );
        curve.height->set_value( isolated, 4. );
        EdgedCurveModifier< dimension > modifier{ *curve.mesh, *curve.builder };
        modifier.move_vertex( isolated, point1< dimension >( 8 ) );
        EXPECT_EQ( curve.mesh->point( isolated ), point1< dimension >( 8 ) );
        EXPECT_DOUBLE_EQ( curve.height->value( isolated ), 4. );

        // Vertex a (1) has edge 0 (x, a) first, then edge 1 (a, b). The
        // target lies within 1e-6 of edge 0 but on edge 1: edge 0 is taken,
        // and the height extrapolates along it, not along edge 1.
        curve.height->set_value( 2, 100. );
        const auto target = point1< dimension >( 1 + 5e-7 );
        modifier.move_vertex( 1, target );
        EXPECT_EQ( curve.mesh->point( 1 ), target );
        EXPECT_NEAR( curve.height->value( 1 ), 10. * ( 1 + 5e-7 ), 1e-9 );
    }

    TYPED_TEST( CurveModifier, delete_inactive_edges_after_split )
    {
        constexpr auto dimension = TestFixture::dimension;
        auto curve = make_path< dimension >();
        EdgedCurveModifier< dimension > modifier{ *curve.mesh, *curve.builder };
        modifier.split_edge( 1, point1< dimension >( 1.5 ) );
        const auto old2new = modifier.delete_inactive_edges();
        ASSERT_EQ( old2new.size(), 5 );
        EXPECT_EQ( old2new[1], NO_ID );
        for( const index_t kept : { 0, 2, 3, 4 } )
        {
            EXPECT_NE( old2new[kept], NO_ID ) << kept;
        }
        EXPECT_EQ( curve.mesh->nb_edges(), 4 );
        EXPECT_EQ( curve.mesh->nb_vertices(), 5 );
        EXPECT_TRUE( is_valid_curve( *curve.mesh, modifier ) );
    }

    TYPED_TEST( CurveModifier, flags_live_with_the_modifier )
    {
        constexpr auto dimension = TestFixture::dimension;
        auto curve = make_path< dimension >();
        const auto& manager = curve.mesh->edge_attribute_manager();
        {
            EdgedCurveModifier< dimension > modifier{ *curve.mesh, *curve.builder };
            modifier.split_edge( 0, point1< dimension >( 0.5 ) );
            EXPECT_TRUE( manager.attribute_exists( "orvane_active" ) );
        }
        EXPECT_FALSE( manager.attribute_exists( "orvane_active" ) );
        EdgedCurveModifier< dimension > modifier{ *curve.mesh, *curve.builder };
        for( index_t edge = 0; edge < curve.mesh->nb_edges(); edge++ )
        {
            EXPECT_TRUE( modifier.is_edge_active( edge ) );
        }
    }

    TEST( CurveModifierDetail, edge_vertex_at_point )
    {
        auto curve = make_path< 3 >();
        EXPECT_EQ( detail::edge_vertex_at_point(
                       *curve.mesh, 1, Point< 3 >{ { 1, 0.9e-6, 0 } } ),
            0 );
        EXPECT_EQ( detail::edge_vertex_at_point(
                       *curve.mesh, 1, Point< 3 >{ { 2, 0, 0 } } ),
            1 );
        EXPECT_EQ( detail::edge_vertex_at_point(
                       *curve.mesh, 1, Point< 3 >{ { 1.5, 0, 0 } } ),
            std::nullopt );
        // A degenerate edge answers its first end.
        const auto twin = curve.builder->create_point( Point< 3 >{ { 1, 0, 0 } } );
        const auto edge = curve.builder->create_edge( 1, twin );
        EXPECT_EQ( detail::edge_vertex_at_point(
                       *curve.mesh, edge, Point< 3 >{ { 1, 0, 0 } } ),
            0 );
    }

    TEST( CurveModifierFactory, creates_modifiers_by_implementation_name )
    {
        CommonModifierEdgedCurveLibrary::initialize();
        auto curve3 = make_path< 3 >();
        auto modifier3 = MeshModifierFactory::create< EdgedCurveModifier< 3 > >(
            *curve3.mesh, *curve3.builder );
        ASSERT_TRUE( modifier3 );
        auto curve2 = make_path< 2 >();
        auto modifier2 = MeshModifierFactory::create< EdgedCurveModifier< 2 > >(
            *curve2.mesh, *curve2.builder );
        ASSERT_TRUE( modifier2 );
        auto other = make_path< 2 >();
        EXPECT_THROW(
            static_cast< void >( MeshModifierFactory::create(
                MeshModifierFactory::key( "OpenOrvaneEdgedCurve", 3 ), *other.mesh,
                *other.builder ) ),
            std::bad_cast );
    }

    TEST( EdgedCurveModifierInput, edits_on_dead_or_missing_edges_and_nan_moves_throw )
    {
        auto curve = make_path< 3 >();
        EdgedCurveModifier< 3 > modifier{ *curve.mesh, *curve.builder };
        // Edge 1 (a, b) collapses: edge 1 is dead afterwards.
        static_cast< void >( modifier.collapse_edge( 1, point1< 3 >( 1.5 ) ) );
        ASSERT_FALSE( modifier.is_edge_active( 1 ) );
        const auto nb_vertices = curve.mesh->nb_vertices();
        const auto nb_edges = curve.mesh->nb_edges();
        const auto nan = point1< 3 >( std::numeric_limits< double >::quiet_NaN() );
        EXPECT_THROW( modifier.split_edge( 1, point1< 3 >( 1.5 ) ), OpenOrvaneException );
        EXPECT_THROW( modifier.collapse_edge( 1, point1< 3 >( 1.5 ) ), OpenOrvaneException );
        EXPECT_THROW( modifier.split_edge( nb_edges, point1< 3 >( 1 ) ), OpenOrvaneException );
        EXPECT_THROW( modifier.collapse_edge( NO_ID, point1< 3 >( 1 ) ), OpenOrvaneException );
        EXPECT_THROW( modifier.split_edge( 0, nan ), OpenOrvaneException );
        EXPECT_THROW( modifier.collapse_edge( 2, nan ), OpenOrvaneException );
        EXPECT_THROW( modifier.move_vertex( 0, nan ), OpenOrvaneException );
        EXPECT_THROW( modifier.move_vertex( nb_vertices, point1< 3 >( 1 ) ), OpenOrvaneException );
        EXPECT_EQ( curve.mesh->nb_vertices(), nb_vertices );
        EXPECT_EQ( curve.mesh->nb_edges(), nb_edges );
        EXPECT_EQ( curve.mesh->point( 0 ), point1< 3 >( 0 ) );
        EXPECT_TRUE( is_valid_curve( *curve.mesh, modifier ) );
    }
} // namespace
