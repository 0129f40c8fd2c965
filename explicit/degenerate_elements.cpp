#include <explicit/degenerate_elements.hpp>

#include <algorithm>
#include <cmath>
#include <numeric>

#include <absl/container/flat_hash_map.h>
#include <absl/container/inlined_vector.h>

#include <openorvane/basic/async.hpp>
#include <openorvane/basic/attribute_manager.hpp>
#include <openorvane/basic/variable_attribute.hpp>
#include <openorvane/geometry/basic_objects.hpp>
#include <openorvane/geometry/distance.hpp>
#include <openorvane/geometry/predicates.hpp>
#include <openorvane/mesh/edged_curve.hpp>
#include <openorvane/mesh/triangulated_surface.hpp>
#include <openorvane/mesh/triangulated_surface_builder.hpp>

#include <explicit/zone_integration.hpp>

namespace
{
    using namespace orvane;
    using internal::ElementOriginList;
    using EdgeKey = std::pair< index_t, index_t >;

    EdgeKey edge_key( index_t v0, index_t v1 )
    {
        return v0 < v1 ? EdgeKey{ v0, v1 } : EdgeKey{ v1, v0 };
    }

    bool is_degenerate( const TriangulatedSurface< 3 >& surface, index_t polygon )
    {
        return surface.triangle( polygon ).minimum_height() <= GLOBAL_EPSILON;
    }

    /// One round of repairs over a surface whose dead polygons are flagged;
    /// the polygons a repair edits are not touched again in the round, so
    /// the round's tables stay true for every repair it makes.
    class RepairRound
    {
    public:
        RepairRound( TriangulatedSurface< 3 >& surface,
            TriangulatedSurfaceBuilder< 3 >& builder,
            VariableAttribute< ElementOriginList >* origins,
            std::vector< bool >& dead )
            : surface_( surface ),
              builder_( builder ),
              origins_( origins ),
              dead_( dead ),
              touched_( surface.nb_polygons(), false )
        {
            for( index_t polygon = 0; polygon < surface_.nb_polygons(); polygon++ )
            {
                if( dead_[polygon] )
                {
                    continue;
                }
                const auto vertices = surface_.polygon_vertices( polygon );
                for( const local_index_t e : { 0, 1, 2 } )
                {
                    edges_[edge_key( vertices[e], vertices[( e + 1 ) % 3] )].push_back(
                        polygon );
                    vertex_polygons_[vertices[e]].push_back( polygon );
                }
            }
        }

        /// Repairs the triangle when nothing of this round touched it or its
        /// neighbours; returns whether it did.
        bool repair( index_t polygon )
        {
            if( dead_[polygon] || touched_[polygon] || !is_degenerate( surface_, polygon ) )
            {
                return false;
            }
            const auto triangle = surface_.triangle( polygon );
            const auto vertices = surface_.polygon_vertices( polygon );
            std::array< double, 3 > lengths;
            for( const local_index_t e : { 0, 1, 2 } )
            {
                lengths[e] = point_point_distance(
                    triangle.vertices()[e], triangle.vertices()[( e + 1 ) % 3] );
            }
            const auto shortest = static_cast< local_index_t >(
                std::min_element( lengths.begin(), lengths.end() ) - lengths.begin() );
            if( lengths[shortest] <= GLOBAL_EPSILON )
            {
                return collapse( vertices[shortest], vertices[( shortest + 1 ) % 3] );
            }
            const auto longest = static_cast< local_index_t >(
                std::max_element( lengths.begin(), lengths.end() ) - lengths.begin() );
            return swap( polygon, longest );
        }

    private:
        /// Gives every polygon of one end the other end (the smaller index
        /// stays, for a result free of visiting order).
        bool collapse( index_t v0, index_t v1 )
        {
            const auto kept = std::min( v0, v1 );
            const auto removed = std::max( v0, v1 );
            const auto& around = vertex_polygons_[removed];
            for( const auto polygon : around )
            {
                if( touched_[polygon] && !dead_[polygon] )
                {
                    return false;
                }
            }
            for( const auto polygon : vertex_polygons_[kept] )
            {
                if( touched_[polygon] && !dead_[polygon] )
                {
                    return false;
                }
            }
            for( const auto polygon : around )
            {
                if( dead_[polygon] )
                {
                    continue;
                }
                touched_[polygon] = true;
                const auto vertices = surface_.polygon_vertices( polygon );
                bool repeated{ false };
                for( const local_index_t corner : { 0, 1, 2 } )
                {
                    repeated = repeated || vertices[corner] == kept;
                }
                if( repeated )
                {
                    dead_[polygon] = true;
                    continue;
                }
                for( const local_index_t corner : { 0, 1, 2 } )
                {
                    if( vertices[corner] == removed )
                    {
                        builder_.set_polygon_vertex( { polygon, corner }, kept );
                    }
                }
            }
            for( const auto polygon : vertex_polygons_[kept] )
            {
                touched_[polygon] = true;
            }
            return true;
        }

