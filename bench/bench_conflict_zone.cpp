#include <cmath>
#include <random>
#include <vector>

#include <benchmark/benchmark.h>
#include <oneapi/tbb/global_control.h>

#include <openorvane/basic/attribute_manager.hpp>
#include <openorvane/mesh/edges.hpp>
#include <openorvane/mesh/facets.hpp>
#include <openorvane/mesh/grid_conversion.hpp>
#include <openorvane/mesh/light_regular_grid.hpp>
#include <openorvane/mesh/tetrahedral_solid.hpp>
#include <openorvane/mesh/triangulated_surface.hpp>
#include <openorvane/mesh/triangulated_surface_builder.hpp>

#include <explicit/background_provenance.hpp>
#include <explicit/background_solid_splitter.hpp>
#include <explicit/explicit_brep_library.hpp>
#include <explicit/extracted_meshes.hpp>
#include <explicit/modeler_metric.hpp>
#include <explicit/surface_polygon_simplifier.hpp>

#include <bench/bench_process.hpp>

// Work of one conflict zone apart from the insertion.
// - Simplification of a patch pair extracted from a background solid: the
//   quad z = 0 over [0, 4]^2, two input triangles, laid on the facets of a
//   grid solid of 224 x 224 x 2 cells: 2 x 224 x 224 = 100,352 patch
//   triangles simplified back to the two input triangles (the extraction is
//   not timed).
// - Size field and split background solid of 20,402 points of two crossing
//   wavy surfaces (the points of one zone).
// Run with the argument 1 and 8: the pool is limited to that many threads
// (the simplification runs on the calling thread).

namespace
{
    using namespace orvane;

    constexpr index_t CELLS = 224;

    struct PlanarScene
    {
        std::unique_ptr< TetrahedralSolid< 3 > > solid;
        std::vector< std::unique_ptr< PointSet< 3 > > > point_sets;
        std::vector< std::unique_ptr< EdgedCurve< 3 > > > curves;
        std::vector< std::unique_ptr< TriangulatedSurface< 3 > > > surfaces;
    };

    template < typename Record >
    void add_unique( VariableAttribute< std::vector< Record > >& attribute,
        index_t element,
        const Record& record )
    {
        attribute.modify_value( element, [&record]( std::vector< Record >& list ) {
            if( std::find( list.begin(), list.end(), record ) == list.end() )
            {
                list.push_back( record );
            }
        } );
    }

    /// The solid with the provenance of the quad inserted, as an insertion
    /// leaves it.
    PlanarScene planar_scene()
    {
        ExplicitBRepLibrary::initialize();
        PlanarScene scene;
        const double length = 4. / CELLS;
        const LightRegularGrid< 3 > grid{ Point< 3 >{ { 0., 0., -length } },
            { CELLS, CELLS, 2 }, { length, length, length } };
        scene.solid = convert_grid_into_tetrahedral_solid( grid );
        auto& solid = *scene.solid;
        solid.enable_edges();
        solid.enable_facets();

        auto surface = TriangulatedSurface< 3 >::create();
        {
            auto builder = TriangulatedSurfaceBuilder< 3 >::create( *surface );
            builder->create_point( Point< 3 >{ { 0., 0., 0. } } );
            builder->create_point( Point< 3 >{ { 4., 0., 0. } } );
            builder->create_point( Point< 3 >{ { 4., 4., 0. } } );
            builder->create_point( Point< 3 >{ { 0., 4., 0. } } );
            builder->create_triangle( { 0, 1, 2 } );
            builder->create_triangle( { 0, 2, 3 } );
            builder->compute_polygon_adjacencies();
        }
        const auto id = surface->id();

        auto& vertices = solid.vertex_attribute_manager();
        auto init_vertex = vertices.find_or_create_attribute< VariableAttribute,
            std::vector< MeshVertex > >( "init_vertex_id", {} );
        vertices.find_or_create_attribute< VariableAttribute,
            std::vector< MeshEdge > >( "init_edge_id", {} );
        auto vertex_facet = vertices.find_or_create_attribute< VariableAttribute,
            std::vector< MeshPolygon > >( "init_facet_id", {} );
        solid.edges()
            .edge_attribute_manager()
            .find_or_create_attribute< VariableAttribute, std::vector< MeshEdge > >(
                "init_edge_id", {} );
        auto facet_facet =
            solid.facets()
                .facet_attribute_manager()
                .find_or_create_attribute< VariableAttribute,
                    std::vector< MeshPolygon > >( "init_facet_id", {} );
        const auto& facets = solid.facets();
        for( index_t f = 0; f < facets.nb_facets(); ++f )
        {
            const auto& facet = facets.facet_vertices( f );
            double x{ 0. };
            double y{ 0. };
            bool in_plane{ true };
            for( const auto vertex : facet )
            {
                const auto& point = solid.point( vertex );
                in_plane = in_plane && point.value( 2 ) == 0.;
                x += point.value( 0 );
                y += point.value( 1 );
            }
            if( !in_plane )
            {
                continue;
            }
            const MeshPolygon record{ id, x > y ? 0u : 1u };
            add_unique( *facet_facet, f, record );
            for( const auto vertex : facet )
            {
                add_unique( *vertex_facet, vertex, record );
            }
        }
        for( index_t v = 0; v < solid.nb_vertices(); ++v )
        {
            for( index_t input = 0; input < 4; ++input )
            {
                if( solid.point( v ) == surface->point( input ) )
                {
                    add_unique( *init_vertex, v, MeshVertex{ id, input } );
                }
            }
        }
        scene.surfaces.push_back( std::move( surface ) );
        return scene;
    }

