#pragma once

#include <array>
#include <memory>
#include <optional>
#include <queue>
#include <utility>
#include <vector>

#include <absl/container/flat_hash_map.h>
#include <absl/container/inlined_vector.h>
#include <absl/types/span.h>

#include <openorvane/basic/attribute_manager.hpp>
#include <openorvane/basic/variable_attribute.hpp>
#include <openorvane/mesh/triangulated_surface.hpp>
#include <openorvane/mesh/triangulated_surface_builder.hpp>

#include <common/cutter/surface_cut_along_path.hpp>
#include <common/modifier/triangulated_surface_modifier.hpp>

#include <simplex/surface/frontal/frontal_remesher.hpp>

namespace orvane::internal
{
    /// Names of the working attributes of the frontal remesher on the macro
    /// surface.
    inline constexpr const char* FRONTAL_VERTEX_INFO = "vertex info";
    inline constexpr const char* FRONTAL_TRIANGLE_INFO = "triangle info";
    inline constexpr const char* FRONTAL_EDGE_INFO = "edge info";

    /// "triangle info" of a macro polygon being gathered into a hole piece.
    inline constexpr index_t FRONTAL_HOLE_MARK = 0xFFFFFFFE;

    /// Per local edge of a macro polygon: the elements whose macro path uses
    /// that polygon edge.
    using FrontalEdgeInfo = std::array< absl::InlinedVector< index_t, 1 >, 3 >;

    /// The state of the frontal remesher.
    ///
    /// Vocabulary: the macro surface is the surface being remeshed (its
    /// vertices, polygons and polygon edges are macro vertices, polygons and
    /// edges); the output mesh is the new surface. A front element is a
    /// directed front edge v0 -> v1 between macro vertices, identified by its
    /// index in the element database (dense from 0, never reused). Its macro
    /// path is the chain of macro edges from v0 to v1 along which it was cut
    /// into the macro surface; each macro edge of the chain lists the element
    /// in its "edge info" entry, on one side of the edge only (the twin edge
    /// of the adjacent polygon may list other elements). An element is open
    /// while it has no output triangle on its open side (`second` is NO_ID);
    /// closed elements never reopen.
    ///
    /// Attributes on the macro surface (properties all false):
    /// - "vertex info" (vertex, index_t, NO_ID): the output vertex made for
    ///   the macro vertex;
    /// - "triangle info" (polygon, index_t, NO_ID): the output triangle that
    ///   covers the macro polygon (FRONTAL_HOLE_MARK while gathered into a
    ///   hole piece);
    /// - "edge info" (polygon, FrontalEdgeInfo, empty lists).
    ///
    /// Every macro vertex id stored before an edit is read back through
    /// `updated_vertex` before use: collapses made by later edits may have
    /// merged it.
    template < index_t dimension >
    class FrontalRemesher< dimension >::Impl
    {
    public:
        using Queue = std::priority_queue< FrontalQueueElement< dimension >,
            std::vector< FrontalQueueElement< dimension > >,
            FrontalQueueOrder >;
        using Steps = absl::InlinedVector< MacroEdgeStep, 4 >;

        Impl( FrontalRemesher< dimension >& owner,
            const TriangulatedSurface< dimension >& macro,
            TriangulatedSurfaceBuilder< dimension >& builder );
        Impl( const Impl& ) = delete;
        Impl& operator=( const Impl& ) = delete;
        /// Deletes the three working attributes from the macro surface.
        ~Impl();

        // Macro surface preparation

        /// Splits fixed vertices joining several fans (cut_surface_by_lines),
        /// makes the macro modifier, collapses every active macro edge of
        /// length at most 1e-6 and gives every fixed macro vertex its output
        /// vertex (one shared by all copies of a split vertex).
        void prepare_macro_surface();

        /// Splits every fixed macro vertex joining k > 1 fans into k vertices
        /// (the first k - 1 fans found take new vertices, the last keeps the
        /// original) and answers the new vertices of each split vertex.
        /// Throws "[ModelFromMeshBuilder::cut_surface_by_lines] Wrong size
        /// comparison" when the fans of a vertex do not partition its
        /// corners.
        absl::flat_hash_map< index_t, std::vector< index_t > >
            cut_surface_by_lines();

        /// Reserves the macro attribute managers for ten times their element
        /// counts and creates "triangle info" and "edge info".
        void create_macro_attributes();

