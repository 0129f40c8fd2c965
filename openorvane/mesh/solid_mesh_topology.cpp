#include <openorvane/mesh/solid_mesh.hpp>

#include <algorithm>

#include <absl/container/flat_hash_set.h>

#include <openorvane/basic/exception.hpp>

// The topological walks of a solid mesh: around a vertex, around an edge,
// and the lookups of facets and facet edges from vertices that rely on them.

namespace
{
    using namespace orvane;

    /// A set of polyhedron indices that stays a plain array while small:
    /// the fans around vertices and edges usually hold a few dozen cells.
    class VisitedPolyhedra
    {
    public:
        /// Inserts the polyhedron; false when it was already there.
        bool insert( index_t polyhedron_id )
        {
            if( !large_.empty() )
            {
                return large_.insert( polyhedron_id ).second;
            }
            if( std::find( small_.begin(), small_.end(), polyhedron_id )
                != small_.end() )
            {
                return false;
            }
            small_.push_back( polyhedron_id );
            if( small_.size() > SMALL_SIZE )
            {
                large_.insert( small_.begin(), small_.end() );
            }
            return true;
        }

    private:
        static constexpr std::size_t SMALL_SIZE = 64;
        absl::InlinedVector< index_t, SMALL_SIZE + 1 > small_;
        absl::flat_hash_set< index_t > large_;
    };

    /// True when the facet holds the polyhedron's local vertex.
    template < index_t dimension >
    bool facet_holds_vertex( const SolidMesh< dimension >& mesh,
        const PolyhedronFacet& facet,
        local_index_t vertex_id )
    {
        const auto nb_facet_vertices = mesh.nb_polyhedron_facet_vertices( facet );
        for( local_index_t v = 0; v < nb_facet_vertices; v++ )
        {
            if( mesh.polyhedron_facet_vertex_id( { facet, v } ).vertex_id == vertex_id )
            {
                return true;
            }
        }
        return false;
    }

    /// The first polyhedron around the edge's first vertex that also holds
    /// its second vertex, if any.
    template < index_t dimension >
    std::optional< index_t > polyhedron_holding_edge(
        const SolidMesh< dimension >& mesh, const EdgeVertices& edge_vertices )
    {
        for( const auto& polyhedron_vertex :
            mesh.polyhedra_around_vertex( edge_vertices[0] ) )
        {
            if( mesh.vertex_in_polyhedron(
                    polyhedron_vertex.polyhedron_id, edge_vertices[1] ) )
            {
                return polyhedron_vertex.polyhedron_id;
            }
        }
        return std::nullopt;
    }
} // namespace

namespace orvane
{
    template < index_t dimension >
    PolyhedraAroundVertex SolidMesh< dimension >::polyhedra_around_vertex(
        index_t vertex_id ) const
    {
        PolyhedraAroundVertex result;
        const auto first = get_polyhedron_around_vertex( vertex_id );
        if( first.polyhedron_id >= nb_polyhedra() )
        {
            return result;
        }
        VisitedPolyhedra visited;
        visited.insert( first.polyhedron_id );
        result.push_back( first );
        // The result doubles as the breadth-first queue.
        for( std::size_t next = 0; next < result.size(); next++ )
        {
            const auto current = result[next];
            const auto nb_facets = nb_polyhedron_facets( current.polyhedron_id );
            for( local_index_t f = 0; f < nb_facets; f++ )
            {
                const PolyhedronFacet facet{ current.polyhedron_id, f };
                if( !facet_holds_vertex( *this, facet, current.vertex_id ) )
                {
                    continue;
                }
                const auto adjacent = get_polyhedron_adjacent( facet );
                if( adjacent >= nb_polyhedra() || !visited.insert( adjacent ) )
                {
                    continue;
                }
                // An adjacency that does not lead to the vertex is not
                // followed: it cannot belong to this vertex's cells.
                if( const auto local = vertex_in_polyhedron( adjacent, vertex_id ) )
                {
                    result.emplace_back( adjacent, local.value() );
                }
            }
        }
        return result;
    }