    void BM_simplify_patches( benchmark::State& state )
    {
        const tbb::global_control threads{ tbb::global_control::max_allowed_parallelism,
            static_cast< std::size_t >( state.range( 0 ) ) };
        double before{ 0. };
        double after{ 0. };
        for( auto _ : state )
        {
            state.PauseTiming();
            auto scene = planar_scene();
            internal::MeshesExtracterfromBackgroundSolid extracter{ *scene.solid,
                scene.point_sets, scene.curves, scene.surfaces };
            extracter.extract_points();
            extracter.extract_curves();
            extracter.extract_surfaces();
            const auto count = [&extracter] {
                double triangles{ 0. };
                for( const auto& [id, patches] :
                    extracter.extracted_meshes().surfaces )
                {
                    for( const auto& [polygon, patch] : patches )
                    {
                        triangles += patch.mesh->nb_polygons();
                    }
                }
                return triangles;
            };
            before = count();
            bench::reset_peak_rss();
            state.ResumeTiming();
            internal::SurfacePolygonSimplifier::apply( extracter );
            state.PauseTiming();
            after = count();
            state.ResumeTiming();
        }
        state.counters["threads"] = static_cast< double >( state.range( 0 ) );
        state.counters["triangles_before"] = before;
        state.counters["triangles_after"] = after;
        state.counters["peak_rss_mb"] = bench::peak_rss_mib();
    }

    constexpr index_t WAVE_CELLS = 100;

    void BM_split_background_solid( benchmark::State& state )
    {
        const tbb::global_control threads{ tbb::global_control::max_allowed_parallelism,
            static_cast< std::size_t >( state.range( 0 ) ) };
        ExplicitBRepLibrary::initialize();
        double tetrahedra{ 0. };
        double points{ 0. };
        for( auto _ : state )
        {
            internal::ModelerMetric metric;
            for( index_t j = 0; j <= WAVE_CELLS; ++j )
            {
                for( index_t i = 0; i <= WAVE_CELLS; ++i )
                {
                    const auto u = 0.1 * i;
                    const auto v = 0.1 * j;
                    metric.add_point( Point< 3 >{
                        { u, v, 0.5 * std::sin( u ) * std::cos( v ) } } );
                    metric.add_point( Point< 3 >{
                        { 5. + 0.5 * std::sin( v ), u, v - 5. } } );
                }
            }
            points = static_cast< double >( metric.points().size() );
            const auto& field = metric.build();
            const auto solid = internal::create_split_background_solid(
                metric.grid()->grid_bounding_box(), field );
            tetrahedra = solid->nb_polyhedra();
            benchmark::DoNotOptimize( tetrahedra );
        }
        state.counters["threads"] = static_cast< double >( state.range( 0 ) );
        state.counters["points"] = points;
        state.counters["tetrahedra"] = tetrahedra;
        state.counters["peak_rss_mb"] = bench::peak_rss_mib();
    }
} // namespace

BENCHMARK( BM_simplify_patches )->Arg( 1 )->Arg( 8 )->Unit( benchmark::kMillisecond )->Iterations( 1 );
BENCHMARK( BM_split_background_solid )->Arg( 1 )->Arg( 8 )->Unit( benchmark::kMillisecond )->Iterations( 1 );
