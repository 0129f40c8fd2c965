#include <background/background_solid_inserter_impl.hpp>

#include <algorithm>
#include <functional>
#include <queue>

#include <absl/container/flat_hash_set.h>

#include <openorvane/geometry/distance.hpp>
#include <openorvane/geometry/intersection.hpp>
#include <openorvane/mesh/edged_curve.hpp>
#include <openorvane/mesh/edges.hpp>
#include <openorvane/mesh/facets.hpp>
#include <openorvane/mesh/surface_mesh.hpp>

#include <common/modifier/tetrahedron_preview.hpp>

namespace
{
    using namespace orvane;

    constexpr index_t MAX_TRACKING_STEPS = 1000;

    constexpr const char* TOO_MANY_TRACKING_STEPS =
        "[BackgroundSolidInserter::track_inserted_edge] Too many steps while "
        "tracking inserted edges.";

    /// Orders the crossings of an input edge from its first end: by their
    /// parameter along the segment, an end before a skin crossing at the
    /// same parameter; then drops each crossing at the point of the one
    /// before it, so that an end lying on the skin keeps its input vertex.
    /// The two ends are the first two crossings of the list.
    void order_crossings( std::vector< internal::EdgeCrossing >& crossings )
    {
        const auto& first = crossings[0].point;
        const Vector< 3 > direction{ first, crossings[1].point };
        const auto length2 = direction.length2();
        std::vector< std::pair< double, std::size_t > > keys;
        keys.reserve( crossings.size() );
        keys.emplace_back( 0., 0 );
        keys.emplace_back( 1., 1 );
        for( std::size_t i = 2; i < crossings.size(); i++ )
        {
            const auto parameter =
                length2 == 0.
                    ? 0.
                    : Vector< 3 >{ first, crossings[i].point }.dot( direction )
                          / length2;
            keys.emplace_back( parameter, i );
        }
        // A stable sort keeps the ends ahead of the skin crossings at their
        // parameter.
        std::stable_sort( keys.begin(), keys.end(),
            []( const auto& lhs, const auto& rhs ) {
                return lhs.first < rhs.first;
            } );
        std::vector< internal::EdgeCrossing > ordered;
        ordered.reserve( crossings.size() );
        for( const auto& key : keys )
        {
            auto& crossing = crossings[key.second];
            if( !ordered.empty() && ordered.back().point == crossing.point )
            {
                continue;
            }
            ordered.push_back( std::move( crossing ) );
        }
        crossings = std::move( ordered );
    }
} // namespace

namespace orvane
{
    namespace internal
    {
        std::optional< index_t > BackgroundSolidInserter::Impl::locate_point(
            const Point< 3 >& point )
        {
            const auto [closest, distance] = solid_.closest_element( point );
            if( closest == NO_ID || distance > GLOBAL_EPSILON )
            {
                return std::nullopt;
            }
            using Candidate = std::pair< double, index_t >;
            std::priority_queue< Candidate, std::vector< Candidate >,
                std::greater<> >
                candidates;
            for( const auto vertex : solid_.polyhedron_vertices( closest ) )
            {
                const auto current = modifier_.updated_vertex( vertex );
                // A vertex left isolated by a repair has no tetrahedron to
                // start from.
                const auto around = solid_.polyhedron_around_vertex( current );
                if( !around )
                {
                    continue;
                }
                candidates.emplace(
                    point_point_distance( point, solid_.point( current ) ),
                    around->polyhedron_id );
            }
            absl::flat_hash_set< index_t > visited;
            visited.reserve( 63 );
            while( !candidates.empty() )
            {
                const auto tetrahedron = candidates.top().second;
                candidates.pop();
                if( visited.contains( tetrahedron ) )
                {
                    continue;
                }
                if( std::get< 0 >( point_tetrahedron_distance(
                        point, solid_.tetrahedron( tetrahedron ) ) )
                    < GLOBAL_EPSILON )
                {
                    return tetrahedron;
                }
                visited.insert( tetrahedron );
                for( local_index_t f = 0; f < 4; f++ )
                {
                    const PolyhedronFacet facet{ tetrahedron, f };
                    const auto adjacent = solid_.polyhedron_adjacent( facet );
                    if( !adjacent || visited.contains( adjacent.value() ) )
                    {
                        continue;
                    }
                    candidates.emplace( std::get< 0 >( point_triangle_distance(
                                            point, solid_.triangle( facet ) ) ),
                        adjacent.value() );
                }
            }
            return std::nullopt;
        }

