#include <simplex/surface/surface_remesher_3d.hpp>

#include <openorvane/basic/attribute_manager.hpp>
#include <openorvane/basic/exception.hpp>
#include <openorvane/basic/logger.hpp>
#include <openorvane/mesh/surface_mesh_builder.hpp>
#include <openorvane/mesh/triangulated_surface.hpp>
#include <openorvane/mesh/triangulated_surface_builder.hpp>

#include <numerics/linear_solver.hpp>
#include <numerics/lscm.hpp>

#include <simplex/metric/constant_metric.hpp>
#include <simplex/surface/frontal/frontal_remesher_2d.hpp>
#include <simplex/surface/frontal/frontal_remesher_3d.hpp>
#include <simplex/metric/metric.hpp>
#include <simplex/remeshing_data.hpp>

namespace orvane::internal
{
    SurfaceRemesher3D::~SurfaceRemesher3D() = default;

    void SurfaceRemesher3D::do_remesh()
    {
        auto& remesher = impl();
        const auto& metric = *remesher.data.metric;
        const auto result = run_frontal_remesher_3d(
            remesher.mesh, *remesher.builder, metric, remesher.fixed_macro_vertices );
        const auto map1 = transfer_frontal_result( remesher, result );
        for( const auto& piece : result.holes )
        {
            Logger::log_debug( "\"2D\" = 2D" );
            std::vector< index_t > fixed;
            for( index_t v = 0; v < piece.output_vertices.size(); v++ )
            {
                if( piece.output_vertices[v] != NO_ID )
                {
                    fixed.push_back( v );
                }
            }
            HolePieceRemesher hole{ metric, fixed, *piece.mesh, piece.collar_triangles,
                piece.element_chains };
            auto lifted = hole.remesh();
            const auto& lifted_mesh = *lifted.mesh;
            std::vector< index_t > map2( lifted_mesh.nb_vertices() );
            for( index_t v = 0; v < lifted_mesh.nb_vertices(); v++ )
            {
                const auto [piece_vertex, is_fixed] = lifted.created_vertices[v];
                map2[v] = is_fixed
                              ? map1.at( piece.output_vertices.at( piece_vertex ) )
                              : remesher.output_builder->create_point( lifted_mesh.point( v ) );
            }
            remesher.write_polygons( lifted_mesh, map2 );
            for( auto& leftover : lifted.holes )
            {
                Logger::log_debug( "\"FILL\" = FILL" );
                const auto map3 = remesher.fill_hole_piece( leftover, map2 );
                remesher.write_polygons( *leftover.mesh, map3 );
            }
        }
        if( !result.holes.empty() )
        {
            remesher.output_builder->compute_polygon_adjacencies();
        }
    }

    absl::InlinedVector< index_t, 64 > transfer_frontal_result(
        SurfaceRemesher< RemeshingData< BRep > >::Impl& remesher,
        const FrontalResult< 3 >& result )
    {
        const auto& mesh = *result.mesh;
        absl::InlinedVector< index_t, 64 > answer( mesh.nb_vertices() );
        for( index_t v = 0; v < mesh.nb_vertices(); v++ )
        {
            const auto [macro_vertex, fixed] = result.created_vertices.at( v );
            answer[v] = fixed ? remesher.fixed_vertex_outputs.at( macro_vertex )
                              : remesher.output_builder->create_point( mesh.point( v ) );
        }
        remesher.write_polygons( mesh, answer );
        return answer;
    }

    HolePieceRemesher::HolePieceRemesher( const Metric< 3 >& metric,
        absl::Span< const index_t > fixed,
        const TriangulatedSurface< 3 >& piece_mesh,
        absl::Span< const index_t > collar_triangles,
        std::vector< std::vector< index_t > > element_chains )
        : RemeshAlgo< 3 >( metric, fixed ),
          piece_mesh_( piece_mesh ),
          collar_triangles_( collar_triangles ),
          element_chains_( std::move( element_chains ) )
    {
    }

    HolePieceRemesher::~HolePieceRemesher() = default;

    const Point< 3 >& HolePieceRemesher::lifted_point( index_t vertex ) const
    {
        return positions_3d_->value( vertex );
    }

    std::unique_ptr< TriangulatedSurface< 2 > > HolePieceRemesher::parameterize_piece()
    {
        auto parameters = piece_mesh_.vertex_attribute_manager()
                              .find_or_create_attribute< VariableAttribute, Point< 2 > >(
                                  HOLE_PIECE_PLANE_POSITIONS, Point< 2 >{},
                                  AttributeProperties{ false, true } );
        {
            LSCM lscm{ piece_mesh_, parameters, LinearSolver{ 2 * piece_mesh_.nb_vertices() } };
            lscm.compute();
        }
        auto flattened = create_parameterized_surface( piece_mesh_, HOLE_PIECE_PLANE_POSITIONS );
        positions_3d_ = flattened->vertex_attribute_manager()
                            .find_or_create_attribute< VariableAttribute, Point< 3 > >(
                                FLATTENED_PIECE_POSITIONS, Point< 3 >{},
                                AttributeProperties{ false, true } );
        for( index_t v = 0; v < piece_mesh_.nb_vertices(); v++ )
        {
            positions_3d_->set_value( v, piece_mesh_.point( v ) );
        }
        return flattened;
    }