        /// The output vertex of a fixed macro vertex as the caller gave it.
        /// Throws OpenOrvaneException when it has none.
        [[nodiscard]] index_t fixed_output_vertex( index_t fixed_vertex );

        // Front element operations

        /// The output vertex of the macro vertex, made on first request.
        index_t output_vertex( index_t vertex, bool fixed );

        /// The element's stored vertices through the vertex map. Throws
        /// std::out_of_range for an unknown id.
        [[nodiscard]] std::pair< index_t, index_t > element_vertices(
            index_t element );

        /// The macro vertex at the candidate's point: a vertex of its polygon
        /// within squared distance 1e-12, else a split of an edge without
        /// open element within 1e-6, else a split of the polygon.
        index_t macro_vertex_at_point( const FrontalCandidate< dimension >& candidate );

        /// The element on the polygon edges around the polygon's vertex at
        /// `point`, with that vertex's position; empty when no vertex of the
        /// polygon is at the point.
        [[nodiscard]] std::optional< std::pair< index_t, Point< dimension > > >
            element_at_polygon_vertex(
                index_t polygon, const Point< dimension >& point );

        /// The single open element other than `element` on the edge or its
        /// twin; empty when there is not exactly one.
        [[nodiscard]] std::optional< index_t > other_open_element_on_edge(
            const PolygonEdge& edge, index_t element );

        /// Appends the element lists of each record's origin edges to the
        /// record's edge.
        void inherit_edge_info( absl::Span< const SurfaceCutEdge > edges );

        // Macro-edge walks

        /// Ids on the edge's entry that are beyond the database or open.
        [[nodiscard]] std::vector< index_t > open_elements_on_edge(
            const PolygonEdge& edge ) const;

        /// open_elements_on_edge of the edge and its twin, sorted, unique.
        [[nodiscard]] std::vector< index_t > open_elements_on_macro_edge(
            const PolygonEdge& edge ) const;

        /// The open element running along the edge in its direction (the
        /// smallest id when several do), else NO_ID.
        [[nodiscard]] index_t element_on_polygon_edge( const PolygonEdge& edge );

        /// The steps of the element's macro path at the vertex, each leading
        /// away from it.
        [[nodiscard]] Steps element_edges_around_vertex(
            index_t element, index_t vertex ) const;

        /// The next step of the element's macro path after `step`; empty
        /// when the step arrives at an end of the element.
        [[nodiscard]] std::optional< MacroEdgeStep > find_next_edge_on_macro_edge(
            const MacroEdgeStep& step, index_t element );

        /// The element's macro path from a to b (either direction).
        [[nodiscard]] std::vector< MacroEdgeStep > macro_edge_path(
            index_t a, index_t b, index_t element );

        [[nodiscard]] bool edge_info_holds(
            const PolygonEdge& edge, index_t element ) const;

        [[nodiscard]] bool is_covered( index_t polygon ) const
        {
            return triangle_info->value( polygon ) != NO_ID;
        }

        [[nodiscard]] index_t updated_vertex( index_t vertex )
        {
            return modifier ? modifier->updated_vertex( vertex ) : vertex;
        }

        [[nodiscard]] typename RemeshAlgo< dimension >::Impl& output()
        {
            return owner->output();
        }

        FrontalRemesher< dimension >* owner;
        const TriangulatedSurface< dimension >& macro;
        TriangulatedSurfaceBuilder< dimension >& builder;
        /// Made by prepare_macro_surface; owned because it may only be made
        /// once no vertex joins several fans.
        std::unique_ptr< TriangulatedSurfaceEpsilonModifier< dimension > > modifier;
        Queue front;
        std::shared_ptr< VariableAttribute< index_t > > vertex_info;
        std::shared_ptr< VariableAttribute< index_t > > triangle_info;
        std::shared_ptr< VariableAttribute< FrontalEdgeInfo > > edge_info;
        /// Per element: (output triangle on its meshed side, NO_ID for the
        /// initial border; output triangle closing it, NO_ID while open).
        std::vector< std::pair< index_t, index_t > > element_triangles;
        /// Per element: its macro vertices as stored at creation. Always as
        /// long as element_triangles.
        std::vector< std::pair< index_t, index_t > > element_vertices_;
    };
} // namespace orvane::internal
