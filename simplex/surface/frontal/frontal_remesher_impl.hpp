#pragma once

#include <algorithm>
#include <array>
#include <limits>
#include <memory>
#include <optional>
#include <queue>
#include <utility>
#include <vector>

#include <absl/container/flat_hash_map.h>
#include <absl/container/flat_hash_set.h>
#include <absl/container/inlined_vector.h>
#include <absl/functional/function_ref.h>
#include <absl/types/span.h>

#include <openorvane/basic/attribute_manager.hpp>
#include <openorvane/basic/variable_attribute.hpp>
#include <openorvane/mesh/triangulated_surface.hpp>
#include <openorvane/mesh/triangulated_surface_builder.hpp>

#include <common/cutter/surface_cut_along_path.hpp>
#include <common/modifier/triangulated_surface_modifier.hpp>

#include <simplex/surface/frontal/frontal_edge_info.hpp>
#include <simplex/surface/frontal/frontal_marks.hpp>
#include <simplex/surface/frontal/frontal_queue.hpp>
#include <simplex/surface/frontal/frontal_remesher.hpp>

namespace orvane::internal
{
    /// The midpoint of the element being processed and the distance from it
    /// of the last apex proposed: shared by every attempt for one element so
    /// that successive proposals come ever closer to the midpoint.
    template < index_t dimension >
    struct FrontEdgeMidpoint
    {
        Point< dimension > point;
        double nearest{ std::numeric_limits< double >::max() };
    };

    /// The cuts of a side along its macro path, and the indices of those
    /// that stray from the straight side by the tolerance or more.
    template < index_t dimension >
    struct MacroEdgeCutPlan
    {
        std::vector< SurfaceCut< dimension > > cuts;
        std::vector< index_t > off_segment;
    };

    /// One boundary edge of the region a new triangle covers: the polygon
    /// edge whose polygon lies inside the triangle (outside when
    /// `no_inner_polygon`), keyed by its two vertices sorted.
    struct FrontalBoundaryRecord
    {
        bool no_inner_polygon{ false };
        PolygonEdge edge;
        std::pair< index_t, index_t > vertices;
    };

    /// Names of the working attributes of the frontal remesher on the macro
    /// surface.
    inline constexpr const char* FRONTAL_VERTEX_INFO = "vertex info";
    inline constexpr const char* FRONTAL_TRIANGLE_INFO = "triangle info";
    inline constexpr const char* FRONTAL_EDGE_INFO = "edge info";

    /// "triangle info" of a macro polygon being gathered into a hole piece.
    inline constexpr index_t FRONTAL_HOLE_MARK = 0xFFFFFFFE;

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
        using Queue = FrontalQueue< dimension >;
        using Steps = absl::InlinedVector< MacroEdgeStep, 4 >;
        /// A macro path: a few steps on most elements, kept off the heap.
        using MacroEdgePath = absl::InlinedVector< MacroEdgeStep, 8 >;
        /// The macro polygons under a new triangle: about ten on a remesh
        /// that follows the macro surface's own size.
        using CoveredPolygons = absl::InlinedVector< index_t, 32 >;
        /// Front vertices near a candidate with their distances: a handful
        /// per triangle, kept off the heap.
        using NearbyVertices =
            absl::InlinedVector< std::pair< index_t, double >, 16 >;

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
        /// counts, or for the elements the cuts of the expected output add
        /// when that is more, and creates "triangle info" and "edge info".
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

