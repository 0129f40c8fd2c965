#include <conversion/brep_blocks_builder.hpp>

#include <algorithm>
#include <optional>

#include <core_support/sentinels.hpp>
#include <openorvane/basic/exception.hpp>
#include <openorvane/basic/logger.hpp>
#include <openorvane/geometry/mensuration.hpp>
#include <openorvane/geometry/ray_tracing.hpp>
#include <openorvane/mesh/mesh_factory.hpp>
#include <openorvane/mesh/surface_aabb.hpp>
#include <openorvane/mesh/tetrahedral_solid.hpp>
#include <openorvane/model/boundary_intersections.hpp>

namespace orvane
{
    namespace
    {
        bool contains( const std::vector< uuid >& list, const uuid& id )
        {
            return std::find( list.begin(), list.end(), id ) != list.end();
        }
    } // namespace

    void build_blocks( BRep& model )
    {
        if( model.nb_surfaces() == 0 || model.nb_blocks() != 0 )
        {
            Logger::log_warn(
                "[build_blocks] Cannot build BRep blocks without surface or with existing blocks" );
            return;
        }
        BRepBlocksBuilder{ model }.build_blocks();
    }

    BRepBlocksBuilder::BRepBlocksBuilder( BRep& model ) : model_( model ), builder_( model ) {}

    uuid& BRepBlocksBuilder::side_block( const SidedSurface& sided )
    {
        return sides_.at( sided.id )[sided.side];
    }

    void BRepBlocksBuilder::build_blocks()
    {
        for( const auto& surface : model_.surfaces() )
        {
            sides_.emplace( surface.id(), std::array< uuid, 2 >{ no_block_id, no_block_id } );
        }
        for( const auto& line : model_.lines() )
        {
            radial_orders_.emplace( line.id(), surface_radial_sort( model_, line ) );
        }
        const auto solid_impl = MeshFactory::default_impl( TetrahedralSolid< 3 >::type_name_static() );
        std::vector< uuid > blocks;
        for( const auto& surface : model_.surfaces() )
        {
            for( const local_index_t side : { 0, 1 } )
            {
                const SidedSurface seed{ surface.id(), side };
                if( side_block( seed ) != no_block_id )
                {
                    continue;
                }
                const auto block = builder_.add_block( solid_impl );
                blocks.push_back( block );
                flood( seed, block );
            }
        }
        std::vector< uuid > removed;
        for( const auto& block : blocks )
        {
            if( signed_volume( block ) <= 0. )
            {
                removed.push_back( block );
            }
        }
        for( const auto& block : removed )
        {
            builder_.remove_block( model_.block( block ) );
        }
        if( model_.nb_blocks() == 0 )
        {
            Logger::log_info( "[BRepBlocksBuilder::build_blocks] No Block were built" );
            return;
        }
        if( removed.size() > 1 )
        {
            place_removed_shells( removed );
        }
        add_relationships( removed );
        std::vector< uuid > without_boundary;
        for( const auto& block : model_.blocks() )
        {
            if( model_.nb_boundaries( block.id() ) == 0 )
            {
                without_boundary.push_back( block.id() );
            }
        }
        for( const auto& block : without_boundary )
        {
            builder_.remove_block( model_.block( block ) );
        }
        place_free_lines_and_corners();
    }

    void BRepBlocksBuilder::flood( const SidedSurface& seed, const uuid& block )
    {
        auto& block_sides = block_sides_[block];
        std::vector< SidedSurface > stack{ seed };
        while( !stack.empty() )
        {
            const auto sided = stack.back();
            stack.pop_back();
            auto& owner = side_block( sided );
            if( owner != no_block_id )
            {
                continue;
            }
            owner = block;
            block_sides.push_back( sided );
            const auto& surface = model_.surface( sided.id );
            const auto visit = [&]( const Line< 3 >& line ) {
                const auto& order = radial_orders_.at( line.id() );
                for( const auto position : order.find( sided ) )
                {
                    const auto& next = order.surfaces[order.next( position )];
                    if( side_block( next ) == no_block_id )
                    {
                        stack.push_back( next );
                    }
                }
            };
            for( const auto& line : model_.boundaries( surface ) )
            {
                visit( line );
            }
            for( const auto& line : model_.internal_lines( surface ) )
            {
                visit( line );
            }
        }
    }

    double BRepBlocksBuilder::signed_volume( const uuid& block ) const
    {
        const auto& sided_surfaces = block_sides_.at( block );
        const auto& reference_mesh = model_.surface( sided_surfaces.front().id ).mesh();
        if( reference_mesh.nb_vertices() == 0 )
        {
            return 0.;
        }
        const auto reference = reference_mesh.point( 0 );
        double volume{ 0. };
        for( const auto& sided : sided_surfaces )
        {
            const SidedSurface other{ sided.id, static_cast< local_index_t >( 1 - sided.side ) };
            if( std::find( sided_surfaces.begin(), sided_surfaces.end(), other )
                != sided_surfaces.end() )
            {
                continue;
            }
            const auto& mesh = model_.surface( sided.id ).mesh();
            double sum{ 0. };
            for( index_t polygon = 0; polygon < mesh.nb_polygons(); polygon++ )
            {
                const auto vertices = mesh.polygon_vertices( polygon );
                for( std::size_t j = 1; j + 1 < vertices.size(); j++ )
                {
                    sum += tetrahedron_signed_volume( { mesh.point( vertices[0] ),
                        mesh.point( vertices[j] ), mesh.point( vertices[j + 1] ), reference } );
                }
            }
            volume += sided.side == 0 ? sum : -sum;
        }
        return volume;
    }

