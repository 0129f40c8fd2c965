#pragma once

#include <deque>
#include <utility>
#include <vector>

#include <absl/container/flat_hash_map.h>

#include <openorvane/basic/uuid.hpp>
#include <openorvane/geometry/point.hpp>
#include <openorvane/mesh/mesh_records.hpp>
#include <openorvane/model/brep.hpp>

namespace orvane
{
    template < index_t dimension >
    class Metric;
    template < index_t dimension >
    class EdgedCurve;
    template < index_t dimension >
    class EdgedCurveBuilder;
    template < typename Model >
    class RemeshingData;

    namespace internal
    {
        /// Name of the input line vertex attribute that gives, for an input
        /// vertex at the position of a remeshed line vertex, that vertex's
        /// unique vertex in the output model (NO_ID elsewhere).
        inline constexpr char REMESHED_LINE_ATTRIBUTE[] = "remeshed_line_attribute";

        /// One end of the line being remeshed: the input edge at that end
        /// with the local index of its vertex lying there, and the output
        /// line vertex made for it.
        struct LineExtremity
        {
            EdgeVertex input_end;
            index_t output_vertex{ NO_ID };
        };

        /// An output vertex lying on an input edge.
        struct EdgePoint
        {
            Point< 3 > point;
            index_t vertex{ NO_ID };
        };

        /// Per input edge, the output vertices lying on it, ordered from the
        /// edge's vertex 0 to its vertex 1.
        using EdgePoints = absl::flat_hash_map< index_t, std::deque< EdgePoint > >;

        /// What remeshing one line hands to the serial linking step.
        struct LineRemeshResult
        {
            uuid input_line;
            uuid output_line;
            EdgePoints edge_points;
        };

        /// The first and the second end of a line of the model, as
        /// (edge, local vertex) entries of its mesh. With boundary corners
        /// they are found at the corners; without, at the two vertices of a
        /// single edge (the first two in index order), or, for a closed
        /// line, as the first and the last edge around vertex 0.
        ///
        /// Throws OpenOrvaneException when a corner holds no vertex, or more
        /// than two, of the line ("[line_extremities] Only one vertex should
        /// be on the corner"), when a corner vertex has a wrong number of
        /// edges, when a line without corner has one free end only
        /// ("[line_extremities] Only one extremity found"), and when a line
        /// with one boundary corner has a free end as well: the line is
        /// neither closed through its corner nor bounded by two corners.
        [[nodiscard]] std::pair< EdgeVertex, EdgeVertex > line_extremities(
            const BRep& model, const Line< 3 >& line );

        /// Places the vertices of one output line along its input line at
        /// the distance the metric asks for, keeping the input vertices that
        /// the chords would cut off. Owned by one task; reads the input line
        /// and the metric only.
        class LocalLineRemesher
        {
        public:
            struct Output
            {
                /// The computed points; the first is the first extremity's.
                std::vector< Point< 3 > > points;
                LineRemeshResult result;
            };

            /// The output line already holds the extremity vertices (one
            /// when both ends lie on one input vertex, otherwise two).
            LocalLineRemesher( const Metric< 3 >& metric,
                const Line< 3 >& input_line,
                const Line< 3 >& output_line,
                const LineExtremity& first,
                const LineExtremity& second,
                index_t min_nb_vertices );

            /// Walks the line with the metric step; when that gives fewer
            /// vertices than the minimum (3 open, 4 closed), walks again
            /// with a uniform step of length / (minimum - 1). Throws
            /// OpenOrvaneException "[LocalLineRemesher] Found a Line of null
            /// length" when the uniform step is 0.
            Output remesh();

            /// Writes the output line: the points after the first become
            /// new vertices, chained from the first extremity's vertex to
            /// the second's.
            void create_edges( EdgedCurveBuilder< 3 >& builder,
                const std::vector< Point< 3 > >& points ) const;

        private:
            template < typename Step >
            void compute_line_points( Step&& step );

            bool metric_step( const EdgeVertex& s, const EdgeVertex& t );

            bool uniform_step( const EdgeVertex& s, const EdgeVertex& t, double step );

            Point< 3 > sphere_step( const Point< 3 >& p,
                const Point< 3 >& q,
                const Point< 3 >& centre,
                double radius ) const;

            void add_point( const Point< 3 >& point, const EdgeVertex& entry );

            void insert_deviating_vertices(
                const Point< 3 >& target, const EdgeVertex& t, double tolerance );

            bool insert_first_deviating_vertex(
                const Point< 3 >& target, const EdgeVertex& t, double tolerance );

            bool insert_loop_vertex( const Point< 3 >& target, const EdgeVertex& t );

            EdgeVertex next_around( const EdgeVertex& arriving ) const;

            const Point< 3 >& vertex_point( const EdgeVertex& edge_vertex ) const;

            bool is_second_extremity( const EdgeVertex& edge_vertex ) const;

        private:
            const Metric< 3 >& metric_;
            const EdgedCurve< 3 >& mesh_;
            std::vector< EdgeVertex > path_;
            std::vector< Point< 3 > > points_;
            LineExtremity first_;
            LineExtremity second_;
            index_t min_nb_vertices_;
            index_t base_;
            uuid input_line_;
            uuid output_line_;
            EdgePoints edge_points_;
            /// Sum of the input edge lengths, and the walked length at the
            /// start of the current edge: the end of the line is only
            /// looked for within about one metric of arc length from it.
            double total_length_{ 0 };
            double walked_length_{ 0 };
            /// Uniform step: length from the last point placed to the end of
            /// the current edge.
            double accumulated_{ 0 };
        };

        /// Remeshes one input line into its output line (inside a task):
        /// makes the extremity vertices, walks the line and writes the
        /// output edges. Returns the output vertices per input edge.
        [[nodiscard]] LineRemeshResult remesh_line(
            RemeshingData< BRep >& data, const Line< 3 >& input_line );

        /// Serial step after the tasks: links every output vertex of the
        /// line to a unique vertex of the output model (the corner's at a
        /// corner, a new one elsewhere), splits the input edges where an
        /// output vertex falls inside them, and records the link in the
        /// input vertex attribute "remeshed_line_attribute".
        void link_remeshed_line( RemeshingData< BRep >& data, LineRemeshResult& result );

        /// Remeshes every line of the model to the metric, one task per
        /// line, then links the results in line order and deletes the
        /// inactive elements of the input model. Rethrows the failure of
        /// the first failing line in that order; the lines before it are
        /// linked.
        void remesh_lines( RemeshingData< BRep >& data );
    } // namespace internal
} // namespace orvane