        /// element_on_polygon_edge with the polygon across the edge already
        /// read (macro.polygon_adjacent( edge )). Asked for every edge a
        /// search crosses: inline, and the open ids are counted without
        /// gathering them, since nearly every edge lists no open id or a
        /// single one; the rare edge listing several goes to
        /// element_among_open_ids.
        [[nodiscard]] index_t element_on_polygon_edge(
            const PolygonEdge& edge, std::optional< index_t > adjacent )
        {
            index_t nb_open{ 0 };
            index_t first_open{ NO_ID };
            for( const auto id : edge_info->value( edge.polygon_id )[edge.edge_id] )
            {
                if( is_open_element( id ) )
                {
                    if( nb_open++ == 0 )
                    {
                        first_open = id;
                    }
                }
            }
            if( nb_open == 1 )
            {
                return first_open;
            }
            if( nb_open > 1 )
            {
                return element_among_open_ids( edge );
            }
            // Most polygons beside a search list nothing at all: their record
            // answers before the twin edge is looked for. The attribute has
            // one record per polygon.
            if( !adjacent || *adjacent >= edge_info->size()
                || edge_info->value( *adjacent ).empty() )
            {
                return NO_ID;
            }
            index_t smallest{ NO_ID };
            if( const auto twin = macro.polygon_adjacent_edge( edge ) )
            {
                for( const auto id :
                    edge_info->value( twin->polygon_id )[twin->edge_id] )
                {
                    if( is_open_element( id ) )
                    {
                        smallest = std::min( smallest, id );
                    }
                }
            }
            return smallest;
        }

        /// Whether the element is still open: no output triangle closes it
        /// yet (an id reserved for an element not yet registered counts as
        /// open).
        [[nodiscard]] bool is_open_element( index_t id ) const
        {
            return id >= element_triangles.size()
                   || element_triangles[id].second == NO_ID;
        }

        /// element_on_polygon_edge for an edge listing several open ids: the
        /// smallest of those whose macro path, followed from the edge,
        /// arrives at the element's second end.
        [[nodiscard]] index_t element_among_open_ids( const PolygonEdge& edge );

        /// The steps of the element's macro path at the vertex, each leading
        /// away from it.
        [[nodiscard]] Steps element_edges_around_vertex(
            index_t element, index_t vertex ) const;

        /// The next step of the element's macro path after `step`; empty
        /// when the step arrives at an end of the element.
        [[nodiscard]] std::optional< MacroEdgeStep > find_next_edge_on_macro_edge(
            const MacroEdgeStep& step, index_t element );

        /// find_next_edge_on_macro_edge with the element's ends (through the
        /// vertex map) already read, empty for an id beyond the database.
        [[nodiscard]] std::optional< MacroEdgeStep > next_path_step(
            const MacroEdgeStep& step,
            index_t element,
            const std::optional< std::pair< index_t, index_t > >& ends ) const;

        /// The element's macro path from a to b (either direction).
        [[nodiscard]] MacroEdgePath macro_edge_path(
            index_t a, index_t b, index_t element );

        /// Calls `visit` on the steps of macro_edge_path( a, b, element ) in
        /// their order until one call answers true, and answers whether one
        /// did. The steps after that one are never looked for, so a search
        /// that stops at the first step it wants walks no fan beyond it.
        bool visit_macro_edge_path( index_t a,
            index_t b,
            index_t element,
            absl::FunctionRef< bool( const MacroEdgeStep& ) > visit );

        // Front initialisation and element bookkeeping

        /// The first front: one border element (kind 0) per stretch of the
        /// macro border between two vertices with output vertices, each
        /// listed on every polygon edge of its stretch; without any, three
        /// elements around a seed triangle copied from the first active
        /// polygon. Throws "[Frontal::initialize_queue] macro edge too long"
        /// on a stretch of more than 10000 edges.
        void initialize_queue();

        /// Makes the output vertices of v0 and v1, pushes the entry on the
        /// front and appends the element to the database; answers its id.
        index_t add_queue_element(
            index_t v0, index_t v1, index_t first_triangle, index_t kind );

        /// Records the new output triangle on the side start -> end (the
        /// triangle on its right): creates the side's new element, or closes
        /// the existing element it names and links the triangles.
        void update_macro_edge_info( const MacroEdgeInfo& info,
            index_t triangle,
            index_t start,
            index_t end );

        /// Makes the new triangle and the element's first triangle adjacent
        /// across the output edge a-b; answers the first triangle (NO_ID for
        /// a border element, which links nothing).
        index_t set_element_adjacency(
            index_t a, index_t b, index_t triangle, index_t element );

        /// The ids listed on the polygon edges starting or ending at the
        /// vertex, around its fan (repeats kept).
        [[nodiscard]] std::vector< index_t > elements_around_vertex(
            index_t vertex ) const;

