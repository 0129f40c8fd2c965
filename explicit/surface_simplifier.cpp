#include <explicit/surface_simplifier.hpp>

#include <openorvane/basic/attribute_manager.hpp>
#include <openorvane/mesh/edges.hpp>
#include <openorvane/mesh/polygon_degeneracy.hpp>

#include <explicit/background_provenance.hpp>

namespace orvane
{
    namespace internal
    {
        SurfaceSimplifier::SurfaceSimplifier( const BackgroundProvenance& provenance,
            ExtractedSurface& surface,
            TriangulatedSurfaceModifier< 3 >& modifier )
            : provenance_( provenance ),
              surface_( surface ),
              mesh_( *surface.mesh ),
              modifier_( modifier )
        {
        }

        index_t SurfaceSimplifier::background_vertex( index_t vertex ) const
        {
            return surface_.vertex_origin->value( vertex );
        }

        index_t SurfaceSimplifier::patch_edge(
            const std::array< index_t, 2 >& vertices ) const
        {
            return mesh_.edges()
                .edge_from_vertices( { vertices[0], vertices[1] } )
                .value();
        }

        index_t SurfaceSimplifier::apex( const PolygonEdge& edge ) const
        {
            return mesh_.polygon_vertex( { edge.polygon_id,
                static_cast< local_index_t >( ( edge.edge_id + 2 ) % 3 ) } );
        }

        std::array< bool, 2 > SurfaceSimplifier::fixed_ends(
            const PolygonEdge& edge ) const
        {
            const auto ends = mesh_.polygon_edge_vertices( edge );
            const std::array< bool, 2 > on_border{ mesh_.is_vertex_on_border(
                                                       ends[0] ),
                mesh_.is_vertex_on_border( ends[1] ) };
            const auto border_edge = mesh_.is_edge_on_border( edge );
            std::array< bool, 2 > fixed{ false, false };
            for( const local_index_t i : { 0, 1 } )
            {
                const local_index_t h = 1 - i;
                const auto moved = background_vertex( ends[h] );
                const auto kept = background_vertex( ends[i] );
                fixed[i] = [&] {
                    if( !provenance_.init_vertex_ids( moved ).empty() )
                    {
                        return true;
                    }
                    if( on_border[h] && !on_border[i] )
                    {
                        return true;
                    }
                    if( on_border[h] && on_border[i] && !border_edge )
                    {
                        return true;
                    }
                    if( !provenance_.is_provenance_included( moved, kept ) )
                    {
                        return true;
                    }
                    const auto e = patch_edge( { ends[h], ends[i] } );
                    return !keeps_common_curve_edges( e, moved, kept )
                           || !keeps_common_polygons( e, moved, kept );
                }();
            }
            return fixed;
        }

        bool SurfaceSimplifier::keeps_common_curve_edges(
            index_t edge, index_t moved, index_t kept ) const
        {
            const auto& listed = surface_.edge_components->value( edge );
            return detail::are_records_included(
                detail::common_records( provenance_.vertex_init_edge_ids( moved ),
                    provenance_.vertex_init_edge_ids( kept ) ),
                listed );
        }

        bool SurfaceSimplifier::keeps_common_polygons(
            index_t edge, index_t moved, index_t kept ) const
        {
            const auto& incident = surface_.edge_incident_components->value( edge );
            for( const auto& record :
                detail::common_records( provenance_.vertex_init_facet_ids( moved ),
                    provenance_.vertex_init_facet_ids( kept ) ) )
            {
                const auto listed = std::any_of( incident.begin(), incident.end(),
                    [&record]( const std::vector< MeshPolygon >& list ) {
                        return std::find( list.begin(), list.end(), record )
                               != list.end();
                    } );
                if( !listed )
                {
                    return false;
                }
            }
            return true;
        }

        TrianglePreviews< 3 > SurfaceSimplifier::collapse_preview(
            const PolygonEdge& edge, local_index_t kept_end ) const
        {
            const auto ends = mesh_.polygon_edge_vertices( edge );
            return triangles_with_moved_vertices< 3 >( mesh_,
                polygons_around_edge_vertices< 3 >( mesh_, ends ),
                mesh_.point( ends[kept_end] ) );
        }

