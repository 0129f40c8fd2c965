#include <common/cutter/solid_determine_cuts.hpp>

#include <cmath>

#include <absl/container/flat_hash_map.h>
#include <absl/container/inlined_vector.h>

#include <openorvane/basic/exception.hpp>
#include <openorvane/geometry/basic_objects.hpp>
#include <openorvane/geometry/distance.hpp>
#include <openorvane/geometry/intersection.hpp>
#include <openorvane/mesh/tetrahedral_solid.hpp>

#include <common/modifier/tetrahedron_preview.hpp>
#include <common/modifier/vertices_modifier.hpp>

namespace
{
    using namespace orvane;

    /// The maximum number of halvings of the parallel facet bisection.
    constexpr unsigned MAX_BISECTION_STEPS = 100;

    class SolidDetermineCutsImpl
    {
    public:
        SolidDetermineCutsImpl( const TetrahedralSolid< 3 >& solid,
            absl::Span< const SolidPathStep > path )
            : solid_( solid ), path_( path )
        {
            cuts_.reserve( path.size() );
            vertex_sets_.reserve( path.size() );
        }
        SolidDetermineCutsImpl( const SolidDetermineCutsImpl& ) = delete;
        SolidDetermineCutsImpl& operator=( const SolidDetermineCutsImpl& ) = delete;
        virtual ~SolidDetermineCutsImpl() = default;

        std::vector< SolidCut > determine()
        {
            for( const auto& step : path_ )
            {
                add_cut( step );
            }
            remove_loops();
            return std::move( cuts_ );
        }

    protected:
        [[nodiscard]] const TetrahedralSolid< 3 >& solid() const
        {
            return solid_;
        }

        /// The cuts kept so far.
        [[nodiscard]] const std::vector< SolidCut >& cuts() const
        {
            return cuts_;
        }

    private:
        virtual Point< 3 > edge_intersection( const Segment< 3 >& edge ) const = 0;

        virtual Point< 3 > facet_intersection(
            const Triangle< 3 >& facet ) const = 0;

        void set_vertex( SolidCut& cut, index_t vertex ) const
        {
            cut.position = POSITION::outside;
            cut.facet = PolyhedronFacet{};
            cut.vertex = vertex;
            cut.point = solid_.point( vertex );
        }

        SolidCut make_cut( const SolidPathStep& step ) const
        {
            SolidCut cut{ step, {} };
            if( step.position == POSITION::inside )
            {
                cut.point = facet_intersection( solid_.triangle( step.facet ) );
                if( const auto vertex = detail::polyhedron_facet_vertex_at_point(
                        solid_, step.facet, cut.point ) )
                {
                    set_vertex( cut, solid_.polyhedron_facet_vertex(
                                         { step.facet, vertex.value() } ) );
                }
                return cut;
            }
            if( detail::is_edge_position( step.position ) )
            {
                const auto vertices = solid_.polyhedron_facet_edge_vertices(
                    { step.facet, detail::position_to_index( step.position ) } );
                cut.point = edge_intersection( Segment< 3 >{
                    solid_.point( vertices[0] ), solid_.point( vertices[1] ) } );
                for( const auto vertex : vertices )
                {
                    if( cut.point.inexact_equal( solid_.point( vertex ) ) )
                    {
                        set_vertex( cut, vertex );
                        break;
                    }
                }
                return cut;
            }
            if( step.vertex == NO_ID )
            {
                throw OpenOrvaneException{ "[determine_cuts] Path step on facet ",
                    step.facet.string(), " with position ",
                    static_cast< std::uint32_t >( step.position ),
                    " names no vertex" };
            }
            cut.point = solid_.point( step.vertex );
            return cut;
        }