        template < typename SplitInfo >
        index_t BackgroundSolidInserter::Impl::repair_split(
            const SplitInfo& split, index_t first_new )
        {
            std::vector< index_t > created;
            for( const auto& origin : split.tetrahedra )
            {
                created.push_back( origin.new_element );
            }
            auto context = make_edit_context( { split.new_vertex } );
            context->repair_epsilon( created );
            context->repair_quality( first_new );
            return modifier_.updated_vertex( split.new_vertex );
        }

        index_t BackgroundSolidInserter::Impl::insert_point_in_tetrahedron(
            index_t tetrahedron, const Point< 3 >& point )
        {
            if( const auto local =
                    detail::polyhedron_vertex_at_point( solid_, tetrahedron, point ) )
            {
                return solid_.polyhedron_vertex( { tetrahedron, local.value() } );
            }
            const auto first_new = solid_.nb_polyhedra();
            const auto split = modifier_.split_tetrahedron( tetrahedron, point );
            return repair_split( split, first_new );
        }

        index_t BackgroundSolidInserter::Impl::skin_vertex(
            index_t skin_triangle, local_index_t corner )
        {
            return modifier_.updated_vertex(
                skin_facet_vertices_[skin_triangle][corner] );
        }

        std::vector< PolyhedronFacet >
            BackgroundSolidInserter::Impl::skin_border_facets(
                index_t skin_triangle )
        {
            const MeshPolygon record{ skin_id_, skin_triangle };
            std::vector< PolyhedronFacet > result;
            std::vector< index_t > visited;
            std::deque< index_t > queue;
            for( local_index_t corner = 0; corner < 3; corner++ )
            {
                const auto vertex = skin_vertex( skin_triangle, corner );
                if( std::find( visited.begin(), visited.end(), vertex )
                    == visited.end() )
                {
                    visited.push_back( vertex );
                    queue.push_back( vertex );
                }
            }
            const auto& facets = solid_.facets();
            while( !queue.empty() )
            {
                const auto vertex = queue.front();
                queue.pop_front();
                std::vector< PolyhedronFacet > noted;
                for( const auto& around : solid_.polyhedra_around_vertex( vertex ) )
                {
                    for( local_index_t f = 0; f < 4; f++ )
                    {
                        const PolyhedronFacet facet{ around.polyhedron_id, f };
                        if( !solid_.is_polyhedron_facet_on_border( facet ) )
                        {
                            continue;
                        }
                        const auto facet_id = facets.facet_from_vertices(
                            solid_.polyhedron_facet_vertices( facet ) );
                        if( !facet_id )
                        {
                            continue;
                        }
                        const auto& records = solid_.init_facet_ids( *facet_id );
                        if( std::find( records.begin(), records.end(), record )
                            != records.end() )
                        {
                            noted.push_back( facet );
                        }
                    }
                }
                for( const auto& facet : noted )
                {
                    if( std::find( result.begin(), result.end(), facet )
                        != result.end() )
                    {
                        continue;
                    }
                    result.push_back( facet );
                    for( const auto next : solid_.polyhedron_facet_vertices( facet ) )
                    {
                        if( std::find( visited.begin(), visited.end(), next )
                            == visited.end() )
                        {
                            visited.push_back( next );
                            queue.push_back( next );
                        }
                    }
                }
            }
            return result;
        }

        index_t BackgroundSolidInserter::Impl::insert_point_on_skin(
            const EdgeCrossing& crossing )
        {
            const auto& point = crossing.point;
            const auto split_border_facet = [&]( const PolyhedronFacet& facet ) {
                // A crossing at a corner of the facet is that corner: a
                // split there would only make flat tetrahedra.
                if( const auto corner =
                        detail::polyhedron_facet_vertex_at_point( solid_, facet, point ) )
                {
                    return solid_.polyhedron_facet_vertex( { facet, corner.value() } );
                }
                const auto first_new = solid_.nb_polyhedra();
                const auto split = modifier_.split_facet( facet, point );
                return repair_split( split, first_new );
            };
            const auto is_near = [&]( const PolyhedronFacet& facet ) {
                return std::get< 0 >(
                           point_triangle_distance( point, solid_.triangle( facet ) ) )
                       <= GLOBAL_EPSILON;
            };
            for( const auto& facet :
                skin_border_facets( crossing.skin_triangle.value() ) )
            {
                if( is_near( facet ) )
                {
                    return split_border_facet( facet );
                }
            }
            // The repairs may have remade the border facets there without
            // the skin's record: the border facet is then looked for around
            // the point itself.
            if( const auto tetrahedron = locate_point( point ) )
            {
                for( local_index_t f = 0; f < 4; f++ )
                {
                    const PolyhedronFacet facet{ tetrahedron.value(), f };
                    if( solid_.is_polyhedron_facet_on_border( facet ) && is_near( facet ) )
                    {
                        return split_border_facet( facet );
                    }
                }
            }
            return NO_ID;
        }