        /// Calls `visit` (index_t) -> bool on the ids of
        /// elements_around_vertex, in its order, until one call answers
        /// true; answers whether one did. Gathers nothing on the heap.
        template < typename Visit >
        bool visit_elements_around_vertex( index_t vertex, Visit&& visit ) const
        {
            const auto fan = macro.polygons_around_vertex( vertex );
            prefetch_fan_records( fan );
            for( const auto& corner : fan )
            {
                const auto& info = edge_info->value( corner.polygon_id );
                for( const auto local :
                    { corner.vertex_id, static_cast< local_index_t >(
                                            ( corner.vertex_id + 2 ) % 3 ) } )
                {
                    for( const auto element : info[local] )
                    {
                        if( visit( element ) )
                        {
                            return true;
                        }
                    }
                }
            }
            return false;
        }

        /// The first id around b that is also around a.
        [[nodiscard]] std::optional< index_t > common_element(
            index_t a, index_t b ) const;

        /// The element running from a to b, judged on common_element only.
        [[nodiscard]] std::optional< index_t > find_element( index_t a, index_t b );

        /// ( find_element( b, a ), find_element( a, b ) ), walking the fans
        /// of a and b once each.
        [[nodiscard]] std::pair< std::optional< index_t >, std::optional< index_t > >
            find_elements_between( index_t a, index_t b );

        /// The element when it is in the database and runs from a to b.
        [[nodiscard]] std::optional< index_t > element_running(
            std::optional< index_t > element, index_t a, index_t b );

        void add_edge_element( const PolygonEdge& edge, index_t element );
        void add_element_to_edges(
            absl::Span< const PolygonEdge > edges, index_t element );
        /// Appends the ids of `from` to `to`; nothing when `from` is the
        /// unset edge or `to` itself.
        void copy_edge_elements( const PolygonEdge& to, const PolygonEdge& from );
        /// Removes the first occurrence of the side's element from each
        /// polygon edge of its macro path.
        void remove_macro_edge_element( const MacroEdgeInfo& info );

        // Side of a new triangle

        /// Settles the side a -> b of a new triangle: closes an open element
        /// running from b to a, cuts a new side into the macro surface under
        /// the reserved id, proposes a better apex among the cuts straying
        /// from a-b by `tolerance` or more, or answers nothing.
        std::optional< MacroEdgeInfo > process_macro_edge( index_t a,
            index_t b,
            index_t reserved_id,
            double tolerance,
            FrontEdgeMidpoint< dimension >& midpoint,
            const FrontalQueueElement< dimension >& element );

        /// Whether a front vertex next to the cut lies closer than the
        /// tolerance to its point: such a cut is never proposed as apex.
        [[nodiscard]] bool near_front_vertex( const SurfaceCut< dimension >& cut,
            const Point< dimension >& point,
            double tolerance ) const;

        /// The cuts of a-b along the path and the straying ones; nothing
        /// when the side touches a vertex other than a and b that has an
        /// output vertex.
        std::optional< MacroEdgeCutPlan< dimension > > macro_edge_cuts( index_t a,
            index_t b,
            absl::Span< const SurfacePathCrossing > path,
            double tolerance );

        /// The side a -> b closing the open element running from b to a.
        [[nodiscard]] MacroEdgeInfo existing_macro_edge_info(
            index_t a, index_t b, index_t element );

        /// The side cut into the macro surface: carries the output vertices
        /// over to the vertices of the cut and gathers its edges.
        MacroEdgeInfo new_macro_edge_info( index_t a,
            index_t b,
            index_t reserved_id,
            const SurfaceCutAlongPathResult& cut );

        /// (border edges, path edges) of a cut; passes the element lists of
        /// the replaced edges on to the new ones.
        std::pair< std::vector< PolygonEdge >, std::vector< PolygonEdge > >
            collect_cut_edges( const SurfaceCutAlongPathResult& cut );

        // Laying a triangle