    template < index_t dimension >
    VerticesAroundVertex SolidMesh< dimension >::vertices_around_vertex(
        index_t vertex_id ) const
    {
        VerticesAroundVertex result;
        for( const auto& polyhedron_vertex : polyhedra_around_vertex( vertex_id ) )
        {
            const auto polyhedron = polyhedron_vertex.polyhedron_id;
            // The local vertices joined to the vertex by an edge of one of the
            // polyhedron's facets (every polyhedron edge is a facet edge).
            absl::InlinedVector< bool, 8 > joined(
                nb_polyhedron_vertices( polyhedron ), false );
            for( local_index_t f = 0; f < nb_polyhedron_facets( polyhedron ); f++ )
            {
                const PolyhedronFacet facet{ polyhedron, f };
                const auto nb_facet_vertices =
                    get_nb_polyhedron_facet_vertices( facet );
                for( local_index_t v = 0; v < nb_facet_vertices; v++ )
                {
                    if( get_polyhedron_facet_vertex_id( { facet, v } )
                        != polyhedron_vertex.vertex_id )
                    {
                        continue;
                    }
                    const auto next = static_cast< local_index_t >(
                        ( v + 1 ) % nb_facet_vertices );
                    const auto previous = static_cast< local_index_t >(
                        ( v + nb_facet_vertices - 1 ) % nb_facet_vertices );
                    joined[get_polyhedron_facet_vertex_id( { facet, next } )] = true;
                    joined[get_polyhedron_facet_vertex_id( { facet, previous } )] =
                        true;
                }
            }
            for( local_index_t v = 0; v < joined.size(); v++ )
            {
                if( !joined[v] )
                {
                    continue;
                }
                const auto other = get_polyhedron_vertex( { polyhedron, v } );
                if( std::find( result.begin(), result.end(), other ) == result.end() )
                {
                    result.push_back( other );
                }
            }
        }
        return result;
    }

    template < index_t dimension >
    std::optional< local_index_t > SolidMesh< dimension >::vertex_in_polyhedron(
        index_t polyhedron_id, index_t vertex_id ) const
    {
        const auto nb_vertices = nb_polyhedron_vertices( polyhedron_id );
        for( local_index_t v = 0; v < nb_vertices; v++ )
        {
            if( get_polyhedron_vertex( { polyhedron_id, v } ) == vertex_id )
            {
                return v;
            }
        }
        return std::nullopt;
    }

    template < index_t dimension >
    std::optional< std::array< local_index_t, 2 > >
        SolidMesh< dimension >::edge_vertices_in_polyhedron(
            index_t polyhedron_id, const EdgeVertices& edge_vertices ) const
    {
        const auto first = vertex_in_polyhedron( polyhedron_id, edge_vertices[0] );
        if( !first )
        {
            return std::nullopt;
        }
        const auto second =
            vertex_in_polyhedron( polyhedron_id, edge_vertices[1] );
        if( !second )
        {
            return std::nullopt;
        }
        return std::array< local_index_t, 2 >{ first.value(), second.value() };
    }