        /// Swaps the edge with the one polygon across it; a cap on the border
        /// is deleted.
        bool swap( index_t polygon, local_index_t edge )
        {
            const auto vertices = surface_.polygon_vertices( polygon );
            const auto a = vertices[edge];
            const auto b = vertices[( edge + 1 ) % 3];
            const auto c = vertices[( edge + 2 ) % 3];
            index_t across{ NO_ID };
            index_t nb_across{ 0 };
            for( const auto other : edges_.at( edge_key( a, b ) ) )
            {
                if( other != polygon && !dead_[other] )
                {
                    across = other;
                    nb_across++;
                }
            }
            if( nb_across == 0 )
            {
                dead_[polygon] = true;
                touched_[polygon] = true;
                return true;
            }
            if( nb_across > 1 || touched_[across] )
            {
                return false;
            }
            // The polygon across must run the edge the other way: b, a, d.
            const auto other = surface_.polygon_vertices( across );
            local_index_t at_b{ 3 };
            for( const local_index_t corner : { 0, 1, 2 } )
            {
                if( other[corner] == b && other[( corner + 1 ) % 3] == a )
                {
                    at_b = corner;
                }
            }
            if( at_b == 3 )
            {
                return false;
            }
            const local_index_t at_a = ( at_b + 1 ) % 3;
            const auto d = other[( at_b + 2 ) % 3];
            if( d == c || !keeps_orientation( across, a, b, c, d ) )
            {
                return false;
            }
            // (a, b, c) and (b, a, d) become (a, d, c) and (d, b, c).
            builder_.set_polygon_vertex(
                { polygon, static_cast< local_index_t >( ( edge + 1 ) % 3 ) }, d );
            builder_.set_polygon_vertex( { across, at_a }, c );
            touched_[polygon] = true;
            touched_[across] = true;
            if( origins_ )
            {
                auto merged = origins_->value( polygon );
                for( const auto origin : origins_->value( across ) )
                {
                    if( std::find( merged.begin(), merged.end(), origin ) == merged.end() )
                    {
                        merged.push_back( origin );
                    }
                }
                origins_->set_value( polygon, merged );
                origins_->set_value( across, std::move( merged ) );
            }
            return true;
        }

        /// Whether (a, d, c) and (d, b, c) face as the polygon across does,
        /// judged exactly on the coordinate plane that polygon shows best.
        bool keeps_orientation( index_t across, index_t a, index_t b, index_t c, index_t d ) const
        {
            const auto normal = surface_.triangle( across ).normal();
            if( !normal )
            {
                return false;
            }
            local_index_t axis{ 0 };
            for( const local_index_t i : { 1, 2 } )
            {
                if( std::abs( normal->value( i ) ) > std::abs( normal->value( axis ) ) )
                {
                    axis = i;
                }
            }
            const auto& pa = surface_.point( a );
            const auto& pb = surface_.point( b );
            const auto& pc = surface_.point( c );
            const auto& pd = surface_.point( d );
            const auto reference =
                triangle_area_sign( Triangle< 3 >{ pb, pa, pd }, axis );
            return reference != SIDE::zero
                   && triangle_area_sign( Triangle< 3 >{ pa, pd, pc }, axis ) == reference
                   && triangle_area_sign( Triangle< 3 >{ pd, pb, pc }, axis ) == reference;
        }

        TriangulatedSurface< 3 >& surface_;
        TriangulatedSurfaceBuilder< 3 >& builder_;
        VariableAttribute< ElementOriginList >* origins_;
        std::vector< bool >& dead_;
        std::vector< bool > touched_;
        absl::flat_hash_map< EdgeKey, absl::InlinedVector< index_t, 2 > > edges_;
        absl::flat_hash_map< index_t, absl::InlinedVector< index_t, 8 > > vertex_polygons_;
    };

