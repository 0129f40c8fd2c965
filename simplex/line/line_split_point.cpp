#include <simplex/line/line_split_point.hpp>

#include <array>

#include <openorvane/geometry/aabb.hpp>
#include <openorvane/geometry/distance.hpp>
#include <openorvane/mesh/edged_curve.hpp>
#include <openorvane/mesh/edged_curve_aabb.hpp>
#include <openorvane/model/brep.hpp>

#include <simplex/line/line_part.hpp>

namespace
{
    using namespace orvane;

    /// Share of the pair distance that a split point must keep from the
    /// output edge's ends and from the edge itself.
    constexpr double CLEARANCE_RATIO = 0.05;

    /// The input vertex at the point: an end of the input edge closest to
    /// it, vertex 0 tested first. Empty when neither end is at the point.
    std::optional< index_t > input_vertex_at( const EdgedCurve< 3 >& mesh,
        const AABBTree< 3 >& tree,
        const Point< 3 >& point )
    {
        if( tree.nb_bboxes() == 0 )
        {
            return std::nullopt;
        }
        const DistanceToEdge< 3 > distance{ mesh };
        const auto seed = detail::closest_leaf_element( tree, point );
        const auto edge =
            detail::closest_element( tree, point, distance, seed, distance( point, seed ) )
                .first;
        for( const local_index_t end : { 0, 1 } )
        {
            const auto vertex = mesh.edge_vertex( { edge, end } );
            if( mesh.point( vertex ).inexact_equal( point ) )
            {
                return vertex;
            }
        }
        return std::nullopt;
    }
} // namespace

namespace orvane
{
    namespace internal
    {
        std::optional< SplitPoint > split_point( const BRep& input_model,
            const Line< 3 >& input_line,
            const AABBTree< 3 >& input_tree,
            const Segment< 3 >& output_edge,
            double distance )
        {
            const auto& mesh = input_line.mesh();
            const auto& [p0, p1] = output_edge.vertices();
            const auto from = input_vertex_at( mesh, input_tree, p0 );
            const auto to = input_vertex_at( mesh, input_tree, p1 );
            if( !from || !to )
            {
                return std::nullopt;
            }
            const double clearance = CLEARANCE_RATIO * distance;
            const auto clear_of_ends = [&]( const Point< 3 >& point ) {
                return point_point_distance( point, p0 ) > clearance
                       && point_point_distance( point, p1 ) > clearance;
            };
            double best{ 0 };
            std::optional< SplitPoint > found;
            for( const auto edge : Repair::line_part( input_model, input_line, *from, *to ) )
            {
                const auto segment = mesh.segment( edge );
                const auto [edge_distance, on_output, on_input] =
                    segment_segment_distance( output_edge, segment );
                if( edge_distance > best && clear_of_ends( on_input ) )
                {
                    best = edge_distance;
                    found = SplitPoint{ on_input, edge };
                    continue;
                }
                for( const local_index_t end : { 0, 1 } )
                {
                    const auto& vertex = segment.vertices()[end];
                    if( !clear_of_ends( vertex ) )
                    {
                        continue;
                    }
                    const auto vertex_distance =
                        std::get< 0 >( point_segment_distance( vertex, output_edge ) );
                    if( vertex_distance > best )
                    {
                        best = vertex_distance;
                        found = SplitPoint{ vertex, edge };
                    }
                    break;
                }
            }
            if( best > clearance )
            {
                return found;
            }
            return std::nullopt;
        }
    } // namespace internal
} // namespace orvane