    template < index_t dimension >
    PolyhedraAroundEdge SolidMesh< dimension >::polyhedra_around_edge(
        const EdgeVertices& edge_vertices, index_t first_polyhedron ) const
    {
        PolyhedraAroundEdge result;
        if( first_polyhedron >= nb_polyhedra()
            || !edge_vertices_in_polyhedron( first_polyhedron, edge_vertices ) )
        {
            return result;
        }
        // The two facets of a polyhedron that hold the edge, the one opposite
        // the non-edge vertex of smaller local index first. Crossing one of
        // them and then always the other one of the next polyhedron turns
        // around the edge in one direction.
        const auto edge_facets = [this, &edge_vertices]( index_t polyhedron ) {
            return edge_incident_facets( polyhedron, edge_vertices );
        };
        // A facet vertex that is not an end of the edge.
        const auto other_vertex = [this, &edge_vertices](
                                      const PolyhedronFacet& facet ) {
            for( const auto vertex : polyhedron_facet_vertices( facet ) )
            {
                if( vertex != edge_vertices[0] && vertex != edge_vertices[1] )
                {
                    return vertex;
                }
            }
            return NO_ID;
        };
        // Walks from the start through `crossed_facet` and appends the
        // polyhedra met; returns true when the walk closed back on the start.
        const auto walk = [this, &edge_facets, &edge_vertices, &other_vertex,
                              &result](
                              index_t start, local_index_t crossed_facet ) {
            PolyhedronFacet facet{ start, crossed_facet };
            while( true )
            {
                const auto next = get_polyhedron_adjacent( facet );
                if( next >= nb_polyhedra() )
                {
                    return false;
                }
                if( next == result.front() )
                {
                    return true;
                }
                if( std::find( result.begin(), result.end(), next ) != result.end()
                    || !edge_vertices_in_polyhedron( next, edge_vertices ) )
                {
                    // Inconsistent adjacency: stop rather than loop.
                    return false;
                }
                // Enter `next` through its edge facet that holds the crossed
                // facet's third vertex, and leave through the other one.
                const auto third = other_vertex( facet );
                const auto next_facets = edge_facets( next );
                const auto first_third = other_vertex( next_facets[0] );
                const auto second_third = other_vertex( next_facets[1] );
                if( first_third != third && second_third != third )
                {
                    return false;
                }
                result.push_back( next );
                facet = first_third == third ? next_facets[1] : next_facets[0];
            }
        };
        result.push_back( first_polyhedron );
        const auto first_facets = edge_facets( first_polyhedron );
        if( walk( first_polyhedron, first_facets[0].facet_id ) )
        {
            return result;
        }
        walk( first_polyhedron, first_facets[1].facet_id );
        return result;
    }

    template < index_t dimension >
    PolyhedraAroundEdge SolidMesh< dimension >::polyhedra_around_edge(
        const EdgeVertices& edge_vertices ) const
    {
        if( const auto first = polyhedron_holding_edge( *this, edge_vertices ) )
        {
            return polyhedra_around_edge( edge_vertices, first.value() );
        }
        return {};
    }

    template < index_t dimension >
    PolyhedraAroundEdge SolidMesh< dimension >::polyhedra_around_edge(
        const PolyhedronFacetEdge& polyhedron_facet_edge ) const
    {
        return polyhedra_around_edge(
            polyhedron_facet_edge_vertices( polyhedron_facet_edge ),
            polyhedron_facet_edge.polyhedron_facet.polyhedron_id );
    }

    template < index_t dimension >
    bool SolidMesh< dimension >::is_edge_on_border(
        const EdgeVertices& edge_vertices, index_t first_polyhedron ) const
    {
        for( const auto polyhedron :
            polyhedra_around_edge( edge_vertices, first_polyhedron ) )
        {
            for( const auto& facet :
                edge_incident_facets( polyhedron, edge_vertices ) )
            {
                if( is_polyhedron_facet_on_border( facet ) )
                {
                    return true;
                }
            }
        }
        return false;
    }

    template < index_t dimension >
    bool SolidMesh< dimension >::is_edge_on_border(
        const EdgeVertices& edge_vertices ) const
    {
        if( const auto first = polyhedron_holding_edge( *this, edge_vertices ) )
        {
            return is_edge_on_border( edge_vertices, first.value() );
        }
        return false;
    }

    template < index_t dimension >
    bool SolidMesh< dimension >::is_vertex_on_border( index_t vertex_id ) const
    {
        for( const auto& polyhedron_vertex : polyhedra_around_vertex( vertex_id ) )
        {
            const auto polyhedron = polyhedron_vertex.polyhedron_id;
            for( local_index_t f = 0; f < nb_polyhedron_facets( polyhedron ); f++ )
            {
                const PolyhedronFacet facet{ polyhedron, f };
                if( is_polyhedron_facet_on_border( facet )
                    && facet_holds_vertex( *this, facet, polyhedron_vertex.vertex_id ) )
                {
                    return true;
                }
            }
        }
        return false;
    }

