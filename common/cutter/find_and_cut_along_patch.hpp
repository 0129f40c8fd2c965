#pragma once

#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <absl/container/flat_hash_set.h>
#include <absl/types/span.h>

#include <openorvane/basic/exception.hpp>
#include <openorvane/basic/types.hpp>
#include <openorvane/geometry/basic_objects.hpp>
#include <openorvane/geometry/point.hpp>
#include <openorvane/geometry/predicates.hpp>
#include <openorvane/mesh/mesh_records.hpp>

#include <common/cutter/patch_surface.hpp>
#include <common/cutter/solid_cut_along_path.hpp>
#include <common/modifier/vertices_modifier.hpp>

namespace orvane
{
    template < index_t dimension >
    class TetrahedralSolid;
    class TetrahedralSolidModifier;

    /// What cutting a solid along a triangle changed.
    struct CutAlongPatchResult
    {
        /// The solid vertices the front took as apexes, each with itself as
        /// origin, in the order they were taken.
        std::vector< ElementEntry > cut_vertices;
        /// The solid facets that together cover the triangle.
        std::vector< ElementEntry > patch_facets;
        /// Other facets the cut created or changed.
        std::vector< ElementEntry > modified_facets;
        /// Edges the cut created or changed.
        std::vector< ElementEntry > modified_edges;
        /// The live tetrahedra the cut created, with those they replace.
        std::vector< ElementOrigin > tetrahedra;
        /// Edges shorter than 1e-6 that no collapse could remove.
        std::vector< index_t > short_edges;
    };

    /// An edge crossing the triangle whose split at `point` was refused.
    struct PostponedPatchCut
    {
        Point< 3 > point;
        PolyhedronFacetEdge edge;
    };

    /// Raised when a solid cannot be cut along the whole triangle. The solid
    /// keeps every edit made; the partial result describes them so that the
    /// caller can repair the solid around the refused cuts and try again.
    class CutPatchException : public OpenOrvaneException
    {
    public:
        CutPatchException();
        CutPatchException( const CutPatchException& ) = default;
        CutPatchException& operator=( const CutPatchException& ) = default;
        ~CutPatchException() override;

        /// Set only when the front found no apex for one of its edges.
        bool front_blocked{ false };
        /// Crossing edges whose split would have made a non-positive
        /// tetrahedron, in the order met.
        std::vector< PostponedPatchCut > postponed_cuts;
        /// The vertices the edge splits of the preparation created.
        std::vector< index_t > split_vertices;
        CutAlongPatchResult result;
    };

    /// Makes a tetrahedral solid contain a triangle as a union of its facets.
    ///
    /// The triangle's sides must already be chains of solid edges: they are
    /// given as the boundary edges, in order around the triangle. `prepare`
    /// splits every solid edge that crosses the triangle's interior; `process`
    /// then covers the triangle facet by facet with a front advancing from
    /// the boundary, taking for each front edge an apex among the vertices
    /// of the tetrahedra around it. Finally, edges shorter than 1e-6 left by
    /// the splits are collapsed where valid.
    ///
    /// Every edit goes through the modifier, which keeps replaced elements
    /// as inactive. The solid's edge and facet tables are enabled by the
    /// constructor. A cutter serves one triangle and is used by one thread;
    /// cutters of different tasks on different solids may run concurrently.
    class FindAndCutAlongPatchImpl
    {
    public:
        /// Builds the front cycles from the boundary edges and the
        /// orientation of the boundary seen along the triangle's normal.
        /// Throws OpenOrvaneException when the boundary closes no cycle,
        /// when the triangle has no normal, or when the boundary's
        /// orientation cannot be found. The cutter keeps references to the
        /// solid, the modifier, the triangle and the boundary edges: they
        /// must outlive it.
        FindAndCutAlongPatchImpl( const TetrahedralSolid< 3 >& solid,
            TetrahedralSolidModifier& modifier,
            const Triangle< 3 >& triangle,
            absl::Span< const PatchBoundaryEdge > boundary_edges );
        FindAndCutAlongPatchImpl( const FindAndCutAlongPatchImpl& ) = delete;
        FindAndCutAlongPatchImpl& operator=(
            const FindAndCutAlongPatchImpl& ) = delete;
        ~FindAndCutAlongPatchImpl();

