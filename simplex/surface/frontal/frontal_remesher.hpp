#pragma once

#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include <absl/types/span.h>

#include <openorvane/basic/types.hpp>
#include <openorvane/geometry/point.hpp>

#include <common/cutter/determine_cuts.hpp>
#include <common/cutter/surface_path_finder.hpp>

#include <simplex/surface/frontal/frontal_records.hpp>

namespace orvane
{
    template < index_t dimension >
    class TriangulatedSurface;
    template < index_t dimension >
    class TriangulatedSurfaceBuilder;
    template < index_t dimension >
    class TriangulatedSurfaceEpsilonModifier;
} // namespace orvane

namespace orvane::internal
{
    /// The output record of a remeshing algorithm: the new surface, its
    /// builder and one (macro vertex, fixed) pair per output vertex.
    template < index_t dimension >
    class RemeshAlgo
    {
    public:
        struct Impl
        {
            Impl( const Metric< dimension >& metric,
                absl::Span< const index_t > fixed_macro_vertices );
            ~Impl();

            /// Target edge length (not owned).
            const Metric< dimension >* metric;
            /// The output surface, empty at construction.
            std::unique_ptr< TriangulatedSurface< dimension > > mesh;
            /// Builder of `mesh`.
            std::unique_ptr< TriangulatedSurfaceBuilder< dimension > > builder;
            /// Macro vertices that keep their own output vertex (not owned).
            absl::Span< const index_t > fixed_macro_vertices;
            /// Pair i is for output vertex i: the macro vertex it was made
            /// for and whether it is a fixed vertex's. Every creation of an
            /// output vertex appends its pair at once. The fixed pairs name
            /// the fixed macro vertex as the caller gave it (read it through
            /// the modifier's vertex map).
            std::vector< std::pair< index_t, bool > > created_vertices;
        };

        RemeshAlgo( const Metric< dimension >& metric,
            absl::Span< const index_t > fixed_macro_vertices );
        RemeshAlgo( const RemeshAlgo& ) = delete;
        RemeshAlgo& operator=( const RemeshAlgo& ) = delete;
        ~RemeshAlgo();

        [[nodiscard]] Impl& output()
        {
            return *output_;
        }

        [[nodiscard]] const Impl& output() const
        {
            return *output_;
        }

    private:
        std::unique_ptr< Impl > output_;
    };

    /// The advancing-front remesher of one triangulated surface, the macro
    /// surface, which it edits in place (see frontal_remesher_impl.hpp for
    /// the state and its invariants). What depends on the dimension is left
    /// to FrontalRemesher3D and FrontalRemesher2D.
    ///
    /// The working attributes "vertex info", "triangle info" and
    /// "edge info" live on the macro surface while the remesher exists and
    /// are deleted with it, also when an exception destroys it.
    template < index_t dimension >
    class FrontalRemesher : public RemeshAlgo< dimension >
    {
    public:
        class Impl;

        /// `builder` must be the macro surface's builder. The macro modifier
        /// is made by the preparation of the macro surface, once fixed
        /// vertices joining several fans have been split.
        FrontalRemesher( const TriangulatedSurface< dimension >& macro,
            TriangulatedSurfaceBuilder< dimension >& builder,
            const Metric< dimension >& metric,
            absl::Span< const index_t > fixed_macro_vertices );

        /// The same on a macro surface that the caller edits through its own
        /// snapping modifier (not owned; it must outlive the remesher). Such
        /// a modifier only exists on surfaces whose vertices each join one
        /// fan, so the preparation splits nothing.
        FrontalRemesher( const TriangulatedSurface< dimension >& macro,
            TriangulatedSurfaceBuilder< dimension >& builder,
            TriangulatedSurfaceEpsilonModifier< dimension >& modifier,
            const Metric< dimension >& metric,
            absl::Span< const index_t > fixed_macro_vertices );
        FrontalRemesher( const FrontalRemesher& ) = delete;
        FrontalRemesher& operator=( const FrontalRemesher& ) = delete;
        virtual ~FrontalRemesher();

        /// The path of crossings on the macro surface along the straight way
        /// from macro vertex a to macro vertex b, for the element; empty
        /// when none is found.
        [[nodiscard]] virtual std::optional<
            std::vector< SurfacePathCrossing > >
            find_macro_path( const FrontalQueueElement< dimension >& element,
                index_t a,
                index_t b ) = 0;

        /// The cuts of the segment a-b along a path found by
        /// find_macro_path.
        [[nodiscard]] virtual std::vector< SurfaceCut< dimension > >
            determine_cuts( index_t a,
                index_t b,
                absl::Span< const SurfacePathCrossing > path ) = 0;

        /// Indices of the cuts at least `distance` away from the segment a-b.
        [[nodiscard]] virtual std::vector< index_t > crossings_off_segment(
            index_t a,
            index_t b,
            absl::Span< const SurfaceCut< dimension > > cuts,
            double distance ) = 0;

        /// Where the new vertex over the element should go; empty when no
        /// candidate is found.
        [[nodiscard]] virtual std::optional< FrontalCandidate< dimension > >
            candidate_point( const FrontalQueueElement< dimension >& element,
                const Point< dimension >& query ) = 0;

        /// Whether the triangle over the element with apex `point` keeps the
        /// orientation of the triangle with apex `vertex`.
        [[nodiscard]] virtual bool is_well_oriented(
            const FrontalQueueElement< dimension >& element,
            const Point< dimension >& point,
            index_t vertex ) = 0;

        /// The algorithm state.
        [[nodiscard]] Impl& state()
        {
            return *impl_;
        }

        [[nodiscard]] const Impl& state() const
        {
            return *impl_;
        }

        /// Moves the output surface and its vertex pairs into a result with
        /// no hole; the output builder stays.
        [[nodiscard]] FrontalResult< dimension > release_output();

        /// Runs the whole remesh once: prepares the macro surface, builds the
        /// first front, lays triangles until the front is empty and moves the
        /// output surface and the hole pieces of what stayed open into
        /// `result`. The macro surface keeps its cuts. Throws
        /// OpenOrvaneException (or a typed child) when the bookkeeping breaks
        /// or an edit fails; the edits made so far stay.
        void remesh( FrontalResult< dimension >& result );

    private:
        std::unique_ptr< Impl > impl_;
    };
} // namespace orvane::internal
