#pragma once

#include <absl/container/flat_hash_map.h>
#include <absl/container/inlined_vector.h>

#include <openorvane/basic/types.hpp>
#include <openorvane/basic/uuid.hpp>
#include <openorvane/mesh/mesh_records.hpp>

namespace orvane
{
    class BRep;
    template < index_t dimension >
    class Surface;

    /// Every component mesh element that stands for one model triangle: the
    /// surface polygons and the block facets whose vertices are linked to
    /// the same unique vertices.
    struct BRepComponentMeshPolygons
    {
        /// Surface uuid to its polygons.
        absl::flat_hash_map< uuid, absl::InlinedVector< index_t, 1 > > surfaces;
        /// Block uuid to its polyhedron facets (one per polyhedron on either
        /// side).
        absl::flat_hash_map< uuid, absl::InlinedVector< PolyhedronFacet, 2 > > blocks;
    };

    /// The component mesh polygons of the model triangle of a surface
    /// polygon. When a vertex of the polygon has no unique vertex, only the
    /// polygon itself is listed.
    BRepComponentMeshPolygons component_mesh_polygons(
        const BRep& model, const Surface< 3 >& surface, index_t polygon_id );
} // namespace orvane