    std::pair< uuid, Ray< 3 > > BRepBlocksBuilder::get_ray( const uuid& block ) const
    {
        for( const auto& sided : block_sides_.at( block ) )
        {
            const auto& mesh = model_.surface( sided.id ).mesh();
            for( index_t polygon = 0; polygon < mesh.nb_polygons(); polygon++ )
            {
                const auto normal = mesh.polygon_normal( polygon );
                if( !normal )
                {
                    continue;
                }
                const auto direction = sided.side == 0 ? *normal : *normal * -1.;
                return { sided.id, Ray< 3 >{ direction, mesh.polygon_barycenter( polygon ) } };
            }
        }
        throw OpenOrvaneException{
            "[BRepBlocksBuilder::get_ray] Unable to find a non degenerated ray"
        };
    }

    void BRepBlocksBuilder::place_removed_shells( const std::vector< uuid >& removed )
    {
        absl::flat_hash_map< uuid, AABBTree< 3 > > trees;
        for( const auto& surface : model_.surfaces() )
        {
            trees.emplace( surface.id(), create_aabb_tree( surface.mesh() ) );
        }
        for( const auto& shell : removed )
        {
            const auto [start, ray] = get_ray( shell );
            std::optional< double > closest;
            SidedSurface hit;
            // Surfaces in model order; on equal distances the later one wins.
            for( const auto& surface : model_.surfaces() )
            {
                if( surface.id() == start )
                {
                    continue;
                }
                const auto& mesh = surface.mesh();
                RayTracing3D tracer{ mesh, ray };
                trees.at( surface.id() ).visit_boxes_along_ray( ray, tracer );
                const auto found = tracer.closest_polygon();
                if( !found )
                {
                    continue;
                }
                const auto normal = mesh.polygon_normal( found->polygon );
                if( !normal || ( closest && found->distance > *closest ) )
                {
                    continue;
                }
                closest = found->distance;
                hit = { surface.id(),
                    static_cast< local_index_t >( ray.direction().dot( *normal ) > 0. ? 1 : 0 ) };
            }
            if( !closest )
            {
                continue;
            }
            const auto container = side_block( hit );
            if( contains( removed, container ) )
            {
                continue;
            }
            for( const auto& sided : block_sides_.at( shell ) )
            {
                side_block( sided ) = container;
            }
        }
    }

    void BRepBlocksBuilder::add_relationships( const std::vector< uuid >& removed )
    {
        for( const auto& surface : model_.surfaces() )
        {
            const auto& blocks = sides_.at( surface.id() );
            if( blocks[0] == blocks[1] )
            {
                if( !contains( removed, blocks[0] ) )
                {
                    builder_.add_surface_block_internal_relationship(
                        surface, model_.block( blocks[0] ) );
                }
                continue;
            }
            for( const auto& block : blocks )
            {
                if( !contains( removed, block ) )
                {
                    builder_.add_surface_block_boundary_relationship(
                        surface, model_.block( block ) );
                }
            }
        }
    }

    void BRepBlocksBuilder::place_free_lines_and_corners()
    {
        const auto first_block_around = [this]( const Point< 3 >& point ) -> const Block< 3 >* {
            for( const auto& block : model_.blocks() )
            {
                if( is_inside( point, block ) )
                {
                    return &block;
                }
            }
            return nullptr;
        };
        for( const auto& line : model_.lines() )
        {
            if( model_.nb_incidences( line.id() ) != 0 || model_.nb_embeddings( line.id() ) != 0
                || line.mesh().nb_edges() == 0 )
            {
                continue;
            }
            if( const auto* block = first_block_around( line.mesh().edge_barycenter( 0 ) ) )
            {
                builder_.add_line_block_internal_relationship( line, *block );
            }
        }
        for( const auto& corner : model_.corners() )
        {
            if( model_.nb_incidences( corner.id() ) != 0
                || model_.nb_embeddings( corner.id() ) != 0 || corner.mesh().nb_vertices() == 0 )
            {
                continue;
            }
            if( const auto* block = first_block_around( corner.mesh().point( 0 ) ) )
            {
                builder_.add_corner_block_internal_relationship( corner, *block );
            }
        }
    }

    bool BRepBlocksBuilder::is_inside( const Point< 3 >& point, const Block< 3 >& block ) const
    {
        for( const local_index_t axis : { 0, 1, 2 } )
        {
            Vector< 3 > direction;
            direction.set_value( axis, 1. );
            std::vector< LineBoundaryIntersection > hits;
            for( const auto& hit : find_intersections_with_boundaries(
                     InfiniteLine< 3 >{ direction, point }, model_, block ) )
            {
                if( hit.distance >= 0. )
                {
                    hits.push_back( hit );
                }
            }
            if( std::any_of( hits.begin(), hits.end(),
                    []( const LineBoundaryIntersection& hit ) { return hit.parallel; } ) )
            {
                continue;
            }
            // Equal hit points are already merged by the query.
            const auto nb_distinct = hits.size();
            return nb_distinct % 2 == 1;
        }
        return false;
    }
} // namespace orvane
