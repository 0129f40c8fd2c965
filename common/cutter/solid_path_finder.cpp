#include <common/cutter/solid_path_finder.hpp>

#include <algorithm>
#include <tuple>

#include <absl/container/flat_hash_set.h>
#include <absl/types/span.h>

#include <openorvane/geometry/intersection_detection.hpp>
#include <openorvane/geometry/predicates.hpp>
#include <openorvane/mesh/tetrahedral_solid.hpp>

namespace
{
    using namespace orvane;

    bool is_facet_crossing( const SolidPathStep& step )
    {
        return step.position == POSITION::inside;
    }

    bool is_edge_crossing( const SolidPathStep& step )
    {
        return detail::is_edge_position( step.position );
    }

    /// The edge of a facet that an edge crossing names.
    PolyhedronFacetEdge crossed_edge( const SolidPathStep& step )
    {
        return { step.facet, detail::position_to_index( step.position ) };
    }

    /// The step at which the segment meets the facet, if it does. A segment
    /// lying in the facet's plane gives no step: it also meets the facet's
    /// edges, which belong to the neighbouring facets of the same
    /// tetrahedron, where the crossing is a single point.
    std::optional< SolidPathStep > facet_crossing( const TetrahedralSolid< 3 >& solid,
        const Segment< 3 >& segment,
        const PolyhedronFacet& facet )
    {
        const auto position = segment_triangle_intersection_detection(
            segment, solid.triangle( facet ) )
                                  .second;
        if( position == POSITION::outside || position == POSITION::parallel )
        {
            return std::nullopt;
        }
        SolidPathStep step{ position, facet, NO_ID };
        if( detail::is_vertex_position( position ) )
        {
            step.vertex = solid.polyhedron_facet_vertex(
                { facet, detail::position_to_index( position ) } );
        }
        return step;
    }

    /// A bound on the length of a straight path: it meets every facet, edge
    /// and vertex at most once.
    std::size_t path_length_bound( const TetrahedralSolid< 3 >& solid )
    {
        return 10 * static_cast< std::size_t >( solid.nb_polyhedra() )
               + solid.nb_vertices() + 2;
    }

    class InteriorWalk
    {
    public:
        InteriorWalk( const TetrahedralSolid< 3 >& solid,
            const Segment< 3 >& segment,
            index_t end,
            std::vector< SolidPathStep >& path )
            : solid_( solid ), segment_( segment ), end_( end ), path_( path )
        {
        }

        bool walk()
        {
            if( enters_border( path_.back() ) )
            {
                return false;
            }
            const auto bound = path_length_bound( solid_ );
            while( path_.size() <= bound )
            {
                const auto step = path_.back();
                if( step.vertex == NO_ID && !is_edge_crossing( step ) )
                {
                    const auto adjacent =
                        solid_.polyhedron_adjacent_facet( step.facet ).value();
                    const auto apex = solid_.polyhedron_vertex(
                        { adjacent.polyhedron_id, adjacent.facet_id } );
                    if( apex == end_ )
                    {
                        path_.push_back( SolidPathStep::vertex_step( end_ ) );
                        return true;
                    }
                }
                else if( step.vertex == end_ )
                {
                    return true;
                }
                const auto next = next_crossing( step, path_[path_.size() - 2] );
                if( !next )
                {
                    return false;
                }
                path_.push_back( next.value() );
                if( enters_border( next.value() ) )
                {
                    return false;
                }
            }
            return false;
        }

    private:
        bool enters_border( const SolidPathStep& step ) const
        {
            return is_facet_crossing( step )
                   && solid_.is_polyhedron_facet_on_border( step.facet );
        }

