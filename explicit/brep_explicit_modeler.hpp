#pragma once

#include <memory>
#include <utility>

#include <absl/types/span.h>

#include <openorvane/basic/mapping.hpp>
#include <openorvane/geometry/bounding_box.hpp>
#include <openorvane/model/brep.hpp>

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
    /// Input whose surfaces intersect or touch other than through shared
    /// vertices and edges is refused for now: resolving conflict zones is
    /// not available yet.
    class BRepExplicitModeler
    {
    public:
        class Impl;

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
        /// surfaces in place (degenerate triangles are deleted).
        std::pair< BRep, ModelMappings > build();

        const BoundingBox< 3 >& bounding_box() const;

        /// The stored surfaces, in the order added.
        std::vector< const TriangulatedSurface< 3 >* > surfaces() const;

    private:
        std::unique_ptr< Impl > impl_;
    };
} // namespace orvane
