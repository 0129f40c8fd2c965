#include <algorithm>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <openorvane/basic/attribute_manager.hpp>
#include <openorvane/basic/exception.hpp>
#include <openorvane/basic/logger.hpp>
#include <openorvane/basic/variable_attribute.hpp>
#include <openorvane/mesh/edged_curve.hpp>
#include <openorvane/mesh/surface_mesh.hpp>
#include <openorvane/mesh/triangulated_surface.hpp>
#include <openorvane/model/brep_builder.hpp>

#include <conversion/conversion_model_library.hpp>
#include <conversion/model_builder_from_meshes.hpp>

#include <simplex/corner/corner_remesher.hpp>
#include <simplex/line/line_remesher.hpp>
#include <simplex/metric/constant_metric.hpp>
#include <simplex/model_splitter.hpp>
#include <simplex/remeshed_component.hpp>
#include <simplex/surface/surface_remesher.hpp>
#include <simplex/surface/surface_remeshing_driver.hpp>

#include <tests/simplex/remeshing_fixtures.hpp>
#include <tests/support/brep_checks.hpp>
#include <tests/support/brep_fixtures.hpp>
#include <tests/support/conformal_meshes.hpp>
#include <tests/support/surface_checks.hpp>

namespace
{
    using namespace orvane;
    using namespace orvane::test;
    using Remesher = internal::SurfaceRemesher< RemeshingData< BRep > >;

    /// A per-surface remesher that copies the input surface mesh, its fixed
    /// vertices through their output vertices; or that writes nothing, or
    /// throws, when told so.
    class CopyingRemesher final : public Remesher
    {
    public:
        CopyingRemesher( RemeshingData< BRep >& data,
            const Surface< 3 >& surface,
            bool write,
            std::string failure )
            : Remesher( data, surface ), write_( write ), failure_( std::move( failure ) )
        {
        }

    protected:
        void do_remesh() override
        {
            if( !failure_.empty() )
            {
                throw OpenOrvaneException{ failure_ };
            }
            if( !write_ )
            {
                return;
            }
            auto& state = impl();
            std::vector< index_t > map( state.mesh.nb_vertices() );
            for( index_t v = 0; v < state.mesh.nb_vertices(); v++ )
            {
                const auto found = state.fixed_vertex_outputs.find( v );
                map[v] = found != state.fixed_vertex_outputs.end()
                             ? found->second
                             : state.output_builder->create_point( state.mesh.point( v ) );
            }
            state.write_polygons( state.mesh, map );
        }

    private:
        bool write_;
        std::string failure_;
    };

    /// Makes copying remeshers; surface k of `empty` writes nothing, and
    /// surface k of `failing` throws "failure k".
    internal::SurfaceRemesherMaker copying_maker( const BRep& model,
        std::set< index_t > empty = {},
        std::set< index_t > failing = {} )
    {
        const auto ids = ids_of( model.surfaces() );
        return [ids, empty, failing]( RemeshingData< BRep >& data, const Surface< 3 >& surface ) {
            const auto k = static_cast< index_t >(
                std::find( ids.begin(), ids.end(), surface.id() ) - ids.begin() );
            return std::unique_ptr< Remesher >{ std::make_unique< CopyingRemesher >( data,
                surface, !empty.contains( k ),
                failing.contains( k ) ? "failure " + std::to_string( k ) : std::string{} ) };
        };
    }

    std::unique_ptr< RemeshingRun > remesh_to_lines( BRep&& model, const Metric< 3 >& metric )
    {
        auto run = std::make_unique< RemeshingRun >( std::move( model ), metric );
        internal::prepare_remeshing( *run->data );
        internal::remesh_corners( *run->data );
        internal::remesh_lines( *run->data );
        return run;
    }

    BRep built_box()
    {
        ConversionModelLibrary::initialize();
        const auto faces = cube_faces( 0, 1, 4 );
        std::vector< const SurfaceMesh< 3 >* > pointers;
        for( const auto& face : faces )
        {
            pointers.push_back( face.get() );
        }
        return std::get< 0 >( detail::build_brep_from_meshes( {}, {}, pointers ) );
    }

    std::string error_of( const std::function< void() >& job )
    {
        try
        {
            job();
        }
        catch( const std::exception& error )
        {
            return error.what();
        }
        return "no error";
    }