        std::optional< SolidPathStep > next_crossing(
            const SolidPathStep& step, const SolidPathStep& previous ) const
        {
            if( is_edge_crossing( step ) )
            {
                const auto edge_vertices =
                    solid_.polyhedron_facet_edge_vertices( crossed_edge( step ) );
                for( const auto polyhedron :
                    solid_.polyhedra_around_edge( edge_vertices ) )
                {
                    for( const auto& facet : solid_.opposite_edge_incident_facets(
                             polyhedron, edge_vertices ) )
                    {
                        if( auto crossing = new_crossing( facet, previous ) )
                        {
                            return crossing;
                        }
                    }
                }
                return std::nullopt;
            }
            if( step.vertex != NO_ID )
            {
                for( const auto& around :
                    solid_.polyhedra_around_vertex( step.vertex ) )
                {
                    if( auto crossing = new_crossing(
                            { around.polyhedron_id, around.vertex_id }, previous ) )
                    {
                        return crossing;
                    }
                }
                return std::nullopt;
            }
            const auto adjacent = solid_.polyhedron_adjacent_facet( step.facet );
            if( !adjacent )
            {
                return std::nullopt;
            }
            for( local_index_t facet = 0; facet < 4; facet++ )
            {
                if( facet == adjacent->facet_id )
                {
                    continue;
                }
                if( auto crossing = facet_crossing(
                        solid_, segment_, { adjacent->polyhedron_id, facet } ) )
                {
                    return crossing;
                }
            }
            return std::nullopt;
        }

        /// The crossing of the facet unless it is the previous step again.
        std::optional< SolidPathStep > new_crossing(
            const PolyhedronFacet& facet, const SolidPathStep& previous ) const
        {
            auto crossing = facet_crossing( solid_, segment_, facet );
            if( crossing && same_crossing( solid_, crossing.value(), previous ) )
            {
                return std::nullopt;
            }
            return crossing;
        }

    private:
        const TetrahedralSolid< 3 >& solid_;
        const Segment< 3 >& segment_;
        index_t end_;
        std::vector< SolidPathStep >& path_;
    };

    using VertexList = absl::Span< const index_t >;

    bool contains( VertexList list, index_t vertex )
    {
        return std::find( list.begin(), list.end(), vertex ) != list.end();
    }
} // namespace

namespace orvane
{
    bool same_crossing( const TetrahedralSolid< 3 >& solid,
        const SolidPathStep& step,
        const SolidPathStep& other )
    {
        if( is_facet_crossing( step ) )
        {
            if( !is_facet_crossing( other ) )
            {
                return false;
            }
            if( step.facet == other.facet )
            {
                return true;
            }
            // A border facet has no other side.
            const auto adjacent = solid.polyhedron_adjacent_facet( other.facet );
            return adjacent && adjacent.value() == step.facet;
        }
        if( is_edge_crossing( step ) && is_edge_crossing( other ) )
        {
            auto vertices = solid.polyhedron_facet_edge_vertices( crossed_edge( step ) );
            auto other_vertices =
                solid.polyhedron_facet_edge_vertices( crossed_edge( other ) );
            std::sort( vertices.begin(), vertices.end() );
            std::sort( other_vertices.begin(), other_vertices.end() );
            return vertices == other_vertices;
        }
        return step.vertex != NO_ID && step.vertex == other.vertex;
    }

    SolidPathFinder::SolidPathFinder(
        const TetrahedralSolid< 3 >& solid, index_t begin, index_t end )
        : solid_( solid ),
          begin_( begin ),
          end_( end ),
          segment_( solid.point( begin ), solid.point( end ) )
    {
    }

    std::optional< std::vector< SolidPathStep > > SolidPathFinder::find_path() const
    {
        std::vector< SolidPathStep > path{ SolidPathStep::vertex_step( begin_ ) };
        if( begin_ == end_ )
        {
            return path;
        }
        const auto around = solid_.polyhedra_around_vertex( begin_ );
        for( const auto& polyhedron_vertex : around )
        {
            if( solid_.vertex_in_polyhedron( polyhedron_vertex.polyhedron_id, end_ ) )
            {
                path.push_back( SolidPathStep::vertex_step( end_ ) );
                return path;
            }
        }
        for( const auto& polyhedron_vertex : around )
        {
            const PolyhedronFacet opposite{ polyhedron_vertex.polyhedron_id,
                polyhedron_vertex.vertex_id };
            if( auto crossing = facet_crossing( solid_, segment_, opposite ) )
            {
                path.push_back( crossing.value() );
                InteriorWalk walk{ solid_, segment_, end_, path };
                if( walk.walk() )
                {
                    return path;
                }
                return std::nullopt;
            }
        }
        return std::nullopt;
    }

