#include <common/cutter/patch_surface.hpp>

#include <algorithm>
#include <deque>
#include <iterator>

#include <openorvane/basic/attribute_manager.hpp>
#include <openorvane/basic/variable_attribute.hpp>
#include <openorvane/mesh/solid_mesh.hpp>

namespace orvane
{
    void FrontCycle::insert_after( index_t key, index_t value )
    {
        const auto found = std::find( vertices_.begin(), vertices_.end(), key );
        if( found != vertices_.end() )
        {
            vertices_.insert( std::next( found ), value );
        }
    }

    void FrontCycle::remove( index_t value )
    {
        vertices_.remove( value );
    }

    FrontCycle FrontCycle::split_at( index_t value )
    {
        const auto first = std::find( vertices_.begin(), vertices_.end(), value );
        if( first == vertices_.end() )
        {
            return {};
        }
        const auto second = std::find( std::next( first ), vertices_.end(), value );
        if( second == vertices_.end() )
        {
            return {};
        }
        std::list< index_t > piece;
        piece.splice( piece.end(), vertices_, first, second );
        return FrontCycle{ std::move( piece ) };
    }

    bool FrontCycle::contains( index_t value ) const
    {
        return std::find( vertices_.begin(), vertices_.end(), value )
               != vertices_.end();
    }

    PatchSurface::PatchSurface()
        : mesh_( TriangulatedSurface< 3 >::create() ),
          builder_( TriangulatedSurfaceBuilder< 3 >::create( *mesh_ ) ),
          patch_( mesh_->vertex_attribute_manager()
                      .find_or_create_attribute< VariableAttribute, SolidPatch >(
                          "patch", SolidPatch{ 0, NO_ID, NO_ID } ) )
    {
    }

    PatchSurface::~PatchSurface() = default;

    index_t PatchSurface::find_or_create_vertex( index_t solid_vertex )
    {
        const auto found = vertex_map_.find( solid_vertex );
        if( found != vertex_map_.end() )
        {
            return found->second;
        }
        const auto vertex = builder_->create_vertex();
        patch_->set_value( vertex, SolidPatch{ 0, NO_ID, solid_vertex } );
        vertex_map_.emplace( solid_vertex, vertex );
        return vertex;
    }

    index_t PatchSurface::new_record( const PatchEdgeKey& edge, index_t solid_edge )
    {
        const auto record = static_cast< index_t >( edge_records_.size() );
        front_edges_.emplace( edge, PatchFrontEdge{ solid_edge, record } );
        record_index_.emplace( edge, record );
        edge_records_.emplace_back();
        return record;
    }

    PatchEdgeKey PatchSurface::add_boundary_edge( const PatchBoundaryEdge& boundary,
        const std::array< index_t, 2 >& solid_vertices )
    {
        const auto v0 = find_or_create_vertex( solid_vertices[0] );
        const auto v1 = find_or_create_vertex( solid_vertices[1] );
        const PatchEdgeKey edge =
            boundary.forward ? PatchEdgeKey{ v0, v1 } : PatchEdgeKey{ v1, v0 };
        const auto reversed = record_index_.find( { edge.second, edge.first } );
        if( reversed != record_index_.end() )
        {
            edge_records_[reversed->second].inner =
                PolygonEdge{ PatchEdgeRecord::TAKEN, NO_LID };
            return edge;
        }
        new_record( edge, boundary.edge );
        solid_vertices_.insert( solid_vertices[0] );
        solid_vertices_.insert( solid_vertices[1] );
        return edge;
    }

    void PatchSurface::link( const PolygonEdge& edge, const PolygonEdge& other )
    {
        builder_->set_polygon_adjacent( edge, other.polygon_id );
        builder_->set_polygon_adjacent( other, edge.polygon_id );
    }

    void PatchSurface::add_front_edge( index_t a,
        index_t b,
        const PolygonEdge& polygon_edge,
        const SolidMesh< 3 >& solid )
    {
        const auto reversed = record_index_.find( { b, a } );
        if( reversed != record_index_.end() )
        {
            auto& record = edge_records_[reversed->second];
            record.inner = polygon_edge;
            if( record.outer.polygon_id != NO_ID )
            {
                link( record.outer, polygon_edge );
            }
            return;
        }
        const auto solid_edge = solid.edges().edge_from_vertices(
            { solid_vertex( a ), solid_vertex( b ) } );
        const auto record = new_record( { a, b }, solid_edge.value() );
        edge_records_[record].outer = polygon_edge;
    }

    bool PatchSurface::has_triangle( index_t a, index_t b, index_t c ) const
    {
        const auto apex_is_c = [this, c]( const PolygonEdge& edge ) {
            return mesh_->polygon_vertex( mesh_->previous_polygon_vertex( PolygonVertex{ edge.polygon_id, edge.edge_id } ) )
                   == c;
        };
        if( const auto forward = mesh_->polygon_edge_from_vertices( a, b ) )
        {
            if( apex_is_c( *forward ) )
            {
                return true;
            }
        }
        if( const auto backward = mesh_->polygon_edge_from_vertices( b, a ) )
        {
            if( apex_is_c( *backward ) )
            {
                return true;
            }
        }
        return false;
    }

    index_t PatchSurface::solid_vertex( index_t patch_vertex ) const
    {
        return patch_->value( patch_vertex ).vertex;
    }

    std::optional< index_t > PatchSurface::patch_vertex( index_t solid_vertex ) const
    {
        const auto found = vertex_map_.find( solid_vertex );
        if( found == vertex_map_.end() )
        {
            return std::nullopt;
        }
        return found->second;
    }

    namespace detail
    {
        std::vector< FrontCycle > split_into_simple_cycles( const FrontCycle& chain )
        {
            std::vector< FrontCycle > cycles;
            std::deque< FrontCycle > work{ chain };
            absl::flat_hash_set< index_t > met;
            while( !work.empty() )
            {
                auto current = std::move( work.back() );
                work.pop_back();
                met.clear();
                std::optional< index_t > repeated;
                for( const auto vertex : current.vertices() )
                {
                    if( !met.insert( vertex ).second )
                    {
                        repeated = vertex;
                        break;
                    }
                }
                if( repeated )
                {
                    auto piece = current.split_at( *repeated );
                    work.push_back( std::move( piece ) );
                    work.push_back( std::move( current ) );
                }
                else if( current.size() > 2 )
                {
                    cycles.push_back( std::move( current ) );
                }
            }
            return cycles;
        }
    } // namespace detail
} // namespace orvane