        EdgeInsertion BackgroundSolidInserter::Impl::insert_curve_edge(
            const EdgedCurve< 3 >& curve,
            index_t edge,
            std::array< index_t, 2 > vertices )
        {
            return insert_input_edge( curve.id(), edge, vertices,
                { curve.point( vertices[0] ), curve.point( vertices[1] ) } );
        }

        EdgeInsertion BackgroundSolidInserter::Impl::insert_surface_edge(
            const SurfaceMesh< 3 >& surface,
            index_t edge,
            std::array< index_t, 2 > vertices )
        {
            return insert_input_edge( surface.id(), edge, vertices,
                { surface.point( vertices[0] ), surface.point( vertices[1] ) } );
        }

        EdgeInsertion BackgroundSolidInserter::Impl::insert_input_edge(
            const uuid& mesh_id,
            index_t edge,
            std::array< index_t, 2 > vertices,
            std::array< Point< 3 >, 2 > points )
        {
            EdgeInsertion insertion;
            auto& crossings = insertion.crossings;
            crossings.push_back( { points[0], std::nullopt, vertices[0], std::nullopt } );
            crossings.push_back( { points[1], std::nullopt, vertices[1], std::nullopt } );
            const Segment< 3 > segment{ points[0], points[1] };
            skin_tree_.visit_boxes_along_segment(
                segment, [&]( index_t skin_triangle ) {
                    const auto intersection = segment_triangle_intersection(
                        segment, skin_->triangle( skin_triangle ) );
                    if( intersection.has_intersection() )
                    {
                        crossings.push_back( { intersection.result.value(),
                            std::nullopt, std::nullopt, skin_triangle } );
                    }
                    return false;
                } );
            order_crossings( crossings );
            for( auto& crossing : crossings )
            {
                if( crossing.skin_triangle )
                {
                    const auto vertex = insert_point_on_skin( crossing );
                    if( vertex != NO_ID )
                    {
                        crossing.vertex = vertex;
                        builder_.add_vertices_init_edge_id( mesh_id, edge, { vertex } );
                    }
                    continue;
                }
                const auto tetrahedron = locate_point( crossing.point );
                if( !tetrahedron )
                {
                    continue;
                }
                const auto vertex =
                    insert_point_in_tetrahedron( tetrahedron.value(), crossing.point );
                builder_.add_init_vertex_id(
                    mesh_id, crossing.input_vertex.value(), vertex );
                crossing.vertex = vertex;
                builder_.add_vertices_init_edge_id( mesh_id, edge, { vertex } );
            }
            for( std::size_t i = 1; i < crossings.size(); i++ )
            {
                const auto& from = crossings[i - 1].vertex;
                const auto& to = crossings[i].vertex;
                if( !from || !to )
                {
                    insertion.outside.push_back( 1 );
                    continue;
                }
                const std::array< index_t, 2 > stretch{ modifier_.updated_vertex(
                                                            from.value() ),
                    modifier_.updated_vertex( to.value() ) };
                if( !locate_point( solid_.edge_barycenter( stretch ) ) )
                {
                    insertion.outside.push_back( 1 );
                    continue;
                }
                insertion.outside.push_back( 0 );
                insert_sub_edge( mesh_id, edge, stretch );
            }
            for( auto& crossing : crossings )
            {
                if( crossing.vertex )
                {
                    crossing.vertex = modifier_.updated_vertex( crossing.vertex.value() );
                }
            }
            return insertion;
        }

        void BackgroundSolidInserter::Impl::insert_sub_edge( const uuid& mesh_id,
            index_t edge,
            std::array< index_t, 2 > vertices )
        {
            if( const auto record = common_init_edge_id( vertices ) )
            {
                auto ends = vertices;
                if( const auto path = track_inserted_edge( ends, record.value() ) )
                {
                    std::vector< index_t > edges;
                    edges.reserve( path->size() );
                    for( const auto& step : path.value() )
                    {
                        edges.push_back( step.edge );
                    }
                    builder_.add_edges_init_edge_id( mesh_id, edge, edges );
                    return;
                }
            }
            cut_input_edge( mesh_id, edge, vertices );
        }