    class SolidBorderPathFinder::Impl
    {
    public:
        Impl( const TetrahedralSolid< 3 >& solid,
            index_t begin,
            index_t end,
            const Triangle< 3 >& triangle )
            : solid_( solid ), begin_( begin ), end_( end ), triangle_( triangle )
        {
            if( !solid.is_vertex_on_border( begin ) )
            {
                throw OpenOrvaneException{ "[SolidBorderPathFinder::"
                                           "SolidBorderPathFinder] Given begin "
                                           "vertex is not on border" };
            }
            if( !solid.is_vertex_on_border( end ) )
            {
                throw OpenOrvaneException{ "[SolidBorderPathFinder::"
                                           "SolidBorderPathFinder] Given end "
                                           "vertex is not on border" };
            }
            if( !triangle.normal() )
            {
                throw OpenOrvaneException{ "[SolidBorderPathFinder::"
                                           "SolidBorderPathFinder] Given "
                                           "triangle has no normal" };
            }
        }

        std::vector< std::vector< SolidPathStep > > find_paths() const
        {
            std::vector< SolidPathStep > starts;
            const std::array< index_t, 1 > required{ begin_ };
            for( const auto& around : solid_.polyhedra_around_vertex( begin_ ) )
            {
                for( local_index_t facet = 0; facet < 4; facet++ )
                {
                    if( auto step = border_crossing(
                            { around.polyhedron_id, facet }, required, {} ) )
                    {
                        starts.push_back( step.value() );
                    }
                }
            }
            std::vector< std::vector< SolidPathStep > > paths;
            for( const auto& start : starts )
            {
                std::vector< SolidPathStep > path{
                    SolidPathStep::vertex_step( begin_ ), start
                };
                if( walk( path ) )
                {
                    paths.push_back( std::move( path ) );
                }
            }
            return paths;
        }

    private:
        /// The step of a border walk over the facet, leaving from the
        /// `required` vertices (which the facet must hold) and never onto an
        /// `excluded` one: a facet vertex that is the end or lies on the
        /// triangle, or else an edge opposite a required vertex that the
        /// triangle crosses strictly.
        std::optional< SolidPathStep > border_crossing( const PolyhedronFacet& facet,
            VertexList required,
            VertexList excluded ) const
        {
            if( !solid_.is_polyhedron_facet_on_border( facet ) )
            {
                return std::nullopt;
            }
            const auto vertices = solid_.polyhedron_facet_vertices( facet );
            for( const auto vertex : required )
            {
                if( std::find( vertices.begin(), vertices.end(), vertex )
                    == vertices.end() )
                {
                    return std::nullopt;
                }
            }
            std::array< bool, 3 > candidates{ false, false, false };
            for( local_index_t k = 0; k < 3; k++ )
            {
                const auto vertex = vertices[k];
                if( contains( required, vertex ) )
                {
                    candidates[( k + 1 ) % 3] = true;
                }
                else if( !contains( excluded, vertex )
                         && ( vertex == end_
                              || point_triangle_position(
                                     solid_.point( vertex ), triangle_ )
                                     != POSITION::outside ) )
                {
                    return SolidPathStep::vertex_step( vertex );
                }
            }
            for( local_index_t j = 0; j < 3; j++ )
            {
                if( !candidates[j] )
                {
                    continue;
                }
                const Segment< 3 > edge{ solid_.point( vertices[j] ),
                    solid_.point( vertices[( j + 1 ) % 3] ) };
                if( segment_triangle_intersection_detection( edge, triangle_ ).first
                    == POSITION::inside )
                {
                    return SolidPathStep{ detail::edge_position( j ), facet, NO_ID };
                }
            }
            return std::nullopt;
        }

