#include <common/cutter/determine_cuts.hpp>

#include <algorithm>
#include <array>

#include <absl/container/flat_hash_map.h>
#include <absl/container/inlined_vector.h>

#include <openorvane/basic/exception.hpp>
#include <openorvane/geometry/basic_objects.hpp>
#include <openorvane/geometry/distance.hpp>
#include <openorvane/geometry/intersection.hpp>
#include <openorvane/mesh/surface_mesh.hpp>


namespace
{
    using namespace orvane;

    constexpr auto CONTEXT = "[determine_cuts]";

    /// Whether the point lies within squared distance 1e-12 of the other,
    /// the sum stopping as soon as it exceeds the tolerance.
    template < index_t dimension >
    bool is_close( const Point< dimension >& point, const Point< dimension >& other )
    {
        double sum{ 0 };
        for( local_index_t c = 0; c < dimension; c++ )
        {
            const auto difference = point.value( c ) - other.value( c );
            sum += difference * difference;
            if( sum > GLOBAL_EPSILON2 )
            {
                return false;
            }
        }
        return true;
    }

    bool is_unset( const PolygonEdge& edge )
    {
        return edge.polygon_id == NO_ID && edge.edge_id == NO_LID;
    }

    /// The vertices a cut lies on: its vertex then NO_ID, or the ends of its
    /// edge in increasing order. Two cuts meet the same vertex or edge when
    /// their sets are equal.
    using CutVertices = std::array< index_t, 2 >;

    /// Compared field by field: the sets are compared once per cut kept and
    /// once per earlier cut looked back over, too often for a call.
    bool same_vertices( const CutVertices& vertices, const CutVertices& other )
    {
        return vertices[0] == other[0] && vertices[1] == other[1];
    }

    /// Paths up to this length find earlier visits by looking back over the
    /// cuts kept so far; longer ones through a hash map.
    constexpr std::size_t SHORT_PATH = 64;

    template < index_t dimension >
    class DetermineCutsImpl
    {
    public:
        DetermineCutsImpl( const SurfaceMesh< dimension >& mesh,
            index_t begin,
            index_t end,
            absl::Span< const SurfacePathCrossing > path )
            : mesh_( mesh ),
              begin_( begin ),
              end_( end ),
              segment_( checked_point( begin ), checked_point( end ) ),
              path_( path )
        {
            cuts_.reserve( path.size() );
            vertex_sets_.reserve( path.size() );
        }
        DetermineCutsImpl( const DetermineCutsImpl& ) = delete;
        DetermineCutsImpl& operator=( const DetermineCutsImpl& ) = delete;
        virtual ~DetermineCutsImpl() = default;

        std::vector< SurfaceCut< dimension > > determine()
        {
            for( const auto& element : path_ )
            {
                add_cut( element );
            }
            remove_loops();
            return std::move( cuts_ );
        }

    private:
        virtual IntersectionResult< Point< dimension > > edge_intersection(
            const Segment< dimension >& edge ) const = 0;

        const Point< dimension >& checked_point( index_t vertex ) const
        {
            if( vertex >= mesh_.nb_vertices() )
            {
                throw OpenOrvaneException{ CONTEXT, " Vertex ", vertex,
                    " is not a vertex of the surface (", mesh_.nb_vertices(),
                    " vertices)" };
            }
            return mesh_.point( vertex );
        }

        void check_edge( const PolygonEdge& edge ) const
        {
            if( edge.polygon_id >= mesh_.nb_polygons()
                || edge.edge_id >= mesh_.nb_polygon_vertices( edge.polygon_id ) )
            {
                throw OpenOrvaneException{ CONTEXT, " Path element edge ",
                    edge.string(), " is not an edge of the surface (",
                    mesh_.nb_polygons(), " polygons)" };
            }
        }

        void set_vertex( SurfaceCut< dimension >& cut, index_t vertex ) const
        {
            cut.vertex = vertex;
            cut.point = checked_point( vertex );
        }

