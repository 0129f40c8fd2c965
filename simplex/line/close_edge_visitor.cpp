#include <simplex/line/close_edge_visitor.hpp>

#include <algorithm>

#include <openorvane/geometry/distance.hpp>
#include <openorvane/mesh/edged_curve.hpp>

namespace
{
    using namespace orvane;

    /// Share of the bound below which an edge is too short to split.
    constexpr double LENGTH_RATIO = 0.05;
    bool is_inside( const Segment< 3 >& segment, const Point< 3 >& point )
    {
        const auto& [v0, v1] = segment.vertices();
        return point_point_distance( point, v0 ) > GLOBAL_EPSILON
               && point_point_distance( point, v1 ) > GLOBAL_EPSILON;
    }
} // namespace

namespace orvane
{
    namespace internal
    {
        CloseEdgeVisitor::CloseEdgeVisitor(
            const Segment< 3 >& queried_edge, const EdgedCurve< 3 >& other_mesh, double bound )
            : segment_( queried_edge ),
              other_mesh_( other_mesh ),
              bound_( bound ),
              length_threshold_( LENGTH_RATIO * bound ),
              smallest_( bound )
        {
        }

        bool CloseEdgeVisitor::operator()( index_t other_edge )
        {
            const auto other = other_mesh_.segment( other_edge );
            const auto [distance, on_queried, on_other] =
                segment_segment_distance( segment_, other );
            if( distance > bound_ )
            {
                return false;
            }
            const bool split_queried =
                segment_.length() > length_threshold_ && is_inside( segment_, on_queried );
            const bool split_other =
                other.length() > length_threshold_ && is_inside( other, on_other );
            if( split_queried )
            {
                must_split_ = true;
            }
            if( split_other )
            {
                other_edges_.push_back( other_edge );
            }
            if( split_queried || split_other )
            {
                smallest_ = std::min( smallest_, distance );
            }
            return false;
        }
    } // namespace internal
} // namespace orvane
