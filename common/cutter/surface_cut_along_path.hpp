#pragma once

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include <absl/container/inlined_vector.h>
#include <absl/types/span.h>

#include <openorvane/basic/exception.hpp>
#include <openorvane/basic/types.hpp>
#include <openorvane/geometry/point.hpp>
#include <openorvane/mesh/mesh_records.hpp>

#include <common/cutter/determine_cuts.hpp>
#include <common/cutter/surface_cut_edge_map.hpp>
#include <common/modifier/vertices_modifier.hpp>

namespace orvane
{
    template < index_t dimension >
    class TriangulatedSurface;
    template < index_t dimension >
    class TriangulatedSurfaceModifier;

    /// The vertex that carries one cut.
    struct SurfaceCutVertex
    {
        /// NO_ID while no vertex carries the cut (a refused split).
        index_t vertex{ NO_ID };
        /// The vertices of the uncut surface that now coincide with
        /// `vertex`: the vertex itself for a cut on a vertex, the single
        /// NO_ID for a vertex made by a split, the union of both after a
        /// collapse.
        absl::InlinedVector< index_t, 4 > source_vertices;

        bool operator==( const SurfaceCutVertex& ) const = default;
    };

    /// A polygon edge that a cut made, replaced or laid on the path, with the
    /// edges of the uncut surface it stems from (the single unset edge when
    /// it stems from none, as an edge drawn across a triangle).
    struct SurfaceCutEdge
    {
        PolygonEdge edge;
        absl::InlinedVector< PolygonEdge, 2 > origins;

        bool operator==( const SurfaceCutEdge& ) const = default;
    };

    /// What a cut along a path did. The edge lists hold live polygon edges
    /// only, each sorted by polygon then local edge, each origin list sorted
    /// the same way.
    struct SurfaceCutAlongPathResult
    {
        /// One entry per kept cut, in path order.
        std::vector< SurfaceCutVertex > cut_vertices;
        /// The live polygons made by the splits with the polygons they
        /// replace, each once.
        std::vector< ElementOrigin > polygons;
        /// Edges made or changed by the cut that are not on the path.
        std::vector< SurfaceCutEdge > created_edges;
        /// Path edges oriented from the path's beginning toward its end: for
        /// counter-clockwise polygons, the polygons on the left of the path.
        std::vector< SurfaceCutEdge > left_path_edges;
        /// Path edges of the polygons on the other side.
        std::vector< SurfaceCutEdge > right_path_edges;
    };

    /// Raised by SurfaceCutAlongPath when some splits were refused or some
    /// edges could not be collapsed. Every other cut was made: the exception
    /// carries the result as it would have been returned, so that the caller
    /// can keep the edits and repair.
    template < index_t dimension >
    class SurfaceCutPathException : public OpenOrvaneException
    {
    public:
        /// The fixed message "Invalid operation in cut_along_path on surface"
        /// with empty fields. Like every fixed-message exception it records
        /// no stack.
        SurfaceCutPathException();
        SurfaceCutPathException( const SurfaceCutPathException& ) = default;
        SurfaceCutPathException& operator=(
            const SurfaceCutPathException& ) = default;
        ~SurfaceCutPathException() override;

        /// Edge cuts (point, edge) whose split would have made a flat or
        /// inverted triangle.
        std::vector< std::pair< Point< dimension >, PolygonEdge > > leftover_cuts;
        /// Edges of length at most 1e-6 that no collapse removed.
        std::vector< PolygonEdge > degenerate_edges;
        SurfaceCutAlongPathResult result;
    };

    /// Makes the cuts of determine_cuts real: afterwards the path from the
    /// begin vertex to the end vertex is a chain of edges of the surface.
    ///
    /// A cut on a vertex keeps the vertex; a cut inside an edge splits the
    /// edge and its neighbouring triangles there. In 2-D a split that would
    /// make a flat or inverted triangle is refused. Edges of length at most
    /// 1e-6 left by the splits are collapsed onto one of their ends when the
    /// collapse keeps the surface valid.
    ///
    /// All edits go through the modifier, which keeps replaced triangles as
    /// inactive; the cutter never cleans the surface. The object is built on
    /// the caller's stack, used for one call and edits a surface that no
    /// other task touches meanwhile.
    template < index_t dimension >
    class SurfaceCutAlongPath
    {
    public:
        SurfaceCutAlongPath( const TriangulatedSurface< dimension >& mesh,
            TriangulatedSurfaceModifier< dimension >& modifier,
            index_t begin,
            index_t end,
            absl::Span< const SurfaceCut< dimension > > cuts );
        SurfaceCutAlongPath( const SurfaceCutAlongPath& ) = delete;
        SurfaceCutAlongPath& operator=( const SurfaceCutAlongPath& ) = delete;
        ~SurfaceCutAlongPath();

        /// Cuts the surface. One cut changes nothing and gives an empty
        /// result; two cuts are taken to be the begin and end vertices.
        ///
        /// Throws SurfaceCutPathException<dimension> after all other cuts when
        /// a split was refused or a short edge remains (the edits stay).
        /// Throws OpenOrvaneException, before any edit, when a cut names a
        /// vertex or an edge that the surface does not have, and during the
        /// cut when the cuts do not follow a path of the surface (an edge cut
        /// whose edge a previous split removed).
        SurfaceCutAlongPathResult cut_along_path();

    private:
        class Impl;
        std::unique_ptr< Impl > impl_;
    };
} // namespace orvane