        VertexCycle vertex_set( const SolidCut& cut ) const
        {
            VertexCycle vertices;
            if( cut.vertex != NO_ID )
            {
                vertices.push_back( cut.vertex );
            }
            else if( detail::is_edge_position( cut.position ) )
            {
                const auto ends = solid_.polyhedron_facet_edge_vertices(
                    { cut.facet, detail::position_to_index( cut.position ) } );
                vertices.assign( ends.begin(), ends.end() );
            }
            else
            {
                const auto facet = solid_.polyhedron_facet_vertices( cut.facet );
                vertices.assign( facet.begin(), facet.end() );
            }
            return detail::canonical_cycle( std::move( vertices ) );
        }

        void add_cut( const SolidPathStep& step )
        {
            auto cut = make_cut( step );
            auto vertices = vertex_set( cut );
            if( !cuts_.empty() && vertex_sets_.back() == vertices )
            {
                return;
            }
            cuts_.push_back( std::move( cut ) );
            vertex_sets_.push_back( std::move( vertices ) );
        }

        /// Drops the cuts between two visits of one element, keeping the
        /// later visit. A path whose last cut comes back to the element of
        /// its first is kept whole.
        void remove_loops()
        {
            const auto nb_cuts = cuts_.size();
            absl::flat_hash_map< VertexCycle, std::size_t > visits;
            visits.reserve( nb_cuts );
            std::vector< bool > removed( nb_cuts, false );
            for( std::size_t i = 0; i < nb_cuts; i++ )
            {
                const auto found = visits.find( vertex_sets_[i] );
                if( found != visits.end() )
                {
                    const auto first = found->second;
                    if( i == nb_cuts - 1 && first == 0 )
                    {
                        return;
                    }
                    for( auto j = first; j < i; j++ )
                    {
                        removed[j] = true;
                        visits.erase( vertex_sets_[j] );
                    }
                }
                visits[vertex_sets_[i]] = i;
            }
            std::size_t kept{ 0 };
            for( std::size_t i = 0; i < nb_cuts; i++ )
            {
                if( !removed[i] )
                {
                    cuts_[kept++] = std::move( cuts_[i] );
                }
            }
            cuts_.resize( kept );
        }

    private:
        const TetrahedralSolid< 3 >& solid_;
        absl::Span< const SolidPathStep > path_;
        std::vector< SolidCut > cuts_;
        std::vector< VertexCycle > vertex_sets_;
    };

    class SolidDetermineCutsSegmentImpl final : public SolidDetermineCutsImpl
    {
    public:
        SolidDetermineCutsSegmentImpl( const TetrahedralSolid< 3 >& solid,
            absl::Span< const SolidPathStep > path )
            : SolidDetermineCutsImpl( solid, path ),
              segment_( solid.point( path.front().vertex ),
                  solid.point( path.back().vertex ) ),
              degenerate_( segment_.length() <= GLOBAL_EPSILON )
        {
        }

    private:
        Point< 3 > edge_intersection( const Segment< 3 >& edge ) const override
        {
            if( degenerate_ )
            {
                return segment_.vertices()[0];
            }
            return std::get< 2 >( segment_segment_distance( edge, segment_ ) );
        }

        Point< 3 > facet_intersection( const Triangle< 3 >& facet ) const override
        {
            if( degenerate_ )
            {
                return segment_.vertices()[0];
            }
            const auto intersection = segment_triangle_intersection( segment_, facet );
            if( intersection.has_intersection() )
            {
                return intersection.result.value();
            }
            const auto plane = facet.plane();
            if( !plane )
            {
                throw OpenOrvaneException{
                    "[SolidDetermineCutsSegmentImpl::infinite_facet_"
                    "intersection] Given solid facet has no plane"
                };
            }
            const auto line_intersection =
                line_plane_intersection( InfiniteLine< 3 >{ segment_ }, plane.value() );
            if( line_intersection.type == INTERSECTION_TYPE::parallel
                || !line_intersection.result )
            {
                return parallel_facet_intersection( facet );
            }
            return line_intersection.result.value();
        }

