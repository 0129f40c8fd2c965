#include <optional>
#include <vector>

#include <benchmark/benchmark.h>

#include <openorvane/mesh/triangulated_surface_builder.hpp>
#include <openorvane/model/brep_builder.hpp>
#include <openorvane/model/model_component_mesh_edges.hpp>
#include <openorvane/model/model_library.hpp>

#include <bench/bench_meshes.hpp>

namespace
{
    using namespace orvane;

    /// Two n x n grid surfaces sharing their row y = 0 (one in z = 0, one in
    /// y = 0 going up in z), with every vertex linked to a unique vertex.
    struct GridModel
    {
        BRep model;
        uuid surfaces[2];
    };

    GridModel grid_model( index_t n )
    {
        OpenOrvaneModelLibrary::initialize();
        GridModel result;
        BRepBuilder builder{ result.model };
        const auto nb_points = ( n + 1 ) * ( n + 1 );
        builder.create_unique_vertices( 2 * nb_points - ( n + 1 ) );
        for( index_t s = 0; s < 2; s++ )
        {
            result.surfaces[s] = builder.add_surface();
            auto& mesh = dynamic_cast< TriangulatedSurface< 3 >& >(
                builder.modifiable_surface( result.surfaces[s] ).get_modifiable_mesh() );
            auto mesh_builder = TriangulatedSurfaceBuilder< 3 >::create( mesh );
            const ComponentID id{ Surface< 3 >::component_type_static(), result.surfaces[s] };
            for( index_t j = 0; j <= n; j++ )
            {
                for( index_t i = 0; i <= n; i++ )
                {
                    const auto x = static_cast< double >( i );
                    const auto h = static_cast< double >( j );
                    const auto v = mesh_builder->create_point(
                        s == 0 ? Point< 3 >{ { x, h, 0 } } : Point< 3 >{ { x, 0, h } } );
                    // Row 0 is shared; the rest of surface 1 follows surface 0.
                    const auto unique = ( s == 0 || j == 0 ) ? v : nb_points + v - ( n + 1 );
                    builder.set_unique_vertex( { id, v }, unique );
                }
            }
            bench::create_grid_triangles( *mesh_builder, n, n );
            mesh_builder->compute_polygon_adjacencies();
        }
        return result;
    }

    void link_unique_vertices( benchmark::State& state )
    {
        const auto n = static_cast< index_t >( state.range( 0 ) );
        for( auto _ : state )
        {
            auto grid = grid_model( n );
            benchmark::DoNotOptimize( grid.model.nb_unique_vertices() );
        }
        state.SetItemsProcessed(
            state.iterations() * 2 * static_cast< int64_t >( ( n + 1 ) * ( n + 1 ) ) );
    }
    BENCHMARK( link_unique_vertices )->Arg( 64 )->Arg( 256 )->Unit( benchmark::kMillisecond );

    void component_mesh_edges_of_every_edge( benchmark::State& state )
    {
        const auto n = static_cast< index_t >( state.range( 0 ) );
        const auto grid = grid_model( n );
        const auto& surface = grid.model.surface( grid.surfaces[0] );
        const auto nb_polygons = surface.mesh().nb_polygons();
        for( auto _ : state )
        {
            std::size_t listed{ 0 };
            for( index_t p = 0; p < nb_polygons; p++ )
            {
                for( local_index_t e = 0; e < 3; e++ )
                {
                    listed += component_mesh_edges( grid.model, surface, { p, e } ).surfaces.size();
                }
            }
            benchmark::DoNotOptimize( listed );
        }
        state.SetItemsProcessed( state.iterations() * 3 * nb_polygons );
    }
    BENCHMARK( component_mesh_edges_of_every_edge )
        ->Arg( 64 )
        ->Arg( 256 )
        ->Unit( benchmark::kMillisecond );

    void renumber_and_delete_isolated( benchmark::State& state )
    {
        const auto n = static_cast< index_t >( state.range( 0 ) );
        std::optional< GridModel > previous;
        for( auto _ : state )
        {
            state.PauseTiming();
            // The former model is destroyed outside the timed part.
            previous.reset();
            previous.emplace( grid_model( n ) );
            auto& grid = *previous;
            const auto nb_vertices = grid.model.surface( grid.surfaces[1] ).mesh().nb_vertices();
            // Drop every other vertex of surface 1.
            OldToNew old2new( nb_vertices, NO_ID );
            index_t next{ 0 };
            for( index_t v = 0; v < nb_vertices; v += 2 )
            {
                old2new[v] = next++;
            }
            BRepBuilder builder{ grid.model };
            state.ResumeTiming();
            builder.update_unique_vertices(
                { Surface< 3 >::component_type_static(), grid.surfaces[1] }, old2new );
            benchmark::DoNotOptimize( builder.delete_isolated_vertices() );
        }
    }
    BENCHMARK( renumber_and_delete_isolated )->Arg( 256 )->Unit( benchmark::kMillisecond );
} // namespace