    template < index_t dimension >
    std::optional< PolyhedronFacet >
        SolidMesh< dimension >::polyhedron_facet_from_vertices(
            const PolyhedronFacetVertices& vertices ) const
    {
        if( vertices.empty() )
        {
            return std::nullopt;
        }
        auto sorted = vertices;
        std::sort( sorted.begin(), sorted.end() );
        for( const auto& polyhedron_vertex : polyhedra_around_vertex( vertices[0] ) )
        {
            const auto polyhedron = polyhedron_vertex.polyhedron_id;
            for( local_index_t f = 0; f < nb_polyhedron_facets( polyhedron ); f++ )
            {
                const PolyhedronFacet facet{ polyhedron, f };
                if( get_nb_polyhedron_facet_vertices( facet ) != sorted.size() )
                {
                    continue;
                }
                auto facet_vertices = polyhedron_facet_vertices( facet );
                std::sort( facet_vertices.begin(), facet_vertices.end() );
                if( facet_vertices == sorted )
                {
                    return facet;
                }
            }
        }
        return std::nullopt;
    }

    template < index_t dimension >
    std::optional< PolyhedronFacetEdge >
        SolidMesh< dimension >::polyhedron_facet_edge_from_vertices(
            const EdgeVertices& edge_vertices ) const
    {
        for( const auto& polyhedron_vertex :
            polyhedra_around_vertex( edge_vertices[0] ) )
        {
            const auto polyhedron = polyhedron_vertex.polyhedron_id;
            for( local_index_t f = 0; f < nb_polyhedron_facets( polyhedron ); f++ )
            {
                const PolyhedronFacet facet{ polyhedron, f };
                const auto nb_facet_vertices =
                    get_nb_polyhedron_facet_vertices( facet );
                for( local_index_t e = 0; e < nb_facet_vertices; e++ )
                {
                    const PolyhedronFacetEdge facet_edge{ facet, e };
                    if( polyhedron_facet_edge_vertices( facet_edge )
                        == edge_vertices )
                    {
                        return facet_edge;
                    }
                }
            }
        }
        return std::nullopt;
    }

    template < index_t dimension >
    std::array< PolyhedronFacet, 2 >
        SolidMesh< dimension >::opposite_edge_incident_facets(
            index_t polyhedron_id, const EdgeVertices& edge_vertices ) const
    {
        const auto locals =
            edge_vertices_in_polyhedron( polyhedron_id, edge_vertices );
        ORVANE_EXCEPTION( locals.has_value(),
            "[SolidMesh::opposite_edge_incident_facets] The polyhedron ",
            polyhedron_id, " does not hold the edge (", edge_vertices[0], ", ",
            edge_vertices[1], ")" );
        // Facet f of a tetrahedron is the one opposite local vertex f, so the
        // facets that miss one end of the edge hold the opposite edge.
        std::array< PolyhedronFacet, 2 > result;
        for( const auto e : { 0, 1 } )
        {
            bool found{ false };
            for( local_index_t f = 0; f < nb_polyhedron_facets( polyhedron_id );
                 f++ )
            {
                const PolyhedronFacet facet{ polyhedron_id, f };
                const auto nb_facet_vertices =
                    get_nb_polyhedron_facet_vertices( facet );
                bool holds_end{ false };
                bool holds_other_end{ false };
                for( local_index_t v = 0; v < nb_facet_vertices; v++ )
                {
                    const auto local =
                        get_polyhedron_facet_vertex_id( { facet, v } );
                    holds_end = holds_end || local == locals.value()[e];
                    holds_other_end =
                        holds_other_end || local == locals.value()[1 - e];
                }
                if( !holds_end && holds_other_end )
                {
                    result[e] = facet;
                    found = true;
                    break;
                }
            }
            ORVANE_EXCEPTION( found,
                "[SolidMesh::opposite_edge_incident_facets] No facet misses "
                "the edge end ",
                edge_vertices[e] );
        }
        return result;
    }