        void SurfaceSimplifier::collapse_onto(
            const PolygonEdge& edge, index_t kept )
        {
            const auto ends = mesh_.polygon_edge_vertices( edge );
            const auto index = patch_edge( ends );
            const auto kept_origin = background_vertex( kept );
            auto kept_components = surface_.component_vertices->value( kept );
            // A copy: the collapse appends a vertex, which may move the
            // stored points.
            const auto position = mesh_.point( kept );
            const auto info = modifier_.collapse_edge( index, position );
            const auto new_vertex = info.new_vertex;
            for( const auto& corner : mesh_.polygons_around_vertex( new_vertex ) )
            {
                for( const local_index_t e : { 0, 1, 2 } )
                {
                    const PolygonEdge around{ corner.polygon_id, e };
                    const auto stamp = ++stamps_[around];
                    queue_.emplace_back( around, stamp );
                }
            }
            surface_.vertex_origin->set_value( new_vertex, kept_origin );
            surface_.component_vertices->set_value(
                new_vertex, std::move( kept_components ) );
            surface_.vertex_map.at( kept_origin ) = new_vertex;
            update_edge_components( info.edges );
        }

        void SurfaceSimplifier::update_edge_components(
            absl::Span< const EdgeMerge > merges )
        {
            struct Merged
            {
                index_t edge;
                std::vector< MeshEdge > components;
                std::vector< std::vector< MeshPolygon > > incident;
            };
            std::vector< Merged > merged;
            merged.reserve( merges.size() );
            for( const auto& merge : merges )
            {
                auto& entry = merged.emplace_back();
                entry.edge = merge.new_edge;
                for( const auto old : merge.old_edges )
                {
                    const auto& components = surface_.edge_components->value( old );
                    entry.components.insert(
                        entry.components.end(), components.begin(), components.end() );
                    const auto& incident =
                        surface_.edge_incident_components->value( old );
                    entry.incident.insert(
                        entry.incident.end(), incident.begin(), incident.end() );
                }
            }
            for( auto& entry : merged )
            {
                surface_.edge_components->set_value(
                    entry.edge, std::move( entry.components ) );
                surface_.edge_incident_components->set_value(
                    entry.edge, std::move( entry.incident ) );
            }
        }

        void SurfaceSimplifier::collect_collapsible_edges()
        {
            stamps_.clear();
            queue_.clear();
            for( index_t p = 0; p < mesh_.nb_polygons(); ++p )
            {
                if( !modifier_.is_polygon_active( p ) )
                {
                    continue;
                }
                for( const local_index_t e : { 0, 1, 2 } )
                {
                    const PolygonEdge edge{ p, e };
                    const auto adjacent = mesh_.polygon_adjacent( edge );
                    if( adjacent && adjacent.value() < p )
                    {
                        continue;
                    }
                    const auto fixed = fixed_ends( edge );
                    if( fixed[0] && fixed[1] )
                    {
                        continue;
                    }
                    queue_.emplace_back( edge, 0u );
                    stamps_[edge] = 0;
                }
            }
        }

        void SurfaceSimplifier::put_back(
            const Entry& entry, std::size_t& put_back_count )
        {
            queue_.push_back( entry );
            ++put_back_count;
        }

        bool SurfaceSimplifier::collapse_edges()
        {
            if( queue_.empty() )
            {
                return false;
            }
            std::size_t put_back_count{ 0 };
            bool degenerate_seen{ false };
            while( put_back_count < queue_.size() )
            {
                const auto entry = queue_.front();
                queue_.pop_front();
                const auto& [edge, stamp] = entry;
                if( stamp != stamps_.at( edge ) )
                {
                    continue;
                }
                if( !modifier_.is_polygon_active( edge.polygon_id ) )
                {
                    continue;
                }
                const auto fixed = fixed_ends( edge );
                const auto ends = mesh_.polygon_edge_vertices( edge );
                bool handled{ false };
                for( const local_index_t j : { 0, 1 } )
                {
                    if( fixed[j] )
                    {
                        continue;
                    }
                    if( !is_collapse_edge_valid< 3 >(
                            mesh_, ends, mesh_.point( ends[j] ) ) )
                    {
                        continue;
                    }
                    bool failed{ false };
                    for( const auto& preview : collapse_preview( edge, j ) )
                    {
                        if( preview.triangle.minimum_height() <= GLOBAL_EPSILON )
                        {
                            continue;
                        }
                        if( detail::is_polygon_degenerated( mesh_, preview.polygon ) )
                        {
                            degenerate_seen = true;
                            failed = true;
                            break;
                        }
                        if( detail::is_triangle_inverted_in_polygon(
                                mesh_, preview.triangle, preview.polygon ) )
                        {
                            failed = true;
                            break;
                        }
                    }
                    handled = true;
                    if( failed )
                    {
                        put_back( entry, put_back_count );
                    }
                    else
                    {
                        collapse_onto( edge, ends[j] );
                        put_back_count = 0;
                    }
                    break;
                }
                if( !handled )
                {
                    put_back( entry, put_back_count );
                }
            }
            if( put_back_count == 0 )
            {
                return false;
            }
            if( degenerate_seen )
            {
                return true;
            }
            return unlock_blocked_collapses( queue_ );
        }
    } // namespace internal
} // namespace orvane
