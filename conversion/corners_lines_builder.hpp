#pragma once

#include <array>
#include <memory>
#include <optional>

#include <openorvane/basic/types.hpp>
#include <openorvane/basic/uuid.hpp>
#include <openorvane/geometry/point.hpp>
#include <openorvane/mesh/edged_curve.hpp>
#include <openorvane/model/brep.hpp>

namespace orvane
{
    namespace detail
    {
        template < typename Model >
        class CornersLinesBuilder;

        /// The wireframe of a model under construction and what is made of
        /// it: corners and lines.
        ///
        /// The wireframe is an auxiliary curve with one vertex per unique
        /// vertex of the model that lies on an edge which must become part
        /// of a line (a border of the merged input surfaces, an input line
        /// edge) or on an input corner point. The derived builder feeds it
        /// through add_wireframe_edge and add_wireframe_corner while it
        /// identifies vertices, then calls build_corners (which asks
        /// is_corner about each wireframe vertex still without corner) and
        /// build_lines (which walks the wireframe from corner to corner).
        ///
        /// Nothing of the wireframe is visible in the model; it dies with the
        /// builder.
        template <>
        class CornersLinesBuilder< BRep >
        {
        public:
            virtual ~CornersLinesBuilder();

            /// Fills the wireframe and the unique vertices of the model.
            virtual void identify_vertices() = 0;

            /// Whether a wireframe vertex without corner must become one.
            virtual bool is_corner( index_t wireframe_vertex ) = 0;

            /// The wireframe edge between the two unique vertices (in either
            /// order), created when missing; a new edge keeps the order of
            /// this request, and a new end vertex is placed at its point.
            index_t add_wireframe_edge( const std::array< index_t, 2 >& unique_vertices,
                const Point< 3 >& point0,
                const Point< 3 >& point1 );

            /// The wireframe vertex of the unique vertex, created at the
            /// point when missing, without corner.
            index_t add_wireframe_vertex( index_t unique_vertex, const Point< 3 >& point );

            /// The wireframe vertex of the unique vertex, created at the
            /// point when missing, with a corner on it. A vertex that already
            /// carries a corner keeps it: no second corner is made on one
            /// unique vertex.
            index_t add_wireframe_corner( index_t unique_vertex, const Point< 3 >& point );

            /// Makes one corner at the wireframe vertex, linked to its unique
            /// vertex.
            void create_corner( index_t wireframe_vertex );

            /// Makes a corner at every wireframe vertex, in index order, that
            /// has none and for which is_corner holds.
            void build_corners();

            /// Makes every line of the wireframe: first those leaving a
            /// corner (bounded by their end corners), then the closed loops
            /// without corner.
            void build_lines();

            const EdgedCurve< 3 >& wireframe() const;

            /// The uuid of the wireframe mesh, which names it in the
            /// intermediate mapping entries.
            const uuid& wireframe_id() const;

            /// The unique vertex that the wireframe vertex stands for
            /// ("wireframe_vertex_id").
            index_t wireframe_unique_vertex( index_t wireframe_vertex ) const;

            /// The corner made at the wireframe vertex ("corner_uuid"), or
            /// no_component_id.
            const uuid& wireframe_corner( index_t wireframe_vertex ) const;

            /// The line that took the wireframe edge ("line_uuid"), or
            /// no_component_id.
            const uuid& wireframe_line( index_t wireframe_edge ) const;

            /// The index of the wireframe edge in its line's mesh
            /// ("line_edge"), or NO_ID.
            index_t wireframe_line_edge( index_t wireframe_edge ) const;

            /// The wireframe edge between two unique vertices (either order).
            std::optional< index_t > find_wireframe_edge(
                const std::array< index_t, 2 >& unique_vertices ) const;

            /// The wireframe vertex of a unique vertex.
            std::optional< index_t > find_wireframe_vertex( index_t unique_vertex ) const;

        protected:
            explicit CornersLinesBuilder( BRep& model );

        private:
            class Impl;
            std::unique_ptr< Impl > impl_;
        };
    } // namespace detail
} // namespace orvane