        /// Splits the solid edges that cross the triangle's interior, at
        /// their crossing points; returns the number of splits. Throws
        /// CutPatchException when a split is refused (after every other split
        /// is made) or a crossing cannot be computed.
        index_t prepare();

        /// Covers the triangle with solid facets. Throws CutPatchException
        /// when the front cannot advance, and OpenOrvaneException when it
        /// needs more than 100 steps per boundary edge.
        void process();

        /// Moves the result out; call after `process`.
        CutAlongPatchResult take_result();

        [[nodiscard]] local_index_t projection_axis() const
        {
            return projection_axis_;
        }

        [[nodiscard]] SIDE forward_sign() const
        {
            return forward_sign_;
        }

        [[nodiscard]] const std::vector< FrontCycle >& front_cycles() const
        {
            return front_cycles_;
        }

        [[nodiscard]] const PatchSurface& patch_surface() const
        {
            return *patch_;
        }

    private:
        void build_front_cycles();
        [[nodiscard]] SIDE get_forward_sign() const;
        void gather_crossing_edges( std::deque< PolyhedronFacetEdge >& crossing );
        index_t process_prepare( std::deque< PolyhedronFacetEdge >& crossing );
        [[nodiscard]] std::optional< Point< 3 > > cut_point(
            const PolyhedronFacetEdge& edge, const Segment< 3 >& segment );
        [[nodiscard]] index_t find_next_cut( index_t front_vertex,
            index_t next_vertex,
            const FrontCycle& cycle );
        [[nodiscard]] std::optional< index_t > find_cycle_apex(
            index_t front_vertex,
            index_t next_vertex,
            absl::Span< const index_t > candidates,
            const FrontCycle& cycle ) const;
        void add_patch_triangle( index_t front, index_t next, index_t apex );
        void perform_one_cut( index_t apex );
        void collapse_short_edges();
        void finalise();
        [[noreturn]] void fail();
        [[nodiscard]] bool is_on_triangle( const Point< 3 >& point ) const;
        [[nodiscard]] SIDE apex_side(
            index_t front_vertex, index_t next_vertex, index_t apex ) const;

    private:
        const TetrahedralSolid< 3 >& solid_;
        const Triangle< 3 >& triangle_;
        absl::Span< const PatchBoundaryEdge > boundary_edges_;
        TetrahedralSolidModifier& modifier_;
        local_index_t projection_axis_{ 0 };
        SIDE forward_sign_{ SIDE::zero };
        SIDE backward_side_{ SIDE::zero };
        std::unique_ptr< PatchSurface > patch_;
        std::vector< FrontCycle > front_cycles_;
        CutAlongPatchResult result_;
        CutPatchException failure_;
        absl::flat_hash_set< index_t > apexes_;
        bool finalised_{ false };
    };

    namespace detail
    {
        /// Writes what a failed patch cut was working on, for inspection:
        /// the tetrahedron as "tetrahedra_<n>.oo_tso3d" and the front cycles,
        /// each as a closed chain of edges at the points of their solid
        /// vertices, as "cycles_<n>_999.oo_edc3d", both in the working
        /// directory. n numbers the dumps of the process from 0, so that
        /// concurrent dumps never write the same files. Returns the written
        /// file names.
        std::vector< std::string > save_patch_cut_failure(
            const TetrahedralSolid< 3 >& solid,
            index_t tetrahedron,
            const PatchSurface& patch,
            absl::Span< const FrontCycle > cycles );
    } // namespace detail
} // namespace orvane
