#pragma once

#include <functional>
#include <memory>
#include <utility>

#include <absl/types/span.h>

#include <openorvane/basic/mapping.hpp>
#include <openorvane/geometry/bounding_box.hpp>
#include <openorvane/model/brep.hpp>

#include <core_support/stage_clock.hpp>

#include <explicit/component_resolution.hpp>

namespace orvane
{
    template < index_t dimension >
    class TriangulatedSurface;

    /// Makes a set of triangulated surfaces conformal and builds a model
    /// from them. The surfaces are stored as traced clones: every polygon
    /// of a stored surface carries in "mesh_element_origin" the indices of
    /// the polygons of the surface as it was added that it derives from,
    /// so that the element mappings of the result lead back to the input.
    ///
    /// The build works in passes: search the conflicts (elements that
    /// intersect or come within 1e-6 of each other), resolve every conflict
    /// zone in its own task, put the pieces in place of the zones' elements,
    /// delete the degenerate elements, and search again, until a search
    /// finds nothing.
    ///
    /// Each zone is resolved locally by default (`resolve_component`: the
    /// zone's elements inserted into a background solid, the conformal
    /// pieces extracted); tests may set another zone resolver.
    class BRepExplicitModeler
    {
    public:
        class Impl;

        /// Resolves one conflict zone of the current meshes, reading them
        /// only; runs on the thread pool beside the other zones of a pass.
        using ZoneResolver = std::function< internal::ComponentResolution(
            const internal::ModelerState&, const internal::ProblematicElements& ) >;

        /// Most passes a build makes before it gives up on conflicts that
        /// keep coming back.
        static constexpr index_t MAX_PASSES = 16;

        explicit BRepExplicitModeler( const BoundingBox< 3 >& box );
        BRepExplicitModeler( BRepExplicitModeler&& other ) noexcept;
        ~BRepExplicitModeler();

        /// Stores a traced clone of the surface (same uuid, adjacencies
        /// recomputed from its vertices). Throws OpenOrvaneException, storing
        /// nothing, for a surface whose uuid is already stored, with a
        /// non-finite coordinate, with a polygon that is not a triangle of
        /// three distinct vertices.
        void add_triangulated_surface( const TriangulatedSurface< 3 >& surface );

        /// The conformal model of the stored surfaces and its mappings, the
        /// element mappings keyed by input element indices. Edits the stored
        /// surfaces in place and leaves them edited, also when it throws.
        /// Throws BRepExplicitModelerRemainingException, listing at least
        /// one element, when a pass inserts none of its zones' elements or
        /// conflicts remain after MAX_PASSES passes; lets the failures of
        /// the search and of the zones through. The observer, when given, is
        /// told the time of the conflict passes ("explicit modeling") and of
        /// the model building ("model building").
        std::pair< BRep, ModelMappings > build(
            const internal::StageObserver& observer = {} );

        /// Replaces the resolution of conflict zones.
        void set_zone_resolver( ZoneResolver resolver );

        const BoundingBox< 3 >& bounding_box() const;

        /// The stored surfaces, in the order added.
        std::vector< const TriangulatedSurface< 3 >* > surfaces() const;

    private:
        std::unique_ptr< Impl > impl_;
    };
} // namespace orvane