        /// The cut of an element that is not strictly inside an edge.
        void cut_on_vertex( const SurfacePathCrossing& element,
            SurfaceCut< dimension >& cut ) const
        {
            if( element.vertex != NO_ID )
            {
                set_vertex( cut, element.vertex );
                return;
            }
            if( element.position == POSITION::vertex0
                || element.position == POSITION::vertex1 )
            {
                if( is_unset( element.edge ) )
                {
                    throw OpenOrvaneException{ CONTEXT,
                        " Path element at an edge end names no edge" };
                }
                const local_index_t end =
                    element.position == POSITION::vertex0 ? 0 : 1;
                set_vertex( cut, mesh_.polygon_edge_vertex( element.edge, end ) );
                return;
            }
            throw OpenOrvaneException{ CONTEXT, " Path element on edge ",
                element.edge.string(), " with position ",
                static_cast< std::uint32_t >( element.position ),
                " names no vertex" };
        }

        /// The cut of an element strictly inside an edge.
        void cut_on_edge( const SurfacePathCrossing& element,
            SurfaceCut< dimension >& cut ) const
        {
            if( is_unset( element.edge ) )
            {
                throw OpenOrvaneException{ CONTEXT,
                    " Path element inside an edge names no edge" };
            }
            const auto vertices = mesh_.polygon_edge_vertices( element.edge );
            const auto& first = mesh_.point( vertices[0] );
            const auto& second = mesh_.point( vertices[1] );
            const auto intersection =
                edge_intersection( Segment< dimension >{ first, second } );
            if( intersection.has_intersection() )
            {
                const auto& point = intersection.result.value();
                if( is_close( point, first ) )
                {
                    set_vertex( cut, vertices[0] );
                }
                else if( is_close( point, second ) )
                {
                    set_vertex( cut, vertices[1] );
                }
                else
                {
                    cut.vertex = NO_ID;
                    cut.point = point;
                }
                return;
            }
            if( intersection.type == INTERSECTION_TYPE::parallel && !cuts_.empty()
                && !is_unset( cuts_.back().edge ) )
            {
                // An edge along the cut that follows a cut on a neighbouring
                // edge: the cut goes to the vertex the two edges share.
                const auto previous = mesh_.polygon_edge_vertices( cuts_.back().edge );
                for( const auto vertex : previous )
                {
                    if( vertex == vertices[0] || vertex == vertices[1] )
                    {
                        set_vertex( cut, vertex );
                        return;
                    }
                }
            }
            const auto first_distance =
                std::get< 0 >( point_segment_distance( first, segment_ ) );
            const auto second_distance =
                std::get< 0 >( point_segment_distance( second, segment_ ) );
            set_vertex(
                cut, first_distance < second_distance ? vertices[0] : vertices[1] );
        }

        void add_cut( const SurfacePathCrossing& element )
        {
            SurfaceCut< dimension > cut;
            cut.edge = element.edge;
            cut.position = element.position;
            cut.toward_adjacent = element.toward_adjacent;
            if( !is_unset( element.edge ) )
            {
                check_edge( element.edge );
            }
            if( element.position != POSITION::inside )
            {
                cut_on_vertex( element, cut );
            }
            else
            {
                cut_on_edge( element, cut );
            }
            CutVertices vertex_set{ cut.vertex, NO_ID };
            if( cut.vertex == NO_ID )
            {
                const auto ends = mesh_.polygon_edge_vertices( cut.edge );
                vertex_set = { std::min( ends[0], ends[1] ),
                    std::max( ends[0], ends[1] ) };
            }
            if( !vertex_sets_.empty()
                && same_vertices( vertex_sets_.back(), vertex_set ) )
            {
                return;
            }
            cuts_.push_back( std::move( cut ) );
            vertex_sets_.push_back( vertex_set );
        }