        /// Chooses the apex of the triangle over the element: first the
        /// front vertices near the candidate, then a vertex made at the
        /// candidate point. Answers whether a triangle was built.
        bool process_candidate( FrontalQueueElement< dimension >& element,
            const FrontalCandidate< dimension >& candidate );

        /// Front vertices the new vertex should snap to, with their
        /// distances, nearest first.
        [[nodiscard]] NearbyVertices nearby_front_vertices(
            const FrontalQueueElement< dimension >& element,
            const FrontalCandidate< dimension >& candidate );

        /// Builds the triangle (v0, v1, apex) on the left of the element, or
        /// retries with the apex a side or the covered region proposes.
        bool process_macro_triangle( FrontalQueueElement< dimension >& element,
            double tolerance,
            FrontEdgeMidpoint< dimension >& midpoint );

        /// The macro polygons bounded by the two sides and the element.
        /// The path of a side closing an open element is taken as read
        /// when the side was settled when nothing was edited since: always
        /// for the second side, and for the first when the second closes an
        /// open element too (settling a new side cuts the surface).
        CoveredPolygons init_stack( const MacroEdgeInfo& first,
            const MacroEdgeInfo& second,
            const FrontalQueueElement< dimension >& element );

        /// Appends the boundary records of the element's macro path from a
        /// to b to scratch_boundary, numbered in the order met. A vertex pair
        /// met an even number of times drops out; one met an odd number of
        /// times keeps its last record.
        void add_path_boundary( index_t a, index_t b, index_t element );

        /// add_path_boundary for the steps of a path already read.
        void add_steps_boundary( absl::Span< const MacroEdgeStep > steps );

        /// The vertices of the covered polygons that have an output vertex,
        /// other than v0, v1 and the apex, in increasing order.
        [[nodiscard]] std::vector< index_t > inner_front_vertices(
            absl::Span< const index_t > covered,
            const FrontalQueueElement< dimension >& element ) const;

        /// Whether the covered region reaches the element's macro path.
        [[nodiscard]] bool touches_element(
            absl::Span< const index_t > covered, index_t element ) const;

        // Leftover cycles and hole pieces

        /// The output and one hole piece per region left open.
        [[nodiscard]] FrontalResult< dimension > finish();

        /// The open elements as closed cycles, each in walking order.
        [[nodiscard]] absl::InlinedVector< std::vector< index_t >, 1 >
            macro_edges_cycles();

        /// The uncovered macro polygons bounded by the cycle, copied into a
        /// stand-alone surface with its collar; nothing when the cycle bounds
        /// no polygon left.
        [[nodiscard]] std::optional< FrontalHolePiece< dimension > >
            make_hole_piece( absl::Span< const index_t > cycle );

        // Front loop

        /// Runs the remesh and fills `result` (see FrontalRemesher::remesh).
        void remesh( FrontalResult< dimension >& result );

        /// Takes the front's elements one by one, shortest border elements
        /// first, dropping those closed since they were queued, until the
        /// front is empty.
        void advance_front();

        /// Builds the triangle over the element, retrying once from the
        /// start of the candidate search in a narrow gap between two border
        /// elements. Answers whether a triangle was built.
        bool process_queue_element( FrontalQueueElement< dimension >& element );

        /// The polygons across the three edges of the polygon (NO_ID on the
        /// border), their rows and records asked for from memory at once.
        [[nodiscard]] std::array< index_t, 3 > adjacent_polygons(
            index_t polygon ) const
        {
            std::array< index_t, 3 > across;
            for( local_index_t e = 0; e < 3; e++ )
            {
                across[e] = macro.polygon_adjacent( { polygon, e } ).value_or( NO_ID );
            }
            macro.prefetch_polygons( across );
            prefetch_records( across );
            return across;
        }

        /// The "edge info" records of a fan's polygons asked for from memory
        /// at once (see prefetch_records).
        void prefetch_fan_records( const PolygonsAroundVertex& fan ) const
        {
            // One record per polygon: the attribute's size is the polygon
            // count, read without a call into the mesh.
            const auto nb_polygons = edge_info->size();
            for( const auto& corner : fan )
            {
                if( corner.polygon_id < nb_polygons )
                {
                    __builtin_prefetch( &edge_info->value( corner.polygon_id ) );
                }
            }
        }