    template < index_t dimension >
    std::array< PolyhedronFacet, 2 > SolidMesh< dimension >::edge_incident_facets(
        index_t polyhedron_id, const EdgeVertices& edge_vertices ) const
    {
        const auto locals =
            edge_vertices_in_polyhedron( polyhedron_id, edge_vertices );
        ORVANE_EXCEPTION( locals.has_value(),
            "[SolidMesh::edge_incident_facets] The polyhedron ", polyhedron_id,
            " does not hold the edge (", edge_vertices[0], ", ",
            edge_vertices[1], ")" );
        std::array< PolyhedronFacet, 2 > result;
        local_index_t count{ 0 };
        for( local_index_t f = 0;
             f < nb_polyhedron_facets( polyhedron_id ) && count < 2; f++ )
        {
            const PolyhedronFacet facet{ polyhedron_id, f };
            const auto nb_facet_vertices = get_nb_polyhedron_facet_vertices( facet );
            local_index_t nb_ends{ 0 };
            for( local_index_t v = 0; v < nb_facet_vertices; v++ )
            {
                const auto local = get_polyhedron_facet_vertex_id( { facet, v } );
                if( local == locals.value()[0] || local == locals.value()[1] )
                {
                    nb_ends++;
                }
            }
            if( nb_ends == 2 )
            {
                result[count++] = facet;
            }
        }
        ORVANE_EXCEPTION( count == 2,
            "[SolidMesh::edge_incident_facets] The edge (", edge_vertices[0],
            ", ", edge_vertices[1], ") is not on two facets of polyhedron ",
            polyhedron_id );
        return result;
    }

    template PolyhedraAroundVertex SolidMesh< 3 >::polyhedra_around_vertex(
        index_t ) const;
    template VerticesAroundVertex SolidMesh< 3 >::vertices_around_vertex(
        index_t ) const;
    template std::optional< local_index_t > SolidMesh< 3 >::vertex_in_polyhedron(
        index_t, index_t ) const;
    template std::optional< std::array< local_index_t, 2 > >
        SolidMesh< 3 >::edge_vertices_in_polyhedron(
            index_t, const EdgeVertices& ) const;
    template PolyhedraAroundEdge SolidMesh< 3 >::polyhedra_around_edge(
        const EdgeVertices&, index_t ) const;
    template PolyhedraAroundEdge SolidMesh< 3 >::polyhedra_around_edge(
        const EdgeVertices& ) const;
    template PolyhedraAroundEdge SolidMesh< 3 >::polyhedra_around_edge(
        const PolyhedronFacetEdge& ) const;
    template bool SolidMesh< 3 >::is_edge_on_border(
        const EdgeVertices&, index_t ) const;
    template bool SolidMesh< 3 >::is_edge_on_border( const EdgeVertices& ) const;
    template bool SolidMesh< 3 >::is_vertex_on_border( index_t ) const;
    template std::optional< PolyhedronFacet >
        SolidMesh< 3 >::polyhedron_facet_from_vertices(
            const PolyhedronFacetVertices& ) const;
    template std::optional< PolyhedronFacetEdge >
        SolidMesh< 3 >::polyhedron_facet_edge_from_vertices(
            const EdgeVertices& ) const;
    template std::array< PolyhedronFacet, 2 >
        SolidMesh< 3 >::opposite_edge_incident_facets(
            index_t, const EdgeVertices& ) const;
    template std::array< PolyhedronFacet, 2 >
        SolidMesh< 3 >::edge_incident_facets( index_t, const EdgeVertices& ) const;
} // namespace orvane
