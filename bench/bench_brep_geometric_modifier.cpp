#include <array>
#include <memory>
#include <vector>

#include <benchmark/benchmark.h>

#include <openorvane/mesh/triangulated_surface.hpp>
#include <openorvane/mesh/triangulated_surface_builder.hpp>
#include <openorvane/model/brep_builder.hpp>
#include <openorvane/model/model_component_mesh_edges.hpp>
#include <openorvane/model/model_component_mesh_polygons.hpp>

#include <common/modifier/brep_geometric_modifier.hpp>
#include <common/modifier/common_modifier_model_library.hpp>

#include <bench/bench_meshes.hpp>

namespace
{
    using namespace orvane;

    /// Adds a surface of an n x n grid of squares (two triangles each) in
    /// the plane z = height, with its own unique vertices.
    void add_grid_surface( BRep& model, index_t n, double height )
    {
        BRepBuilder builder{ model };
        const auto id = builder.add_surface();
        auto& mesh = dynamic_cast< TriangulatedSurface< 3 >& >(
            builder.modifiable_surface( id ).get_modifiable_mesh() );
        auto mesh_builder = TriangulatedSurfaceBuilder< 3 >::create( mesh );
        const auto nb_vertices = ( n + 1 ) * ( n + 1 );
        const auto first_unique = builder.create_unique_vertices( nb_vertices );
        const ComponentID component{ Surface< 3 >::component_type_static(), id };
        for( index_t j = 0; j <= n; j++ )
        {
            for( index_t i = 0; i <= n; i++ )
            {
                const auto vertex =
                    mesh_builder->create_point( Point< 3 >{ { double( i ), double( j ), height } } );
                builder.set_unique_vertex( { component, vertex }, first_unique + vertex );
            }
        }
        bench::create_grid_triangles( *mesh_builder, n, n );
        mesh_builder->compute_polygon_adjacencies();
    }

    /// A model of `nb_surfaces` grids in which every fourth triangle and
    /// every seventh inner edge were edited: clean then has work in every
    /// surface.
    struct EditedModel
    {
        EditedModel( index_t nb_surfaces, index_t n )
        {
            CommonModifierModelLibrary::initialize();
            for( index_t s = 0; s < nb_surfaces; s++ )
            {
                add_grid_surface( model, n, double( s ) );
            }
            builder = std::make_unique< BRepBuilder >( model );
            modifier = std::make_unique< BRepGeometricModifier >( model, *builder );
            for( const auto& surface : model.surfaces() )
            {
                const auto nb_polygons = surface.mesh().nb_polygons();
                for( index_t p = 0; p < nb_polygons; p += 4 )
                {
                    modifier->split_triangle( component_mesh_polygons( model, surface, p ),
                        surface.mesh().polygon_barycenter( p ) );
                }
            }
        }

        BRep model;
        std::unique_ptr< BRepBuilder > builder;
        std::unique_ptr< BRepGeometricModifier > modifier;
    };

    void clean_many_surfaces( benchmark::State& state )
    {
        const auto nb_surfaces = static_cast< index_t >( state.range( 0 ) );
        const auto n = static_cast< index_t >( state.range( 1 ) );
        for( auto _ : state )
        {
            state.PauseTiming();
            EditedModel edited{ nb_surfaces, n };
            state.ResumeTiming();
            benchmark::DoNotOptimize( edited.modifier->clean() );
            state.PauseTiming();
            edited.modifier.reset();
            state.ResumeTiming();
        }
        state.SetItemsProcessed(
            state.iterations() * int64_t( nb_surfaces ) * 2 * int64_t( n ) * int64_t( n ) );
    }
    BENCHMARK( clean_many_surfaces )
        ->Args( { 64, 40 } )
        ->Args( { 8, 120 } )
        ->Unit( benchmark::kMillisecond )
        ->UseRealTime();

    void split_surface_edges( benchmark::State& state )
    {
        const auto n = static_cast< index_t >( state.range( 0 ) );
        for( auto _ : state )
        {
            state.PauseTiming();
            EditedModel edited{ 1, n };
            const auto& surface = edited.model.surfaces()[0];
            std::vector< PolygonEdge > edges;
            auto& surface_modifier = edited.modifier->surface_modifier( surface );
            for( index_t p = 0; p < surface.mesh().nb_polygons(); p++ )
            {
                if( surface_modifier.is_polygon_active( p ) )
                {
                    edges.emplace_back( p, 0 );
                }
            }
            state.ResumeTiming();
            for( const auto& edge : edges )
            {
                if( !surface_modifier.is_polygon_active( edge.polygon_id ) )
                {
                    continue;
                }
                const auto segment = surface.mesh().segment( edge );
                edited.modifier->split_edge( surface, edge,
                    ( segment.vertices()[0] + segment.vertices()[1] ) / 2. );
            }
            state.PauseTiming();
            edited.modifier.reset();
            state.ResumeTiming();
        }
    }
    BENCHMARK( split_surface_edges )->Arg( 40 )->Unit( benchmark::kMillisecond );
} // namespace
