#pragma once

#include <array>
#include <string>
#include <utility>

#include <absl/strings/str_cat.h>

#include <openorvane/basic/types.hpp>

namespace orvane
{
    struct PolygonEdge;

    /// A corner of a polygon: the polygon and the local index of one of its
    /// vertices. An unset record holds NO_ID and NO_LID.
    struct PolygonVertex
    {
        PolygonVertex() = default;
        PolygonVertex( index_t polygon, local_index_t vertex )
            : polygon_id( polygon ), vertex_id( vertex )
        {
        }
        /// The corner at which `edge` starts.
        explicit PolygonVertex( const PolygonEdge& edge );

        bool operator==( const PolygonVertex& other ) const = default;

        std::string string() const
        {
            return absl::StrCat( "(", polygon_id, ", ",
                static_cast< unsigned >( vertex_id ), ")" );
        }

        template < typename H >
        friend H AbslHashValue( H hash, const PolygonVertex& value )
        {
            return H::combine( std::move( hash ), value.polygon_id, value.vertex_id );
        }

        index_t polygon_id{ NO_ID };
        local_index_t vertex_id{ NO_LID };
    };

    /// An edge of a polygon: local edge e runs from local vertex e to local
    /// vertex e + 1 (cyclically). An unset record holds NO_ID and NO_LID.
    struct PolygonEdge
    {
        PolygonEdge() = default;
        PolygonEdge( index_t polygon, local_index_t edge )
            : polygon_id( polygon ), edge_id( edge )
        {
        }
        /// The edge that starts at `vertex`.
        explicit PolygonEdge( const PolygonVertex& vertex )
            : polygon_id( vertex.polygon_id ), edge_id( vertex.vertex_id )
        {
        }

        bool operator==( const PolygonEdge& other ) const = default;

        std::string string() const
        {
            return absl::StrCat(
                "(", polygon_id, ", ", static_cast< unsigned >( edge_id ), ")" );
        }

        template < typename H >
        friend H AbslHashValue( H hash, const PolygonEdge& value )
        {
            return H::combine( std::move( hash ), value.polygon_id, value.edge_id );
        }

        index_t polygon_id{ NO_ID };
        local_index_t edge_id{ NO_LID };
    };

    inline PolygonVertex::PolygonVertex( const PolygonEdge& edge )
        : polygon_id( edge.polygon_id ), vertex_id( edge.edge_id )
    {
    }

    /// A corner of a polyhedron. In a tetrahedron, local vertex v is the one
    /// opposite local facet v.
    struct PolyhedronVertex
    {
        PolyhedronVertex() = default;
        PolyhedronVertex( index_t polyhedron, local_index_t vertex )
            : polyhedron_id( polyhedron ), vertex_id( vertex )
        {
        }

        bool operator==( const PolyhedronVertex& other ) const = default;

        std::string string() const
        {
            return absl::StrCat( "(", polyhedron_id, ", ",
                static_cast< unsigned >( vertex_id ), ")" );
        }

        template < typename H >
        friend H AbslHashValue( H hash, const PolyhedronVertex& value )
        {
            return H::combine(
                std::move( hash ), value.polyhedron_id, value.vertex_id );
        }

        index_t polyhedron_id{ NO_ID };
        local_index_t vertex_id{ NO_LID };
    };

    /// A facet of a polyhedron. In a tetrahedron, local facet f is opposite
    /// local vertex f: facet 0 = (1, 3, 2), facet 1 = (0, 2, 3),
    /// facet 2 = (3, 1, 0), facet 3 = (0, 1, 2), so that a facet's vertices
    /// followed by the opposite vertex have the tetrahedron's orientation.
    struct PolyhedronFacet
    {
        PolyhedronFacet() = default;
        PolyhedronFacet( index_t polyhedron, local_index_t facet )
            : polyhedron_id( polyhedron ), facet_id( facet )
        {
        }

        bool operator==( const PolyhedronFacet& other ) const = default;

        std::string string() const
        {
            return absl::StrCat( "(", polyhedron_id, ", ",
                static_cast< unsigned >( facet_id ), ")" );
        }

        template < typename H >
        friend H AbslHashValue( H hash, const PolyhedronFacet& value )
        {
            return H::combine(
                std::move( hash ), value.polyhedron_id, value.facet_id );
        }

        index_t polyhedron_id{ NO_ID };
        local_index_t facet_id{ NO_LID };
    };

    /// A vertex of a polyhedron facet, numbered in the facet's own order.
    struct PolyhedronFacetVertex
    {
        PolyhedronFacetVertex() = default;
        PolyhedronFacetVertex( PolyhedronFacet facet, local_index_t vertex )
            : polyhedron_facet( std::move( facet ) ), vertex_id( vertex )
        {
        }

        bool operator==( const PolyhedronFacetVertex& other ) const = default;

        std::string string() const
        {
            return absl::StrCat( "(", polyhedron_facet.string(), ", ",
                static_cast< unsigned >( vertex_id ), ")" );
        }

        template < typename H >
        friend H AbslHashValue( H hash, const PolyhedronFacetVertex& value )
        {
            return H::combine(
                std::move( hash ), value.polyhedron_facet, value.vertex_id );
        }

        PolyhedronFacet polyhedron_facet;
        local_index_t vertex_id{ NO_LID };
    };

    /// An edge of a polyhedron facet: facet edge k joins the facet's vertex
    /// k to its vertex (k + 1) mod 3.
    struct PolyhedronFacetEdge
    {
        PolyhedronFacetEdge() = default;
        PolyhedronFacetEdge( PolyhedronFacet facet, local_index_t edge )
            : polyhedron_facet( std::move( facet ) ), edge_id( edge )
        {
        }

        bool operator==( const PolyhedronFacetEdge& other ) const = default;

        std::string string() const
        {
            return absl::StrCat( "(", polyhedron_facet.string(), ", ",
                static_cast< unsigned >( edge_id ), ")" );
        }

        template < typename H >
        friend H AbslHashValue( H hash, const PolyhedronFacetEdge& value )
        {
            return H::combine(
                std::move( hash ), value.polyhedron_facet, value.edge_id );
        }

        PolyhedronFacet polyhedron_facet;
        local_index_t edge_id{ NO_LID };
    };

    /// One end of a graph or curve edge: vertex_id is 0 (start) or 1 (end).
    struct EdgeVertex
    {
        EdgeVertex() = default;
        EdgeVertex( index_t edge, local_index_t vertex )
            : edge_id( edge ), vertex_id( vertex )
        {
        }

        /// The other end of the same edge.
        EdgeVertex opposite() const
        {
            return { edge_id, static_cast< local_index_t >( 1 - vertex_id ) };
        }

        bool operator==( const EdgeVertex& other ) const = default;

        std::string string() const
        {
            return absl::StrCat(
                "(", edge_id, ", ", static_cast< unsigned >( vertex_id ), ")" );
        }

        template < typename H >
        friend H AbslHashValue( H hash, const EdgeVertex& value )
        {
            return H::combine( std::move( hash ), value.edge_id, value.vertex_id );
        }

        index_t edge_id{ NO_ID };
        local_index_t vertex_id{ NO_LID };
    };

    /// The two vertices of an edge, in the order in which it was given.
    using EdgeVertices = std::array< index_t, 2 >;
} // namespace orvane