    const SurfaceMesh< 3 >& output_mesh_of(
        const RemeshingRun& run, const Surface< 3 >& input_surface )
    {
        return run.output
            .surface( internal::output_component_id( *run.data, input_surface.component_id() ) )
            .mesh();
    }

    /// One registration result on the output surface of surface0 of the
    /// two-surface model.
    struct RegistrationCase
    {
        const char* name;
        std::vector< index_t > unique_vertices;
    };
} // namespace

TEST( RemeshedComponent, registration_links_listed_vertices_and_creates_the_others )
{
    for( const auto& test_case :
        { RegistrationCase{ "all own", { NO_ID, NO_ID, NO_ID, NO_ID } },
            RegistrationCase{ "shared and own", { 0, NO_ID, 1, NO_ID } },
            RegistrationCase{ "empty", {} } } )
    {
        SCOPED_TRACE( test_case.name );
        auto fixture = two_surfaces_sharing_a_line();
        BRepBuilder builder{ fixture.model };
        const auto before = fixture.model.nb_unique_vertices();
        internal::RemeshedComponent result{ { Surface< 3 >::component_type_static(),
            fixture.surface0 } };
        result.unique_vertices = test_case.unique_vertices;
        internal::register_unique_vertices( builder, result );
        const auto nb_own = static_cast< index_t >(
            std::count( result.unique_vertices.begin(), result.unique_vertices.end(), NO_ID ) );
        ASSERT_EQ( fixture.model.nb_unique_vertices(), before + nb_own );
        auto next_new = before;
        for( index_t v = 0; v < result.unique_vertices.size(); v++ )
        {
            const auto expected =
                result.unique_vertices[v] == NO_ID ? next_new++ : result.unique_vertices[v];
            EXPECT_EQ( fixture.model.unique_vertex( { result.component, v } ), expected ) << v;
        }
    }
}

TEST( SurfaceRemesher, boundary_setup_ties_kept_line_vertices_and_internal_corners )
{
    // Surface0 of the two-surface model is bounded by the line (vertices
    // (0,0,0), (0.5,0,0), (1,0,0)); the line remeshing is replaced by hand:
    // its middle vertex is dropped.
    auto fixture = two_surfaces_sharing_a_line();
    const ConstantMetric< 3 > metric{ 1. };
    RemeshingRun run{ std::move( fixture.model ), metric };
    internal::prepare_remeshing( *run.data );
    auto& line_mesh = run.data->input_builder.modifiable_line( fixture.line ).get_modifiable_mesh();
    const auto remeshed = line_mesh.vertex_attribute_manager()
                              .find_or_create_attribute< VariableAttribute, index_t >(
                                  internal::REMESHED_LINE_ATTRIBUTE, NO_ID );
    remeshed->set_value( 0, 7 );
    remeshed->set_value( 2, 9 );
    const auto& surface = run.data->input.surface( fixture.surface0 );
    Remesher::Impl state{ *run.data, surface };
    state.add_boundary_vertices();
    // Surface0 holds the line as vertices 0, 1, 2: the middle one gets no
    // output vertex.
    ASSERT_EQ( state.fixed_macro_vertices, ( std::vector< index_t >{ 0, 2 } ) );
    EXPECT_EQ( state.fixed_vertex_outputs.at( 0 ), 0u );
    EXPECT_EQ( state.fixed_vertex_outputs.at( 2 ), 1u );
    EXPECT_EQ( state.output_mesh.nb_vertices(), 2u );
    EXPECT_EQ( state.output_mesh.point( 1 ), surface.mesh().point( 2 ) );
    EXPECT_EQ( state.result.unique_vertices, ( std::vector< index_t >{ 7, 9 } ) );
    // Padding covers output vertices made later.
    state.output_builder->create_point( Point< 3 >{ { 0.5, 1., 0. } } );
    EXPECT_EQ( state.release_result().unique_vertices,
        ( std::vector< index_t >{ 7, 9, NO_ID } ) );
}

