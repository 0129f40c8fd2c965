#pragma once

#include <array>
#include <memory>
#include <vector>

#include <absl/types/span.h>

#include <openorvane/basic/types.hpp>
#include <openorvane/mesh/solid_mesh.hpp>
#include <openorvane/mesh/vertex_set.hpp>

namespace orvane
{
    /// Edits a SolidMesh. Every edit keeps the solid's attribute managers
    /// sized, and keeps the enabled edge and facet tables filled.
    ///
    /// Association rules (the stored PolyhedronVertex of each vertex):
    /// - creating a polyhedron associates each of its vertices with it;
    /// - set_polyhedron_vertex( pv, v ) associates v with pv (the former
    ///   vertex keeps its association: callers disassociate it first);
    /// - deleting polyhedra re-associates each vertex whose polyhedron was
    ///   deleted with the first remaining polyhedron that uses it (in index
    ///   order, then local order), or leaves it isolated.
    /// Adjacency setters write one direction only.
    template < index_t dimension >
    class SolidMeshBuilder : public VertexSetBuilder
    {
    public:
        ~SolidMeshBuilder() override;

        /// The builder of the solid's implementation, made through the mesh
        /// builder factory. Throws OpenOrvaneException "[Factory::create]
        /// Factory does not contain the requested key" when the
        /// implementation has no builder, and "Cannot create mesh builder
        /// with key: <key>" when the builder is not a solid builder.
        static std::unique_ptr< SolidMeshBuilder > create(
            SolidMesh< dimension >& mesh );

        /// Creates a vertex at the point and returns its index.
        index_t create_point( const Point< dimension >& point );

        void set_point( index_t vertex_id, const Point< dimension >& point );

        /// Replaces a polyhedron vertex and associates the new vertex with it.
        void set_polyhedron_vertex(
            const PolyhedronVertex& polyhedron_vertex, index_t vertex_id );

        /// Sets the polyhedron across the facet (one direction only);
        /// NO_ID unsets it.
        void set_polyhedron_adjacent(
            const PolyhedronFacet& polyhedron_facet, index_t adjacent_id );

        void unset_polyhedron_adjacent( const PolyhedronFacet& polyhedron_facet );

        /// Rebuilds every adjacency from the vertices: two polyhedron facets
        /// are linked (both ways) when they are the only two uses of their
        /// vertex set and have opposite orientations. Every other facet is
        /// left unset.
        void compute_polyhedron_adjacencies();

        /// Recomputes, both ways, the adjacencies of the facets of the listed
        /// polyhedra. The neighbour of a facet is looked for among the listed
        /// polyhedra, their current neighbours (whatever the facet) and the
        /// polyhedra around their vertices; among those holding the facet
        /// with the opposite orientation, the highest index wins. A facet
        /// with no neighbour is unset.
        void compute_polyhedron_adjacencies(
            absl::Span< const index_t > polyhedra );

        /// Overwrites the PolyhedronVertex stored for the vertex.
        void associate_polyhedron_vertex_to_vertex(
            const PolyhedronVertex& polyhedron_vertex, index_t vertex_id );

        /// Leaves the vertex isolated.
        void disassociate_polyhedron_vertex_to_vertex( index_t vertex_id );

        /// Kept for callers that refresh the around-vertex information after
        /// an edit: the solid keeps no cache, so there is nothing to drop.
        void reset_polyhedra_around_vertex( index_t vertex_id );

        /// Deletes the flagged polyhedra (one flag per polyhedron), renumbers
        /// adjacencies and associations, compacts polyhedron attributes and
        /// returns the old-to-new vector. Adjacencies to deleted polyhedra
        /// become unset. The edge and facet tables are left untouched.
        std::vector< index_t > delete_polyhedra(
            const std::vector< bool >& to_delete );

        /// Deletes the vertices that are isolated and used by no polyhedron,
        /// and returns the old-to-new vector. A vertex still used but not
        /// associated is re-associated instead. Polyhedra, tables and
        /// attributes are renumbered.
        OldToNew delete_isolated_vertices() override;

        SolidEdgesBuilder< dimension > edges_builder();

        SolidFacetsBuilder< dimension > facets_builder();

        /// Makes the solid a copy of `solid`: geometry, topology, enabled
        /// tables, attributes, uuid and name. Whatever the solid held before
        /// is replaced.
        void copy( const SolidMesh< dimension >& solid );

    protected:
        explicit SolidMeshBuilder( SolidMesh< dimension >& mesh );

        /// Sizes the polyhedron attributes, associates the vertices and fills
        /// the enabled tables for a polyhedron just appended by an
        /// implementation.
        void register_new_polyhedron( index_t polyhedron_id );

        SolidMesh< dimension >& solid_mesh()
        {
            return solid_mesh_;
        }

    private:
        virtual void do_set_point(
            index_t vertex_id, const Point< dimension >& point ) = 0;

        virtual void do_set_polyhedron_vertex(
            const PolyhedronVertex& polyhedron_vertex, index_t vertex_id ) = 0;

        virtual void do_set_polyhedron_adjacent(
            const PolyhedronFacet& polyhedron_facet, index_t adjacent_id ) = 0;

        /// {NO_ID, NO_LID} disassociates.
        virtual void do_associate_polyhedron_vertex_to_vertex(
            const PolyhedronVertex& polyhedron_vertex, index_t vertex_id ) = 0;

        /// Compacts the polyhedra and renumbers their adjacencies through
        /// old2new (deleted neighbours become NO_ID). Associations are left
        /// to the caller.
        virtual void do_delete_polyhedra( const std::vector< bool >& to_delete,
            const std::vector< index_t >& old2new ) = 0;

        /// Copies the points, the polyhedra, their adjacencies and the
        /// vertex associations of `solid` into the implementation's own
        /// storage, sized for solid.nb_vertices() vertices.
        virtual void do_copy_polyhedra( const SolidMesh< dimension >& solid ) = 0;

    private:
        SolidMesh< dimension >& solid_mesh_;
    };

    using SolidMeshBuilder3D = SolidMeshBuilder< 3 >;
} // namespace orvane