        /// Drops the cuts between two visits of one vertex or edge, keeping
        /// the later visit.
        void remove_loops()
        {
            // The cuts kept so far, in order, meet distinct vertices or
            // edges: a visit to what a kept cut meets drops that cut and
            // every later one. Long paths index the kept cuts by their sets.
            const auto nb_cuts = cuts_.size();
            const bool indexed = nb_cuts > SHORT_PATH;
            absl::flat_hash_map< CutVertices, std::size_t > place_of;
            if( indexed )
            {
                place_of.reserve( nb_cuts );
            }
            absl::InlinedVector< std::size_t, SHORT_PATH > kept;
            absl::InlinedVector< bool, SHORT_PATH > removed( nb_cuts, false );
            for( std::size_t i = 0; i < nb_cuts; i++ )
            {
                const auto& vertex_set = vertex_sets_[i];
                auto place = kept.size();
                if( indexed )
                {
                    if( const auto found = place_of.find( vertex_set );
                        found != place_of.end() )
                    {
                        place = found->second;
                    }
                }
                else
                {
                    for( auto k = kept.size(); k-- > 0; )
                    {
                        if( same_vertices( vertex_sets_[kept[k]], vertex_set ) )
                        {
                            place = k;
                            break;
                        }
                    }
                }
                for( auto k = place; k < kept.size(); k++ )
                {
                    removed[kept[k]] = true;
                    if( indexed )
                    {
                        place_of.erase( vertex_sets_[kept[k]] );
                    }
                }
                if( place < kept.size() )
                {
                    kept.resize( place );
                }
                if( indexed )
                {
                    place_of.emplace( vertex_set, kept.size() );
                }
                kept.push_back( i );
            }
            std::size_t nb_kept{ 0 };
            for( std::size_t i = 0; i < nb_cuts; i++ )
            {
                if( removed[i] )
                {
                    continue;
                }
                if( nb_kept != i )
                {
                    cuts_[nb_kept] = std::move( cuts_[i] );
                }
                nb_kept++;
            }
            cuts_.resize( nb_kept );
        }

    protected:
        [[nodiscard]] const Segment< dimension >& segment() const
        {
            return segment_;
        }

    private:
        const SurfaceMesh< dimension >& mesh_;
        index_t begin_;
        index_t end_;
        Segment< dimension > segment_;
        absl::Span< const SurfacePathCrossing > path_;
        std::vector< SurfaceCut< dimension > > cuts_;
        /// Kept on the stack for the usual short paths.
        absl::InlinedVector< CutVertices, 16 > vertex_sets_;
    };

    class DetermineCutsImpl2D final : public DetermineCutsImpl< 2 >
    {
    public:
        using DetermineCutsImpl< 2 >::DetermineCutsImpl;

    private:
        IntersectionResult< Point< 2 > > edge_intersection(
            const Segment< 2 >& edge ) const override
        {
            return segment_segment_intersection( edge, segment() );
        }
    };

    class DetermineCutsImpl3D final : public DetermineCutsImpl< 3 >
    {
    public:
        DetermineCutsImpl3D( const SurfaceMesh< 3 >& mesh,
            index_t begin,
            index_t end,
            const Plane& plane,
            absl::Span< const SurfacePathCrossing > path )
            : DetermineCutsImpl< 3 >( mesh, begin, end, path ), plane_( plane )
        {
        }

    private:
        IntersectionResult< Point< 3 > > edge_intersection(
            const Segment< 3 >& edge ) const override
        {
            return segment_plane_intersection( edge, plane_ );
        }

    private:
        const Plane& plane_;
    };
} // namespace

namespace orvane
{
    template < index_t dimension >
        requires( dimension == 2 )
    std::vector< SurfaceCut< dimension > > determine_cuts(
        const SurfaceMesh< dimension >& mesh,
        index_t begin,
        index_t end,
        absl::Span< const SurfacePathCrossing > path )
    {
        DetermineCutsImpl2D impl{ mesh, begin, end, path };
        return impl.determine();
    }

    template < index_t dimension >
        requires( dimension == 3 )
    std::vector< SurfaceCut< dimension > > determine_cuts(
        const SurfaceMesh< dimension >& mesh,
        index_t begin,
        index_t end,
        const Plane& plane,
        absl::Span< const SurfacePathCrossing > path )
    {
        DetermineCutsImpl3D impl{ mesh, begin, end, plane, path };
        return impl.determine();
    }

    template std::vector< SurfaceCut< 2 > > determine_cuts< 2 >(
        const SurfaceMesh< 2 >&, index_t, index_t,
        absl::Span< const SurfacePathCrossing > );
    template std::vector< SurfaceCut< 3 > > determine_cuts< 3 >(
        const SurfaceMesh< 3 >&, index_t, index_t, const Plane&,
        absl::Span< const SurfacePathCrossing > );
} // namespace orvane
