#pragma once

// Storage of SurfaceMesh, shared by the mesh and its builder. Not part of
// the public interface.

#include <array>
#include <memory>
#include <optional>
#include <vector>

#include <openorvane/basic/attribute_manager.hpp>
#include <openorvane/basic/growable_array.hpp>
#include <openorvane/mesh/coordinates.hpp>
#include <openorvane/mesh/edges.hpp>
#include <openorvane/mesh/surface_mesh.hpp>

namespace orvane
{
    template < index_t dimension >
    class SurfaceMesh< dimension >::Impl
    {
    public:
        static constexpr local_index_t NB_POLYGON_VERTICES = 3;

        static local_index_t next( local_index_t local )
        {
            return local == NB_POLYGON_VERTICES - 1
                       ? 0
                       : static_cast< local_index_t >( local + 1 );
        }

        static local_index_t previous( local_index_t local )
        {
            return local == 0 ? NB_POLYGON_VERTICES - 1
                              : static_cast< local_index_t >( local - 1 );
        }

        index_t nb_polygons() const
        {
            return static_cast< index_t >( polygons.size() );
        }

        index_t& vertex( index_t polygon, local_index_t local )
        {
            return polygons[polygon].vertices[local];
        }

        index_t vertex( index_t polygon, local_index_t local ) const
        {
            return polygons[polygon].vertices[local];
        }

        index_t& adjacent( index_t polygon, local_index_t edge )
        {
            return polygons[polygon].adjacents[edge];
        }

        index_t adjacent( index_t polygon, local_index_t edge ) const
        {
            return polygons[polygon].adjacents[edge];
        }

        std::optional< local_index_t > local_vertex(
            index_t polygon, index_t vertex_id ) const
        {
            for( local_index_t v = 0; v < NB_POLYGON_VERTICES; v++ )
            {
                if( vertex( polygon, v ) == vertex_id )
                {
                    return v;
                }
            }
            return std::nullopt;
        }

        /// True when the stored PolygonVertex of the vertex names a live
        /// corner holding that vertex.
        bool has_valid_association( index_t vertex_id ) const
        {
            const auto& stored = polygon_around_vertex[vertex_id];
            return stored.polygon_id < nb_polygons()
                   && stored.vertex_id < NB_POLYGON_VERTICES
                   && vertex( stored.polygon_id, stored.vertex_id ) == vertex_id;
        }

        /// Marks, for each edge of the table, whether a polygon uses it.
        std::vector< bool > used_edges( const Edges& table ) const
        {
            std::vector< bool > used( table.nb_edges(), false );
            for( index_t p = 0; p < nb_polygons(); p++ )
            {
                for( local_index_t e = 0; e < NB_POLYGON_VERTICES; e++ )
                {
                    if( const auto edge = table.edge_from_vertices(
                            { vertex( p, e ), vertex( p, next( e ) ) } ) )
                    {
                        used[edge.value()] = true;
                    }
                }
            }
            return used;
        }

        void register_polygon_edges( index_t polygon )
        {
            if( !edges )
            {
                return;
            }
            std::array< EdgeVertices, NB_POLYGON_VERTICES > pairs;
            for( local_index_t e = 0; e < NB_POLYGON_VERTICES; e++ )
            {
                pairs[e] = { vertex( polygon, e ), vertex( polygon, next( e ) ) };
            }
            std::array< index_t, NB_POLYGON_VERTICES > found;
            EdgesBuilder{ *edges }.find_or_create_edges(
                pairs, absl::MakeSpan( found ) );
        }

        void copy( const Impl& other )
        {
            points = other.points;
            polygons = other.polygons;
            polygon_around_vertex = other.polygon_around_vertex;
            polygon_attributes.copy( other.polygon_attributes );
            if( other.edges )
            {
                edges = std::make_unique< Edges >();
                EdgesBuilder{ *edges }.copy( *other.edges );
            }
            else
            {
                edges.reset();
            }
        }

        CoordinateArray< dimension > points;
        // The per-polygon and per-vertex tables grow with every edit: large
        // ones take huge pages and grow in place (see GrowableArray).
        template < typename T >
        using Table = GrowableArray< T >;

        /// The vertices and the neighbours of a polygon side by side: the
        /// edits that read one mostly read the other, and a single cache
        /// line then usually holds both.
        struct PolygonRow
        {
            /// The vertex indices.
            std::array< index_t, NB_POLYGON_VERTICES > vertices;
            /// The polygon across each local edge, or NO_ID.
            std::array< index_t, NB_POLYGON_VERTICES > adjacents;
        };
        Table< PolygonRow > polygons;
        /// One stored corner per vertex ({NO_ID, NO_LID} when isolated).
        Table< PolygonVertex > polygon_around_vertex;
        AttributeManager polygon_attributes;
        /// The edge table, absent until enabled.
        std::unique_ptr< Edges > edges;
    };
} // namespace orvane