        /// Bisection between the previous cut and the segment's end for the
        /// point of the segment nearest the facet's plane.
        Point< 3 > parallel_facet_intersection( const Triangle< 3 >& facet ) const
        {
            const auto& previous = cuts().back().point;
            if( std::get< 0 >( point_triangle_distance( previous, facet ) )
                    < GLOBAL_EPSILON
                && std::get< 0 >( point_segment_distance( previous, segment_ ) )
                       < GLOBAL_EPSILON )
            {
                return previous;
            }
            const auto& end = segment_.vertices()[1];
            const auto end_distance =
                std::get< 0 >( point_triangle_signed_distance( end, facet ) );
            auto low = previous;
            auto high = end;
            auto middle = ( low + high ) / 2.;
            auto distance =
                std::get< 0 >( point_triangle_signed_distance( middle, facet ) );
            unsigned nb_steps{ 0 };
            while( std::fabs( distance ) > GLOBAL_EPSILON )
            {
                if( distance * end_distance > 0 )
                {
                    high = middle;
                }
                else
                {
                    low = middle;
                }
                nb_steps++;
                middle = ( low + high ) / 2.;
                distance =
                    std::get< 0 >( point_triangle_signed_distance( middle, facet ) );
                if( nb_steps >= MAX_BISECTION_STEPS )
                {
                    throw OpenOrvaneException{
                        "[SolidDetermineCutsSegmentImpl::parallel_facet_"
                        "intersection] Too much steps before finding result in "
                        "dichotomic algorithm"
                    };
                }
            }
            return middle;
        }

    private:
        Segment< 3 > segment_;
        bool degenerate_;
    };

    class SolidDetermineCutsPlaneImpl final : public SolidDetermineCutsImpl
    {
    public:
        SolidDetermineCutsPlaneImpl( const TetrahedralSolid< 3 >& solid,
            absl::Span< const SolidPathStep > path,
            const Plane& plane )
            : SolidDetermineCutsImpl( solid, path ), plane_( plane )
        {
        }

    private:
        /// An edge lying in the plane is cut at its end nearer to the
        /// previous cut, so that the path goes on from a vertex.
        Point< 3 > edge_intersection( const Segment< 3 >& edge ) const override
        {
            const auto intersection = segment_plane_intersection( edge, plane_ );
            if( intersection.has_intersection() && intersection.result )
            {
                return intersection.result.value();
            }
            if( intersection.type == INTERSECTION_TYPE::parallel && !cuts().empty() )
            {
                const auto& previous = cuts().back().point;
                const auto& ends = edge.vertices();
                return point_point_distance( previous, ends[0] )
                               <= point_point_distance( previous, ends[1] )
                           ? ends[0]
                           : ends[1];
            }
            throw OpenOrvaneException{ "[SolidDetermineCutsPlaneImpl::edge_"
                                       "intersection] Solid edge does not cross "
                                       "the cutting plane" };
        }

        Point< 3 > facet_intersection( const Triangle< 3 >& /*facet*/ ) const override
        {
            throw OpenOrvaneException{
                "[SolidDetermineCutsPlaneImpl::facet_intersection] Should not try "
                "to get an intersection between a Solid facet and the Plane"
            };
        }

    private:
        const Plane& plane_;
    };
} // namespace

namespace orvane
{
    std::vector< SolidCut > determine_segment_cuts(
        const TetrahedralSolid< 3 >& solid, absl::Span< const SolidPathStep > path )
    {
        if( path.empty() || path.front().vertex == NO_ID
            || path.back().vertex == NO_ID )
        {
            throw OpenOrvaneException{ "[determine_segment_cuts] The path must "
                                       "begin and end on a vertex" };
        }
        SolidDetermineCutsSegmentImpl impl{ solid, path };
        return impl.determine();
    }

    std::vector< SolidCut > determine_plane_cuts( const TetrahedralSolid< 3 >& solid,
        absl::Span< const SolidPathStep > path,
        const Plane& plane )
    {
        SolidDetermineCutsPlaneImpl impl{ solid, path, plane };
        return impl.determine();
    }
} // namespace orvane
