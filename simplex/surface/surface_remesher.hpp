#pragma once

#include <memory>
#include <vector>

#include <absl/container/flat_hash_map.h>
#include <absl/types/span.h>

#include <openorvane/basic/types.hpp>
#include <openorvane/basic/uuid.hpp>
#include <openorvane/model/component.hpp>

#include <simplex/remeshed_component.hpp>
#include <simplex/surface/frontal/frontal_records.hpp>

namespace orvane
{
    class BRep;
    template < index_t dimension >
    class Corner;
    template < index_t dimension >
    class Line;
    template < index_t dimension >
    class Surface;
    template < index_t dimension >
    class SurfaceMesh;
    template < index_t dimension >
    class SurfaceMeshBuilder;
    template < index_t dimension >
    class SurfacesBuilder;
    template < index_t dimension >
    class TriangulatedSurface;
    template < index_t dimension >
    class TriangulatedSurfaceBuilder;
    template < typename Model >
    class RemeshingData;

    namespace detail
    {
        /// The triangulated-surface builder of the model surface's mesh.
        /// Throws std::bad_cast when the mesh is not a triangulated surface,
        /// and the builder factory's errors.
        [[nodiscard]] std::unique_ptr< TriangulatedSurfaceBuilder< 3 > >
            create_surface_builder( SurfacesBuilder< 3 >& builder, const uuid& surface );
    } // namespace detail
} // namespace orvane

namespace orvane::internal
{
    template < typename Data >
    class SurfaceRemesher;

    /// Remeshes one surface of the input model into its output surface.
    ///
    /// The frame around the dimension-specific remeshing (`do_remesh`): it
    /// first gives every input vertex on a remeshed line or an internal
    /// corner its output vertex, tied to the unique vertex it must share,
    /// then lets `do_remesh` fill the output surface, removes duplicated
    /// triangles and hands back the unique vertex of every output vertex.
    ///
    /// The input surface mesh is edited in place by the remeshing (it is the
    /// macro surface of the frontal remesher). One remesher per surface and
    /// per task: it writes only its own input and output surface meshes.
    template <>
    class SurfaceRemesher< RemeshingData< BRep > >
    {
    public:
        class Impl;

        SurfaceRemesher( RemeshingData< BRep >& data, const Surface< 3 >& surface );
        SurfaceRemesher( const SurfaceRemesher& ) = delete;
        SurfaceRemesher& operator=( const SurfaceRemesher& ) = delete;
        virtual ~SurfaceRemesher();

        /// The whole job for the surface. Throws OpenOrvaneException
        /// "[SurfaceRemesher::remesh] Remeshed surface empty" when the output
        /// surface ends without polygon; what was written stays.
        [[nodiscard]] RemeshedComponent remesh();

        [[nodiscard]] Impl& impl()
        {
            return *impl_;
        }

    protected:
        /// Fills the output surface from the input surface mesh, using the
        /// output vertices of the boundary set-up.
        virtual void do_remesh() = 0;

    private:
        std::unique_ptr< Impl > impl_;
    };

    /// The state of one surface remeshing.
    ///
    /// Invariants: every entry of `fixed_macro_vertices` owns the output
    /// vertex created for it, and `fixed_vertex_outputs` maps exactly those
    /// input vertices to their output vertices. Entry k of
    /// `result.unique_vertices` (when present) is the unique vertex output
    /// vertex k must join, NO_ID when it gets its own.
    class SurfaceRemesher< RemeshingData< BRep > >::Impl
    {
    public:
        /// Throws std::out_of_range when the mapping has no output surface
        /// for the input surface, std::bad_cast when the input mesh is not a
        /// triangulated surface.
        Impl( RemeshingData< BRep >& data, const Surface< 3 >& surface );
        Impl( const Impl& ) = delete;
        Impl& operator=( const Impl& ) = delete;
        ~Impl();

        /// Output vertices for the input vertices on the surface's boundary
        /// lines, internal lines and internal corners (in that order; the
        /// corners on the boundary come with the lines' end vertices).
        void add_boundary_vertices();

        /// Each input vertex of the surface at a line vertex kept by the line
        /// remeshing ("remeshed_line_attribute" not NO_ID) gets an output
        /// vertex tied to that output unique vertex. Throws when the line has
        /// no such attribute.
        void add_line_vertices( const Line< 3 >& line );

        /// Each input vertex of the surface at the corner gets an output
        /// vertex tied to the output corner's unique vertex.
        void add_corner_vertices( const Corner< 3 >& corner );

        /// Removes the output triangles that repeat the vertices of another:
        /// a same-oriented copy of a kept triangle goes, and triangles met in
        /// both orientations all go (they close nothing). Isolated vertices
        /// are then deleted and the unique-vertex list follows the
        /// renumbering.
        void remove_duplicated_triangles();

        /// Copies the source's polygons into the output surface, vertex v
        /// becoming map[v], with the adjacencies among them. Throws
        /// std::out_of_range for a vertex outside the map.
        void write_polygons( const SurfaceMesh< 3 >& source, absl::Span< const index_t > map );

        /// Reduces the hole piece to the vertices that have output vertices
        /// (see HolePieceEditor) and answers, per vertex of the reduced
        /// piece, its output vertex: map[piece.output_vertices[s]] for a
        /// vertex standing for piece vertex s, otherwise a new output point.
        [[nodiscard]] std::vector< index_t > fill_hole_piece(
            FrontalHolePiece< 3 >& piece, absl::Span< const index_t > map );

        /// The output vertex of the input vertex, created on first request.
        index_t fixed_output_vertex( index_t input_vertex );

        /// Entry k of the unique-vertex list, grown with NO_ID as needed.
        void set_unique_vertex( index_t output_vertex, index_t unique_vertex );

        /// Pads the unique-vertex list to the output vertex count and moves
        /// the result out.
        [[nodiscard]] RemeshedComponent release_result();

        RemeshingData< BRep >& data;
        ComponentID output_id;
        const Surface< 3 >& surface;
        const TriangulatedSurface< 3 >& mesh;
        std::unique_ptr< TriangulatedSurfaceBuilder< 3 > > builder;
        const SurfaceMesh< 3 >& output_mesh;
        std::unique_ptr< SurfaceMeshBuilder< 3 > > output_builder;
        std::vector< index_t > fixed_macro_vertices;
        absl::flat_hash_map< index_t, index_t > fixed_vertex_outputs;
        RemeshedComponent result;
    };
} // namespace orvane::internal