        std::optional< SolidPathStep > continue_from_vertex(
            index_t vertex, const SolidPathStep& previous ) const
        {
            const std::array< index_t, 1 > previous_vertex{ previous.vertex };
            const VertexList excluded{ previous_vertex.data(),
                previous.vertex != NO_ID ? std::size_t{ 1 } : std::size_t{ 0 } };
            const std::array< index_t, 1 > required{ vertex };
            for( const auto& around : solid_.polyhedra_around_vertex( vertex ) )
            {
                for( local_index_t facet = 0; facet < 4; facet++ )
                {
                    if( auto step = border_crossing(
                            { around.polyhedron_id, facet }, required, excluded ) )
                    {
                        return step;
                    }
                }
            }
            return std::nullopt;
        }

        std::optional< SolidPathStep > continue_from_edge(
            const SolidPathStep& step, const SolidPathStep& previous ) const
        {
            const auto edge_vertices =
                solid_.polyhedron_facet_edge_vertices( crossed_edge( step ) );
            const VertexList required{ edge_vertices };
            for( const auto polyhedron : solid_.polyhedra_around_edge(
                     edge_vertices, step.facet.polyhedron_id ) )
            {
                for( local_index_t facet = 0; facet < 4; facet++ )
                {
                    const PolyhedronFacet candidate{ polyhedron, facet };
                    if( candidate == step.facet )
                    {
                        continue;
                    }
                    auto next = border_crossing( candidate, required, {} );
                    if( next && !same_crossing( solid_, next.value(), previous ) )
                    {
                        return next;
                    }
                }
            }
            return std::nullopt;
        }

        /// Completes the path up to the end vertex. The next step depends
        /// only on the last two, so a walk that meets a pair of consecutive
        /// steps again would go round for ever: it gives no path.
        bool walk( std::vector< SolidPathStep >& path ) const
        {
            using StepKey = std::tuple< std::uint32_t, index_t, local_index_t, index_t >;
            const auto key = []( const SolidPathStep& step ) {
                return StepKey{ static_cast< std::uint32_t >( step.position ),
                    step.facet.polyhedron_id, step.facet.facet_id, step.vertex };
            };
            absl::flat_hash_set< std::pair< StepKey, StepKey > > visited;
            while( true )
            {
                const auto step = path.back();
                if( step.vertex == end_ )
                {
                    return true;
                }
                const auto& previous = path[path.size() - 2];
                if( !visited.emplace( key( previous ), key( step ) ).second )
                {
                    return false;
                }
                std::optional< SolidPathStep > next;
                if( step.vertex != NO_ID )
                {
                    next = continue_from_vertex( step.vertex, previous );
                    if( next && same_crossing( solid_, next.value(), previous ) )
                    {
                        return false;
                    }
                }
                else if( is_edge_crossing( step ) )
                {
                    next = continue_from_edge( step, previous );
                }
                if( !next )
                {
                    return false;
                }
                path.push_back( next.value() );
            }
        }

    private:
        const TetrahedralSolid< 3 >& solid_;
        index_t begin_;
        index_t end_;
        const Triangle< 3 >& triangle_;
    };

    SolidBorderPathFinder::SolidBorderPathFinder( const TetrahedralSolid< 3 >& solid,
        index_t begin,
        index_t end,
        const Triangle< 3 >& triangle )
        : impl_( std::make_unique< Impl >( solid, begin, end, triangle ) )
    {
    }

    SolidBorderPathFinder::~SolidBorderPathFinder() = default;

    std::vector< std::vector< SolidPathStep > >
        SolidBorderPathFinder::find_paths() const
    {
        return impl_->find_paths();
    }
} // namespace orvane