        void BackgroundSolidInserter::Impl::cut_input_edge( const uuid& mesh_id,
            index_t edge,
            std::array< index_t, 2 > vertices )
        {
            const auto first_new = solid_.nb_polyhedra();
            auto context = make_edit_context();
            const auto chain = cut_edge( vertices, edge, *context );
            builder_.add_edges_init_edge_id( mesh_id, edge, chain_edges( chain ) );
            context->repair_epsilon_from( first_new );
            context->repair_quality( first_new );
        }

        std::vector< index_t > BackgroundSolidInserter::Impl::chain_edges(
            absl::Span< const index_t > chain ) const
        {
            std::vector< index_t > edges;
            for( std::size_t i = 1; i < chain.size(); i++ )
            {
                if( chain[i - 1] == chain[i] )
                {
                    continue;
                }
                const auto edge =
                    solid_.edges().edge_from_vertices( { chain[i - 1], chain[i] } );
                // A gap the recovery left open fails the element instead of
                // ending the whole run.
                if( !edge || solid_.polyhedra_around_edge(
                                 { chain[i - 1], chain[i] } )
                                 .empty() )
                {
                    throw OpenOrvaneException{ "[BackgroundSolidInserter::"
                                               "chain_edges] No edge between "
                                               "chain vertices ",
                        chain[i - 1], " and ", chain[i] };
                }
                edges.push_back( edge.value() );
            }
            return edges;
        }

        std::optional< MeshEdge > BackgroundSolidInserter::Impl::common_init_edge_id(
            std::array< index_t, 2 > vertices ) const
        {
            const auto& second = solid_.vertex_init_edge_ids( vertices[1] );
            for( const auto& record : solid_.vertex_init_edge_ids( vertices[0] ) )
            {
                if( std::find( second.begin(), second.end(), record ) != second.end() )
                {
                    return record;
                }
            }
            return std::nullopt;
        }

        std::vector< std::pair< index_t, index_t > >
            BackgroundSolidInserter::Impl::edges_with_init_edge(
                index_t vertex, const MeshEdge& record ) const
        {
            std::vector< std::pair< index_t, index_t > > result;
            absl::flat_hash_set< index_t > seen;
            const auto& edges = solid_.edges();
            for( const auto& around : solid_.polyhedra_around_vertex( vertex ) )
            {
                for( const auto other :
                    solid_.polyhedron_vertices( around.polyhedron_id ) )
                {
                    if( other == vertex || !seen.insert( other ).second )
                    {
                        continue;
                    }
                    const auto edge =
                        edges.edge_from_vertices( { vertex, other } ).value();
                    const auto& records = solid_.init_edge_ids( edge );
                    if( std::find( records.begin(), records.end(), record )
                        != records.end() )
                    {
                        result.emplace_back( edge, other );
                    }
                }
            }
            return result;
        }

        std::optional< std::vector< EdgeStep > >
            BackgroundSolidInserter::Impl::track_inserted_edge(
                std::array< index_t, 2 >& vertices, const MeshEdge& record )
        {
            vertices[0] = modifier_.updated_vertex( vertices[0] );
            vertices[1] = modifier_.updated_vertex( vertices[1] );
            const auto [begin, end] = vertices;
            if( begin == end )
            {
                return std::nullopt;
            }
            for( const auto& [first_edge, first_vertex] :
                edges_with_init_edge( begin, record ) )
            {
                std::vector< EdgeStep > path{ { first_edge, begin < first_vertex } };
                if( first_vertex == end )
                {
                    return path;
                }
                auto current = first_vertex;
                auto previous = first_edge;
                bool failed{ false };
                for( index_t steps = 0;; )
                {
                    if( steps >= MAX_TRACKING_STEPS )
                    {
                        throw OpenOrvaneException{ TOO_MANY_TRACKING_STEPS };
                    }
                    steps++;
                    const auto next = edges_with_init_edge( current, record );
                    if( next.size() != 2 )
                    {
                        failed = true;
                        break;
                    }
                    const auto& step =
                        next[0].first == previous ? next[1] : next[0];
                    path.push_back( { step.first, current < step.second } );
                    previous = step.first;
                    current = step.second;
                    if( current == end )
                    {
                        if( steps >= MAX_TRACKING_STEPS )
                        {
                            throw OpenOrvaneException{ TOO_MANY_TRACKING_STEPS };
                        }
                        break;
                    }
                }
                if( !failed )
                {
                    return path;
                }
            }
            return std::nullopt;
        }
    } // namespace internal
} // namespace orvane