TEST( SurfaceRemesher, a_line_without_its_remeshed_attribute_is_refused )
{
    auto fixture = two_surfaces_sharing_a_line();
    const ConstantMetric< 3 > metric{ 1. };
    RemeshingRun run{ std::move( fixture.model ), metric };
    internal::prepare_remeshing( *run.data );
    Remesher::Impl state{ *run.data, run.data->input.surface( fixture.surface0 ) };
    EXPECT_EQ( error_of( [&state] { state.add_boundary_vertices(); } ),
        "[AttributeManager::find_attribute] You have to create an attribute before using "
        "it. See find_or_create_attribute method and derived classes of ReadOnlyAttribute." );
}

TEST( SurfaceRemesher, duplicated_triangles_keep_one_same_oriented_copy )
{
    // Output vertices 0..4 with unique vertices 10..14. Vertices left
    // without triangle (always 4) are deleted and the list is renumbered.
    struct Case
    {
        const char* name;
        std::vector< std::array< index_t, 3 > > triangles;
        std::vector< std::array< index_t, 3 > > kept;
        std::vector< index_t > unique_vertices;
    };
    const std::vector< Case > cases{
        { "same orientation", { { 0, 1, 2 }, { 1, 2, 0 }, { 2, 1, 3 } },
            { { 0, 1, 2 }, { 2, 1, 3 } }, { 10, 11, 12, 13 } },
        { "opposite orientations", { { 0, 1, 2 }, { 1, 3, 2 }, { 1, 2, 3 } },
            { { 0, 1, 2 } }, { 10, 11, 12 } },
        { "three copies, both ways", { { 0, 1, 2 }, { 0, 2, 1 }, { 2, 0, 1 }, { 1, 3, 2 } },
            { { 0, 2, 1 } }, { 11, 12, 13 } },
    };
    for( const auto& test_case : cases )
    {
        SCOPED_TRACE( test_case.name );
        auto fixture = two_surfaces_sharing_a_line();
        const ConstantMetric< 3 > metric{ 1. };
        RemeshingRun run{ std::move( fixture.model ), metric };
        internal::prepare_remeshing( *run.data );
        Remesher::Impl state{ *run.data, run.data->input.surface( fixture.surface0 ) };
        for( index_t v = 0; v < 5; v++ )
        {
            state.output_builder->create_point(
                Point< 3 >{ { static_cast< double >( v % 2 ), v / 2., 0. } } );
            state.set_unique_vertex( v, 10 + v );
        }
        for( const auto& triangle : test_case.triangles )
        {
            state.output_builder->create_polygon( triangle );
        }
        state.remove_duplicated_triangles();
        const auto& output = state.output_mesh;
        ASSERT_EQ( output.nb_polygons(), test_case.kept.size() );
        for( index_t p = 0; p < output.nb_polygons(); p++ )
        {
            const auto& expected = test_case.kept[p];
            for( const local_index_t k : { 0, 1, 2 } )
            {
                EXPECT_EQ( output.polygon_vertex( { p, k } ), expected[k] ) << p;
            }
        }
        // Isolated vertices are gone and the unique-vertex list follows.
        EXPECT_EQ( output.nb_vertices(), test_case.unique_vertices.size() );
        EXPECT_EQ( state.result.unique_vertices, test_case.unique_vertices );
    }
}

TEST( SurfaceRemesher, written_polygons_keep_their_adjacencies_and_refuse_unmapped_vertices )
{
    auto fixture = two_surfaces_sharing_a_line();
    const ConstantMetric< 3 > metric{ 1. };
    RemeshingRun run{ std::move( fixture.model ), metric };
    internal::prepare_remeshing( *run.data );
    const auto& surface = run.data->input.surface( fixture.surface0 );
    Remesher::Impl state{ *run.data, surface };
    std::vector< index_t > map;
    for( index_t v = 0; v < surface.mesh().nb_vertices(); v++ )
    {
        state.output_builder->create_point( surface.mesh().point( v ) );
        map.push_back( surface.mesh().nb_vertices() - 1 - v );
    }
    state.write_polygons( surface.mesh(), map );
    ASSERT_EQ( state.output_mesh.nb_polygons(), 2u );
    EXPECT_EQ( state.output_mesh.polygon_vertex( { 0, 0 } ), map[0] );
    EXPECT_EQ( state.output_mesh.polygon_adjacent( { 0, 1 } ), std::optional< index_t >{ 1 } );
    EXPECT_EQ( state.output_mesh.polygon_adjacent( { 1, 2 } ), std::optional< index_t >{ 0 } );
    map.pop_back();
    EXPECT_EQ( error_of( [&] { state.write_polygons( surface.mesh(), map ); } ),
        "Span::at failed bounds check" );
}

