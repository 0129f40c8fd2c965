#include <simplex/surface/frontal/frontal_remesher_3d.hpp>

#include <cmath>

#include <openorvane/geometry/distance.hpp>

#include <simplex/surface/frontal/candidate_walker.hpp>
#include <simplex/surface/frontal/frontal_remesher_impl.hpp>
#include <simplex/surface/frontal/propagate_along_macro_edge.hpp>

namespace
{
    /// A normal that a plane can be built on: finite and longer than the
    /// division guard.
    bool is_usable_normal( const orvane::Vector< 3 >& normal )
    {
        for( orvane::local_index_t c = 0; c < 3; c++ )
        {
            if( !std::isfinite( normal.value( c ) ) )
            {
                return false;
            }
        }
        return normal.length() > orvane::DIVISION_EPSILON;
    }
} // namespace

namespace orvane::internal
{
    FrontalRemesher3D::~FrontalRemesher3D() = default;

    std::optional< Plane > FrontalRemesher3D::cutting_plane(
        const FrontalQueueElement< 3 >& element, index_t a, index_t b ) const
    {
        const auto& macro = state().macro;
        const Vector< 3 > direction{ macro.point( a ), macro.point( b ) };
        Vector< 3 > sum;
        if( const auto normal = macro.polygon_vertex_normal( a ) )
        {
            sum += *normal;
        }
        if( const auto normal = macro.polygon_vertex_normal( b ) )
        {
            sum += *normal;
        }
        const auto from_sum = direction.cross( sum );
        if( is_usable_normal( from_sum ) )
        {
            return Plane{ from_sum, macro.point( b ) };
        }
        // The normals cancel, are missing, or run along a-b: the triangle
        // tried over the element gives the surface's side instead.
        if( element.apex == NO_ID )
        {
            return std::nullopt;
        }
        const Triangle< 3 > triangle{ element.p0, element.p1,
            macro.point( element.apex ) };
        const auto normal = triangle.normal();
        if( !normal )
        {
            return std::nullopt;
        }
        const auto from_triangle = direction.cross( *normal );
        if( !is_usable_normal( from_triangle ) )
        {
            return std::nullopt;
        }
        return Plane{ from_triangle, macro.point( b ) };
    }

    std::optional< std::vector< SurfacePathCrossing > >
        FrontalRemesher3D::find_macro_path(
            const FrontalQueueElement< 3 >& element, index_t a, index_t b )
    {
        current_plane_ = cutting_plane( element, a, b );
        if( !current_plane_ )
        {
            return std::nullopt;
        }
        PropagateAlongSurfaceMacroEdge3D walker{ state().macro, a, b, state(),
            *current_plane_ };
        return walker.find_path();
    }

    std::vector< SurfaceCut< 3 > > FrontalRemesher3D::determine_cuts(
        index_t a, index_t b, absl::Span< const SurfacePathCrossing > path )
    {
        return orvane::determine_cuts< 3 >(
            state().macro, a, b, current_plane_.value(), path );
    }

    std::vector< index_t > FrontalRemesher3D::crossings_off_segment( index_t a,
        index_t b,
        absl::Span< const SurfaceCut< 3 > > cuts,
        double distance )
    {
        auto& impl = state();
        const Segment< 3 > segment{ impl.macro.point( a ), impl.macro.point( b ) };
        std::vector< index_t > off;
        for( index_t i = 0; i < cuts.size(); i++ )
        {
            const auto& cut = cuts[i];
            if( cut.vertex != NO_ID )
            {
                if( std::get< 0 >( point_segment_distance(
                        impl.macro.point( cut.vertex ), segment ) )
                    >= distance )
                {
                    off.push_back( i );
                }
                continue;
            }
            if( std::get< 0 >( point_segment_distance( cut.point, segment ) )
                    >= distance
                && impl.element_on_polygon_edge( cut.edge ) == NO_ID )
            {
                off.push_back( i );
            }
        }
        return off;
    }

    std::optional< FrontalCandidate< 3 > > FrontalRemesher3D::candidate_point(
        const FrontalQueueElement< 3 >& element, const Point< 3 >& query )
    {
        return frontal_candidate_point< 3 >( state(), element, query );
    }

    bool FrontalRemesher3D::is_well_oriented( const FrontalQueueElement< 3 >& element,
        const Point< 3 >& point,
        index_t vertex )
    {
        const auto proposed = Triangle< 3 >{ element.p0, element.p1, point }.normal();
        const auto reference =
            Triangle< 3 >{ element.p0, element.p1, state().macro.point( vertex ) }
                .normal();
        if( !proposed || !reference )
        {
            return false;
        }
        return proposed->dot( *reference ) > 0;
    }
} // namespace orvane::internal