    std::vector< index_t > degenerate_polygons(
        const TriangulatedSurface< 3 >& surface, const std::vector< bool >& dead )
    {
        std::vector< index_t > result;
        for( index_t polygon = 0; polygon < surface.nb_polygons(); polygon++ )
        {
            if( !dead[polygon] && is_degenerate( surface, polygon ) )
            {
                result.push_back( polygon );
            }
        }
        return result;
    }

    index_t find_root( std::vector< index_t >& parent, index_t vertex )
    {
        while( parent[vertex] != vertex )
        {
            parent[vertex] = parent[parent[vertex]];
            vertex = parent[vertex];
        }
        return vertex;
    }
} // namespace

namespace orvane
{
    namespace internal
    {
        index_t remove_degenerate_triangles( TriangulatedSurface< 3 >& surface )
        {
            auto builder = TriangulatedSurfaceBuilder< 3 >::create( surface );
            std::shared_ptr< VariableAttribute< ElementOriginList > > origins;
            if( surface.polygon_attribute_manager().attribute_exists(
                    ELEMENT_ORIGIN_ATTRIBUTE ) )
            {
                origins = surface.polygon_attribute_manager()
                              .find_or_create_attribute< VariableAttribute,
                                  ElementOriginList >(
                                  ELEMENT_ORIGIN_ATTRIBUTE, ElementOriginList{} );
            }
            std::vector< bool > dead( surface.nb_polygons(), false );
            for( index_t round = 0; round < MAX_DEGENERATE_REPAIR_ROUNDS; round++ )
            {
                const auto degenerate = degenerate_polygons( surface, dead );
                if( degenerate.empty() )
                {
                    break;
                }
                RepairRound repairs{ surface, *builder, origins.get(), dead };
                bool repaired{ false };
                for( const auto polygon : degenerate )
                {
                    repaired = repairs.repair( polygon ) || repaired;
                }
                if( !repaired )
                {
                    break;
                }
            }
            for( const auto polygon : degenerate_polygons( surface, dead ) )
            {
                dead[polygon] = true;
            }
            const auto nb_deleted =
                static_cast< index_t >( std::count( dead.begin(), dead.end(), true ) );
            builder.reset();
            delete_surface_polygons( surface, dead );
            return nb_deleted;
        }

        index_t remove_degenerate_edges( EdgedCurve< 3 >& curve )
        {
            std::vector< bool > to_delete( curve.nb_edges(), false );
            std::vector< index_t > parent( curve.nb_vertices() );
            std::iota( parent.begin(), parent.end(), 0 );
            index_t count{ 0 };
            for( index_t edge = 0; edge < curve.nb_edges(); edge++ )
            {
                if( curve.edge_length( edge ) <= GLOBAL_EPSILON )
                {
                    to_delete[edge] = true;
                    count++;
                    const auto r0 = find_root( parent, curve.edge_vertex( { edge, 0 } ) );
                    const auto r1 = find_root( parent, curve.edge_vertex( { edge, 1 } ) );
                    // The smaller index stays, whatever the edge order.
                    parent[std::max( r0, r1 )] = std::min( r0, r1 );
                }
            }
            auto builder = EdgedCurveBuilder< 3 >::create( curve );
            if( count > 0 )
            {
                for( index_t edge = 0; edge < curve.nb_edges(); edge++ )
                {
                    if( to_delete[edge] )
                    {
                        continue;
                    }
                    for( const local_index_t end : { 0, 1 } )
                    {
                        const auto vertex = curve.edge_vertex( { edge, end } );
                        const auto root = find_root( parent, vertex );
                        if( root != vertex )
                        {
                            builder->set_edge_vertex( { edge, end }, root );
                        }
                    }
                }
            }
            builder->delete_edges( to_delete );
            builder->delete_isolated_vertices();
            return count;
        }

        index_t remove_degenerate_elements( const ModelerMeshes& meshes )
        {
            std::vector< async::Task< index_t > > tasks;
            for( auto* surface : meshes.surfaces )
            {
                tasks.push_back( async::spawn(
                    [surface] { return remove_degenerate_triangles( *surface ); } ) );
            }
            for( auto* curve : meshes.curves )
            {
                tasks.push_back(
                    async::spawn( [curve] { return remove_degenerate_edges( *curve ); } ) );
            }
            async::wait_all( tasks );
            index_t total{ 0 };
            for( auto& task : tasks )
            {
                total += task.get();
            }
            return total;
        }
    } // namespace internal
} // namespace orvane
