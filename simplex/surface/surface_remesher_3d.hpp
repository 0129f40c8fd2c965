#pragma once

#include <memory>
#include <vector>

#include <absl/container/inlined_vector.h>
#include <absl/types/span.h>

#include <openorvane/basic/types.hpp>
#include <openorvane/basic/variable_attribute.hpp>
#include <openorvane/geometry/point.hpp>

#include <simplex/surface/frontal/frontal_remesher.hpp>
#include <simplex/surface/surface_remesher.hpp>

namespace orvane
{
    template < index_t dimension >
    class Metric;
} // namespace orvane

namespace orvane::internal
{
    /// Name of the vertex attribute of a hole piece that holds the plane
    /// position of each vertex under the conformal map.
    inline constexpr const char* HOLE_PIECE_PLANE_POSITIONS = "lscm";

    /// Name of the vertex attribute of a flattened hole piece that holds the
    /// 3-D position of each plane vertex (interpolated when the plane mesh
    /// is split, so that new vertices lift to the piece's surface).
    inline constexpr const char* FLATTENED_PIECE_POSITIONS = "3d";

    /// The per-surface remesher of a surface in space: the 3-D frontal
    /// remesher over the input surface, then every hole the front leaves is
    /// flattened, remeshed in the plane and lifted back, and what even the
    /// plane front leaves open is filled with the hole's own reduced
    /// triangles.
    class SurfaceRemesher3D final : public SurfaceRemesher< RemeshingData< BRep > >
    {
    public:
        using SurfaceRemesher< RemeshingData< BRep > >::SurfaceRemesher;
        ~SurfaceRemesher3D() override;

    protected:
        void do_remesh() override;
    };

    /// Runs the 3-D frontal remesher once over the macro surface, which keeps
    /// the cuts; the working attributes go with the remesher.
    [[nodiscard]] FrontalResult< 3 > run_frontal_remesher_3d(
        const TriangulatedSurface< 3 >& macro,
        TriangulatedSurfaceBuilder< 3 >& builder,
        const Metric< 3 >& metric,
        absl::Span< const index_t > fixed_macro_vertices );

    /// Runs the 2-D frontal remesher once over a plane surface.
    [[nodiscard]] FrontalResult< 2 > run_frontal_remesher_2d(
        const TriangulatedSurface< 2 >& macro,
        TriangulatedSurfaceBuilder< 2 >& builder,
        const Metric< 2 >& metric,
        absl::Span< const index_t > fixed_macro_vertices );

    /// One hole piece in flight: flattened by the conformal map, stripped of
    /// its collar, closed along its cycle elements by chord fans, remeshed in
    /// the plane with one constant size (the metric at piece vertex 0) and
    /// lifted back to 3-D.
    class HolePieceRemesher : public RemeshAlgo< 3 >
    {
    public:
        /// `fixed` lists the piece vertices that already have an output
        /// vertex; the spans and the piece mesh must outlive the remesher.
        HolePieceRemesher( const Metric< 3 >& metric,
            absl::Span< const index_t > fixed,
            const TriangulatedSurface< 3 >& piece_mesh,
            absl::Span< const index_t > collar_triangles,
            std::vector< std::vector< index_t > > element_chains );
        ~HolePieceRemesher();

        /// The plane remeshing lifted to 3-D: one output vertex per plane
        /// output vertex, at its "3d" position, the same triangles, and one
        /// 3-D piece per hole the plane front left (its output vertices
        /// index the answer's vertices).
        [[nodiscard]] FrontalResult< 3 > remesh();

        [[nodiscard]] FrontalResult< 2 > remesh_piece_in_plane();

        /// The piece flattened by the conformal map, with the same vertex
        /// and polygon numbering, and "3d" holding every vertex's 3-D
        /// position.
        [[nodiscard]] std::unique_ptr< TriangulatedSurface< 2 > > parameterize_piece();

        /// Removes the collar triangles from the flattened piece, then closes
        /// each cycle element whose macro path has three vertices or more
        /// with a fan from the middle of its chord.
        void prepare_flattened_piece( TriangulatedSurface< 2 >& flattened );

        /// The 3-D position of a vertex of the last flattened piece.
        [[nodiscard]] const Point< 3 >& lifted_point( index_t vertex ) const;

    private:
        const TriangulatedSurface< 3 >& piece_mesh_;
        std::shared_ptr< VariableAttribute< Point< 3 > > > positions_3d_;
        absl::Span< const index_t > collar_triangles_;
        std::vector< std::vector< index_t > > element_chains_;
    };

    /// One target triangle per source polygon, in order, then the source's
    /// adjacencies. The target starts without polygons.
    void copy_triangles(
        TriangulatedSurfaceBuilder< 3 >& target, const SurfaceMesh< 2 >& source );

    /// Writes the result's triangles into the output surface and answers,
    /// per vertex of the result's mesh, its output vertex: the boundary
    /// set-up's output vertex for a fixed vertex (std::out_of_range when it
    /// has none), a new output point otherwise.
    [[nodiscard]] absl::InlinedVector< index_t, 64 > transfer_frontal_result(
        SurfaceRemesher< RemeshingData< BRep > >::Impl& remesher,
        const FrontalResult< 3 >& result );
} // namespace orvane::internal