    void HolePieceRemesher::prepare_flattened_piece( TriangulatedSurface< 2 >& flattened )
    {
        auto builder = TriangulatedSurfaceBuilder< 2 >::create( flattened );
        if( !collar_triangles_.empty() )
        {
            std::vector< bool > collar( flattened.nb_polygons(), false );
            for( const auto polygon : collar_triangles_ )
            {
                collar.at( polygon ) = true;
            }
            builder->delete_polygons( collar );
        }
        for( const auto& chain : element_chains_ )
        {
            if( chain.size() < 3 )
            {
                continue;
            }
            const auto first = chain.front();
            const auto last = chain.back();
            const auto middle = builder->create_point(
                ( flattened.point( first ) + flattened.point( last ) ) * 0.5 );
            positions_3d_->set_value(
                middle, ( piece_mesh_.point( first ) + piece_mesh_.point( last ) ) * 0.5 );
            for( std::size_t k = 1; k < chain.size(); k++ )
            {
                builder->create_triangle( { middle, chain[k - 1], chain[k] } );
            }
        }
        builder->compute_polygon_adjacencies();
    }

    FrontalResult< 2 > HolePieceRemesher::remesh_piece_in_plane()
    {
        auto flattened = parameterize_piece();
        prepare_flattened_piece( *flattened );
        auto builder = TriangulatedSurfaceBuilder< 2 >::create( *flattened );
        const ConstantMetric< 2 > size{ output().metric->point_metric( piece_mesh_.point( 0 ) ) };
        return run_frontal_remesher_2d(
            *flattened, *builder, size, output().fixed_macro_vertices );
    }

    FrontalResult< 3 > HolePieceRemesher::remesh()
    {
        auto plane = remesh_piece_in_plane();
        auto& record = output();
        const auto& plane_mesh = *plane.mesh;
        for( index_t v = 0; v < plane_mesh.nb_vertices(); v++ )
        {
            record.builder->create_point(
                lifted_point( plane.created_vertices.at( v ).first ) );
        }
        copy_triangles( *record.builder, plane_mesh );
        FrontalResult< 3 > answer;
        answer.mesh = std::move( record.mesh );
        answer.created_vertices = std::move( plane.created_vertices );
        for( auto& hole : plane.holes )
        {
            FrontalHolePiece< 3 > lifted;
            lifted.mesh = TriangulatedSurface< 3 >::create();
            auto builder = TriangulatedSurfaceBuilder< 3 >::create( *lifted.mesh );
            for( index_t v = 0; v < hole.mesh->nb_vertices(); v++ )
            {
                builder->create_point( lifted_point( hole.macro_vertices.at( v ) ) );
            }
            for( index_t p = 0; p < hole.mesh->nb_polygons(); p++ )
            {
                builder->create_triangle( { hole.mesh->polygon_vertex( { p, 0 } ),
                    hole.mesh->polygon_vertex( { p, 1 } ),
                    hole.mesh->polygon_vertex( { p, 2 } ) } );
            }
            for( index_t p = 0; p < hole.mesh->nb_polygons(); p++ )
            {
                for( const local_index_t e : { 0, 1, 2 } )
                {
                    if( const auto adjacent = hole.mesh->polygon_adjacent( { p, e } ) )
                    {
                        builder->set_polygon_adjacent( { p, e }, *adjacent );
                    }
                }
            }
            lifted.output_vertices = std::move( hole.output_vertices );
            answer.holes.push_back( std::move( lifted ) );
        }
        return answer;
    }

    void copy_triangles(
        TriangulatedSurfaceBuilder< 3 >& target, const SurfaceMesh< 2 >& source )
    {
        for( index_t p = 0; p < source.nb_polygons(); p++ )
        {
            target.create_triangle( { source.polygon_vertex( { p, 0 } ),
                source.polygon_vertex( { p, 1 } ), source.polygon_vertex( { p, 2 } ) } );
        }
        for( index_t p = 0; p < source.nb_polygons(); p++ )
        {
            for( const local_index_t e : { 0, 1, 2 } )
            {
                if( const auto adjacent = source.polygon_adjacent( { p, e } ) )
                {
                    target.set_polygon_adjacent( { p, e }, *adjacent );
                }
            }
        }
    }
} // namespace orvane::internal

namespace orvane::internal
{
    FrontalResult< 3 > run_frontal_remesher_3d( const TriangulatedSurface< 3 >& macro,
        TriangulatedSurfaceBuilder< 3 >& builder,
        const Metric< 3 >& metric,
        absl::Span< const index_t > fixed_macro_vertices )
    {
        FrontalResult< 3 > result;
        FrontalRemesher3D remesher{ macro, builder, metric, fixed_macro_vertices };
        remesher.remesh( result );
        return result;
    }

    FrontalResult< 2 > run_frontal_remesher_2d( const TriangulatedSurface< 2 >& macro,
        TriangulatedSurfaceBuilder< 2 >& builder,
        const Metric< 2 >& metric,
        absl::Span< const index_t > fixed_macro_vertices )
    {
        FrontalResult< 2 > result;
        FrontalRemesher2D remesher{ macro, builder, metric, fixed_macro_vertices };
        remesher.remesh( result );
        return result;
    }
} // namespace orvane::internal