        /// Asks the processor to start loading the "edge info" and
        /// "triangle info" records of the polygons (NO_ID and other ids out
        /// of range skipped), so that a search reading several scattered
        /// polygons waits for their cache misses once rather than one after
        /// the other. Reads nothing that a result depends on.
        void prefetch_records( absl::Span< const index_t > polygons ) const
        {
            const auto nb_polygons = edge_info->size();
            for( const auto polygon : polygons )
            {
                if( polygon < nb_polygons )
                {
                    __builtin_prefetch( &edge_info->value( polygon ) );
                    __builtin_prefetch( &triangle_info->value( polygon ) );
                }
            }
        }

        /// Whether the polygon edge lists the element (asked for every edge
        /// a search crosses: inline).
        [[nodiscard]] bool edge_info_holds(
            const PolygonEdge& edge, index_t element ) const
        {
            return edge_info->value( edge.polygon_id )
                .contains( edge.edge_id, element );
        }

        [[nodiscard]] bool is_covered( index_t polygon ) const
        {
            return triangle_info->value( polygon ) != NO_ID;
        }

        /// The current macro vertex of a vertex, through the modifier's
        /// vertex map. A cut may merge a front vertex with a vertex a hair
        /// away that it does not list as a cut vertex (two ends of a
        /// degenerate edge met by the cut): the merged vertex then takes
        /// over the front vertex's output vertex, so that the front never
        /// reaches a vertex that lost it.
        [[nodiscard]] index_t updated_vertex( index_t vertex )
        {
            if( !modifier )
            {
                return vertex;
            }
            const auto updated = modifier->updated_vertex( vertex );
            if( updated != vertex && vertex_info
                && vertex_info->value( updated ) == NO_ID )
            {
                vertex_info->set_value( updated, vertex_info->value( vertex ) );
            }
            return updated;
        }

        [[nodiscard]] typename RemeshAlgo< dimension >::Impl& output()
        {
            return owner->output();
        }

        FrontalRemesher< dimension >* owner;
        const TriangulatedSurface< dimension >& macro;
        TriangulatedSurfaceBuilder< dimension >& builder;
        /// The macro modifier: the caller's, or one made by
        /// prepare_macro_surface once no vertex joins several fans.
        TriangulatedSurfaceEpsilonModifier< dimension >* modifier{ nullptr };
        std::unique_ptr< TriangulatedSurfaceEpsilonModifier< dimension > >
            owned_modifier;
        Queue front;
        /// Nesting of the triangle attempts made for the element being
        /// processed, and their number: apex retries are cut off beyond
        /// these bounds and the element is left to the hole pieces.
        index_t apex_retry_depth{ 0 };
        index_t apex_attempts{ 0 };
        static constexpr index_t MAX_APEX_RETRY_DEPTH = 16;
        static constexpr index_t MAX_APEX_ATTEMPTS = 64;
        std::shared_ptr< VariableAttribute< index_t > > vertex_info;
        std::shared_ptr< VariableAttribute< index_t > > triangle_info;
        std::shared_ptr< VariableAttribute< FrontalEdgeInfo > > edge_info;
        /// Per element: (output triangle on its meshed side, NO_ID for the
        /// initial border; output triangle closing it, NO_ID while open).
        std::vector< std::pair< index_t, index_t > > element_triangles;
        /// Per element: its macro vertices as stored at creation. Always as
        /// long as element_triangles.
        std::vector< std::pair< index_t, index_t > > element_vertices_;
        /// Working storage of nearby_front_vertices and init_stack, kept from
        /// one call to the next so that it is reused (each call starts it
        /// afresh; neither call nests in the other). The marks are only
        /// looked up, never iterated.
        FrontalMarks scratch_vertices;
        FrontalMarks scratch_polygons;
        std::vector< index_t > scratch_stack;
        /// Boundary records with the order in which they were met.
        std::vector< std::pair< FrontalBoundaryRecord, index_t > > scratch_boundary;
    };
} // namespace orvane::internal