TEST( SurfaceRemeshingDriver, a_model_without_surfaces_spawns_no_task )
{
    const ConstantMetric< 3 > metric{ 1. };
    WireModel wire{ { p3( 0, 0, 0 ), p3( 1, 0, 0 ) } };
    wire.add_line( { p3( 0, 0, 0 ), p3( 1, 0, 0 ) } );
    auto run = remesh_to_lines( std::move( wire.model ), metric );
    const auto before = run->output.nb_unique_vertices();
    LoggerCapture capture;
    index_t made{ 0 };
    internal::remesh_listed_surfaces( *run->data, {},
        [&made]( RemeshingData< BRep >&, const Surface< 3 >& ) {
            made++;
            return std::unique_ptr< Remesher >{};
        } );
    internal::remesh_surfaces( *run->data );
    EXPECT_EQ( made, 0u );
    EXPECT_EQ( run->output.nb_unique_vertices(), before );
    EXPECT_NE( progress_end( capture, "Remeshing Surfaces" ), "" );
}

TEST( SurfaceRemeshingDriver, copied_surfaces_share_the_unique_vertices_of_their_lines )
{
    // With a metric equal to the grid step, the line stage keeps every line
    // vertex, so copying each input surface must give a conformal model.
    const ConstantMetric< 3 > metric{ 0.25 };
    auto run = remesh_to_lines( built_box(), metric );
    const auto surfaces = ids_of( run->data->input.surfaces() );
    ASSERT_EQ( surfaces.size(), 6u );
    internal::remesh_listed_surfaces( *run->data, surfaces, copying_maker( run->data->input ) );
    for( const auto& surface : run->data->input.surfaces() )
    {
        EXPECT_EQ( output_mesh_of( *run, surface ).nb_polygons(), surface.mesh().nb_polygons() );
        EXPECT_TRUE( is_valid_triangulated_surface( dynamic_cast< const TriangulatedSurface< 3 >& >(
            output_mesh_of( *run, surface ) ) ) );
    }
    EXPECT_TRUE( is_valid_brep( run->output ) );
}

TEST( SurfaceRemeshingDriver, the_first_failure_in_surface_order_is_reported )
{
    struct Case
    {
        const char* name;
        std::set< index_t > empty;
        std::set< index_t > failing;
        std::string message;
        /// Surfaces before the first failure, registered.
        index_t nb_registered;
    };
    const std::vector< Case > cases{
        { "empty result", { 2 }, {}, "[SurfaceRemesher::remesh] Remeshed surface empty", 2 },
        { "two failures", {}, { 4, 1 }, "failure 1", 1 },
        { "empty before failure", { 3 }, { 5 },
            "[SurfaceRemesher::remesh] Remeshed surface empty", 3 },
    };
    for( const auto& test_case : cases )
    {
        SCOPED_TRACE( test_case.name );
        const ConstantMetric< 3 > metric{ 0.25 };
        auto run = remesh_to_lines( built_box(), metric );
        const auto surfaces = ids_of( run->data->input.surfaces() );
        EXPECT_EQ( error_of( [&] {
            internal::remesh_listed_surfaces( *run->data, surfaces,
                copying_maker( run->data->input, test_case.empty, test_case.failing ) );
        } ),
            test_case.message );
        for( index_t k = 0; k < surfaces.size(); k++ )
        {
            const auto& surface = run->data->input.surface( surfaces[k] );
            const auto& output = output_mesh_of( *run, surface );
            const ComponentID output_id{ Surface< 3 >::component_type_static(),
                internal::output_component_id( *run->data, surface.component_id() ) };
            bool linked{ output.nb_vertices() > 0 };
            for( index_t v = 0; v < output.nb_vertices(); v++ )
            {
                linked = linked && run->output.unique_vertex( { output_id, v } ) != NO_ID;
            }
            EXPECT_EQ( linked, k < test_case.nb_registered ) << "surface " << k;
        }
    }
}
