#include <background/background_solid_inserter_impl.hpp>

#include <algorithm>
#include <list>
#include <optional>
#include <utility>
#include <vector>

#include <openorvane/basic/exception.hpp>
#include <openorvane/basic/logger.hpp>
#include <openorvane/geometry/basic_objects.hpp>
#include <openorvane/geometry/intersection.hpp>
#include <openorvane/geometry/position.hpp>

#include <common/cutter/find_and_cut_along_patch.hpp>
#include <common/cutter/patch_surface.hpp>
#include <common/cutter/solid_cut_along_path.hpp>
#include <common/cutter/solid_determine_cuts.hpp>
#include <common/cutter/solid_path_finder.hpp>

// Inserting the inside part of an input triangle as background facets, once
// its three sides are in: the boundary of that part is walked as background
// edges, along the inserted stretches of the sides and, where a side runs
// outside the solid, along the border where the triangle's plane cuts it;
// the patch cutter then covers the triangle. A patch cut that fails is
// repaired around the failure and tried again, a bounded number of times.

namespace orvane
{
    namespace internal
    {
        namespace
        {
            using BoundaryPosition = BackgroundSolidInserter::Impl::BoundaryPosition;

            /// The next stretch around the triangle: the next one of the
            /// same side, else the first one of the following sides (a side
            /// whose two ends coincide has none).
            BoundaryPosition next_position(
                const std::array< EdgeInsertion, 3 >& edges,
                BoundaryPosition position )
            {
                position[1]++;
                for( index_t turn = 0; turn < 4; turn++ )
                {
                    if( position[1] < edges[position[0]].outside.size() )
                    {
                        return position;
                    }
                    position[0] = ( position[0] + 1 ) % 3;
                    position[1] = 0;
                }
                return position;
            }

            /// The first stretch, side by side, that was inserted as
            /// background edges: where the boundary walk starts.
            std::optional< BoundaryPosition > first_inside_position(
                const std::array< EdgeInsertion, 3 >& edges )
            {
                for( index_t side = 0; side < 3; side++ )
                {
                    const auto& outside = edges[side].outside;
                    for( index_t stretch = 0; stretch < outside.size(); stretch++ )
                    {
                        if( outside[stretch] == 0 )
                        {
                            return BoundaryPosition{ side, stretch };
                        }
                    }
                }
                return std::nullopt;
            }

            bool is_outside( const std::array< EdgeInsertion, 3 >& edges,
                const BoundaryPosition& position )
            {
                return edges[position[0]].outside[position[1]] != 0;
            }

            /// The background vertex of the crossing where the stretch at
            /// the position starts (`offset` 0) or ends (1); it must have
            /// one.
            index_t crossing_vertex( const std::array< EdgeInsertion, 3 >& edges,
                const BoundaryPosition& position,
                index_t offset )
            {
                return edges[position[0]]
                    .crossings[position[1] + offset]
                    .vertex.value();
            }

            bool meets_in_one_point(
                const Segment< 3 >& segment, const Triangle< 3 >& triangle )
            {
                return segment_triangle_intersection( segment, triangle )
                    .has_intersection();
            }

            /// The vertex a boundary step leaves from and the one it reaches.
            std::array< index_t, 2 > step_vertices(
                const BackgroundSolid& solid, const EdgeStep& step )
            {
                const auto& vertices = solid.edges().edge_vertices( step.edge );
                const auto low = std::min( vertices[0], vertices[1] );
                const auto high = std::max( vertices[0], vertices[1] );
                if( step.ascending )
                {
                    return { low, high };
                }
                return { high, low };
            }

            /// The boundary steps of a chain of vertices, one per consecutive
            /// pair of distinct vertices; every such pair must be an edge.
            void append_chain_steps( const BackgroundSolid& solid,
                absl::Span< const index_t > chain,
                std::vector< EdgeStep >& boundary )
            {
                for( std::size_t i = 1; i < chain.size(); i++ )
                {
                    const auto from = chain[i - 1];
                    const auto to = chain[i];
                    if( from == to )
                    {
                        continue;
                    }
                    boundary.push_back(
                        { solid.edges().edge_from_vertices( { from, to } ).value(),
                            from < to } );
                }
            }

            /// Writes what a patch cut changed into the provenance.
            void replay_patch_result(
                BackgroundSolidBuilder& builder, const CutAlongPatchResult& result )
            {
                builder.update_vertices( result.cut_vertices );
                builder.update_edges( result.modified_edges );
                builder.update_facets( result.modified_facets );
                builder.update_facets( result.patch_facets );
            }

            std::vector< index_t > patch_facet_indices(
                const CutAlongPatchResult& result )
            {
                std::vector< index_t > facets;
                facets.reserve( result.patch_facets.size() );
                for( const auto& entry : result.patch_facets )
                {
                    facets.push_back( entry.element );
                }
                return facets;
            }

            [[noreturn]] void throw_infinite_loop( const Triangle< 3 >& triangle )
            {
                throw OpenOrvaneException{ "[BackgroundSolid::insert_facet] "
                                           "Infinite loop during invalid "
                                           "insertion of MacroFacet (",
                    triangle.barycenter().string(), ")" };
            }
        } // namespace

        void BackgroundSolidInserter::Impl::insert_polygon_facet(
            const uuid& surface_id,
            index_t polygon,
            const std::array< EdgeInsertion, 3 >& edges )
        {
            const auto first_new_tetrahedron = solid_.nb_polyhedra();
            const Triangle< 3 > triangle{ edges[0].crossings.front().point,
                edges[1].crossings.front().point,
                edges[2].crossings.front().point };
            auto context = make_edit_context();
            facet_attempts_ = 0;
            const auto result =
                insert_macro_facet( edges, triangle, surface_id, polygon, *context );
            replay_patch_result( builder_, result );
            builder_.add_init_facet_id(
                surface_id, polygon, patch_facet_indices( result ) );
            context->repair_epsilon_from( first_new_tetrahedron );
            context->repair_quality( first_new_tetrahedron );
        }

        CutAlongPatchResult BackgroundSolidInserter::Impl::insert_macro_facet(
            const std::array< EdgeInsertion, 3 >& edges,
            const Triangle< 3 >& triangle,
            const uuid& surface_id,
            index_t polygon,
            InsertionEditContext& context )
        {
            // Every failed patch cut is repaired and the insertion tried
            // again; a repair that changes nothing would bring the same
            // failure back for ever.
            if( ++facet_attempts_ > MAX_FACET_ATTEMPTS )
            {
                throw OpenOrvaneException{ "[BackgroundSolidInserter::insert_"
                                           "macro_facet] Too many attempts "
                                           "while inserting MacroFacet (",
                    triangle.barycenter().string(), ")" };
            }
            std::vector< EdgeStep > boundary;
            if( first_inside_position( edges ) )
            {
                boundary = facet_boundary_edges( edges, triangle );
            }
            else if( const auto crossing =
                         get_one_crossing_background_skin_edge( triangle ) )
            {
                boundary = overlap_boundary_edges( *crossing, triangle );
            }
            std::list< index_t > walk;
            for( const auto& step : boundary )
            {
                walk.push_back( step_vertices( solid_, step )[0] );
            }
            if( detail::split_into_simple_cycles( FrontCycle{ std::move( walk ) } )
                    .empty() )
            {
                // Nothing of the triangle lies inside the solid.
                return {};
            }
            return insert_facet(
                boundary, triangle, surface_id, polygon, edges, context );
        }

        std::vector< EdgeStep > BackgroundSolidInserter::Impl::facet_boundary_edges(
            const std::array< EdgeInsertion, 3 >& edges,
            const Triangle< 3 >& triangle )
        {
            std::vector< EdgeStep > boundary;
            const auto start = first_inside_position( edges ).value();
            auto position = start;
            do
            {
                if( is_outside( edges, position ) )
                {
                    if( skin_boundary_edges( edges, triangle, position, boundary ) )
                    {
                        break;
                    }
                    // The position is now on an inserted stretch.
                    continue;
                }
                std::array< index_t, 2 > ends{
                    modifier_.updated_vertex( crossing_vertex( edges, position, 0 ) ),
                    modifier_.updated_vertex( crossing_vertex( edges, position, 1 ) )
                };
                if( ends[0] != ends[1] )
                {
                    const auto record = common_init_edge_id( ends ).value();
                    const auto path = track_inserted_edge( ends, record ).value();
                    boundary.insert( boundary.end(), path.begin(), path.end() );
                }
                position = next_position( edges, position );
            } while( position != start );
            return boundary;
        }

        bool BackgroundSolidInserter::Impl::skin_boundary_edges(
            const std::array< EdgeInsertion, 3 >& edges,
            const Triangle< 3 >& triangle,
            BoundaryPosition& position,
            std::vector< EdgeStep >& boundary )
        {
            const auto start = first_inside_position( edges ).value();
            const auto from = crossing_vertex( edges, position, 0 );
            bool closed{ false };
            do
            {
                position = next_position( edges, position );
                if( position == start )
                {
                    closed = true;
                    break;
                }
            } while( is_outside( edges, position ) );
            const std::array< index_t, 2 > ends{ modifier_.updated_vertex( from ),
                modifier_.updated_vertex( crossing_vertex( edges, position, 0 ) ) };
            const auto chain = cut_along_border_path( ends, triangle );
            append_chain_steps( solid_, chain, boundary );
            return closed;
        }

        std::optional< SkinCrossing >
            BackgroundSolidInserter::Impl::get_one_crossing_background_skin_edge(
                const Triangle< 3 >& triangle )
        {
            std::optional< std::array< index_t, 2 > > skin_edge;
            skin_tree_.visit_boxes_intersecting_box(
                triangle.bounding_box(), [&]( index_t skin_triangle ) {
                    const auto& skin = *skin_;
                    for( const local_index_t corner : { 0, 1, 2 } )
                    {
                        const Segment< 3 > segment{
                            skin.point( skin.polygon_vertex(
                                { skin_triangle, corner } ) ),
                            skin.point( skin.polygon_vertex(
                                { skin_triangle,
                                    static_cast< local_index_t >(
                                        ( corner + 1 ) % 3 ) } ) )
                        };
                        if( meets_in_one_point( segment, triangle ) )
                        {
                            skin_edge = { skin_triangle, corner };
                            return true;
                        }
                    }
                    return false;
                } );
            if( !skin_edge )
            {
                return std::nullopt;
            }
            const auto [skin_triangle, corner] = *skin_edge;
            const auto begin =
                skin_vertex( skin_triangle, static_cast< local_index_t >( corner ) );
            const auto end = skin_vertex( skin_triangle,
                static_cast< local_index_t >( ( corner + 1 ) % 3 ) );
            // The skin edge may have been split since the skin was copied:
            // its current pieces are found along the segment between its two
            // current ends.
            const auto path = SolidPathFinder{ solid_, begin, end }.find_path().value();
            for( std::size_t s = 1; s < path.size(); s++ )
            {
                const auto& step = path[s];
                if( detail::is_edge_position( step.position ) )
                {
                    const PolyhedronFacetEdge facet_edge{ step.facet,
                        detail::position_to_index( step.position ) };
                    const auto vertices =
                        solid_.polyhedron_facet_edge_vertices( facet_edge );
                    const auto intersection = segment_triangle_intersection(
                        { solid_.point( vertices[0] ), solid_.point( vertices[1] ) },
                        triangle );
                    if( intersection.has_intersection() )
                    {
                        return SkinCrossing{ facet_edge,
                            intersection.result.value() };
                    }
                    continue;
                }
                const auto previous = path[s - 1].vertex;
                if( previous == NO_ID || step.vertex == NO_ID )
                {
                    throw OpenOrvaneException{
                        "[BackgroundSolidInserter::get_one_crossing_background_"
                        "skin_edge] Case with an overlaping triangle and an "
                        "unmanaged initial skin edge path configuration"
                    };
                }
                const auto intersection = segment_triangle_intersection(
                    { solid_.point( previous ), solid_.point( step.vertex ) },
                    triangle );
                if( intersection.has_intersection() )
                {
                    return SkinCrossing{
                        solid_
                            .polyhedron_facet_edge_from_vertices(
                                { previous, step.vertex } )
                            .value(),
                        intersection.result.value()
                    };
                }
            }
            return std::nullopt;
        }

        std::vector< EdgeStep > BackgroundSolidInserter::Impl::overlap_boundary_edges(
            const SkinCrossing& crossing, const Triangle< 3 >& triangle )
        {
            // A crossing at an end of the edge is that vertex: a split there
            // would make flat tetrahedra.
            const auto ends = solid_.polyhedron_facet_edge_vertices( crossing.edge );
            index_t vertex{ NO_ID };
            for( const auto end : ends )
            {
                if( solid_.point( end ).inexact_equal( crossing.point ) )
                {
                    vertex = end;
                }
            }
            if( vertex == NO_ID )
            {
                vertex = modifier_.split_edge( crossing.edge, crossing.point )
                             .new_vertex;
            }
            const auto chain = cut_along_border_path( { vertex, vertex }, triangle );
            std::vector< EdgeStep > boundary;
            append_chain_steps( solid_, chain, boundary );
            return boundary;
        }

        std::optional< std::vector< SolidCut > >
            BackgroundSolidInserter::Impl::border_path_cuts(
                std::array< index_t, 2 > vertices, const Triangle< 3 >& triangle )
        {
            const SolidBorderPathFinder finder{ solid_, vertices[0], vertices[1],
                triangle };
            for( const auto& path : finder.find_paths() )
            {
                // A path running only through vertices of an already inserted
                // input edge, from one end of its record to the other, goes
                // along that edge rather than across the triangle's plane.
                const auto without_vertex =
                    std::any_of( path.begin(), path.end(), []( const auto& step ) {
                        return step.vertex == NO_ID;
                    } );
                if( !without_vertex )
                {
                    const auto record = common_init_edge_id(
                        { path.front().vertex, path.back().vertex } );
                    if( record
                        && std::all_of( path.begin(), path.end(),
                            [&]( const auto& step ) {
                                const auto& records =
                                    solid_.vertex_init_edge_ids( step.vertex );
                                return std::find( records.begin(), records.end(),
                                           *record )
                                       != records.end();
                            } ) )
                    {
                        continue;
                    }
                }
                return determine_plane_cuts( solid_, path, triangle.plane().value() );
            }
            return std::nullopt;
        }

        VertexChain BackgroundSolidInserter::Impl::cut_along_border_path(
            std::array< index_t, 2 > vertices, const Triangle< 3 >& triangle )
        {
            const auto cuts = border_path_cuts( vertices, triangle );
            if( !cuts )
            {
                return {};
            }
            // The modifier replays every edit of the cut into the provenance.
            CutAlongPath3D cutter{ solid_, modifier_, *cuts };
            const auto result = cutter.cut_along_path();
            VertexChain chain;
            chain.reserve( result.cut_vertices.size() );
            for( const auto& entry : result.cut_vertices )
            {
                chain.push_back( modifier_.updated_vertex( entry.element ) );
            }
            return chain;
        }

        CutAlongPatchResult BackgroundSolidInserter::Impl::insert_facet(
            absl::Span< const EdgeStep > boundary,
            const Triangle< 3 >& triangle,
            const uuid& surface_id,
            index_t polygon,
            const std::array< EdgeInsertion, 3 >& edges,
            InsertionEditContext& context )
        {
            const auto first_new_tetrahedron = solid_.nb_polyhedra();
            std::vector< PatchBoundaryEdge > patch_boundary;
            patch_boundary.reserve( boundary.size() );
            for( const auto& step : boundary )
            {
                const auto from = step_vertices( solid_, step )[0];
                patch_boundary.push_back( { step.edge,
                    solid_.edges().edge_vertices( step.edge )[0] == from } );
            }
            std::optional< CutPatchException > failure;
            try
            {
                FindAndCutAlongPatchImpl cutter{ solid_, modifier_, triangle,
                    patch_boundary };
                cutter.prepare();
                cutter.process();
                auto result = cutter.take_result();
                if( !result.short_edges.empty() )
                {
                    // A collapse hands the provenance of the facets it
                    // replaces on to the new ones: the patch facets must
                    // carry the polygon before, or the facets replacing them
                    // would lose it.
                    replay_patch_result( builder_, result );
                    builder_.add_init_facet_id(
                        surface_id, polygon, patch_facet_indices( result ) );
                    collapse_cut_edges( result.short_edges, context );
                }
                return result;
            }
            catch( const CutPatchException& exception )
            {
                failure = exception;
            }
            // The retry runs outside the handler, so that the failures of a
            // retry sequence do not pile up.
            const auto& partial = failure->result;
            replay_patch_result( builder_, partial );
            std::vector< index_t > around;
            const auto add_around = [&]( index_t vertex ) {
                for( const auto& polyhedron_vertex : solid_.polyhedra_around_vertex(
                         modifier_.updated_vertex( vertex ) ) )
                {
                    around.push_back( polyhedron_vertex.polyhedron_id );
                }
            };
            for( const auto& entry : partial.cut_vertices )
            {
                add_around( entry.element );
            }
            for( const auto vertex : failure->split_vertices )
            {
                add_around( vertex );
            }
            auto& tracked = context.tracked_vertices();
            tracked.clear();
            for( const auto vertex : failure->split_vertices )
            {
                tracked.push_back( modifier_.updated_vertex( vertex ) );
            }
            if( failure->front_blocked )
            {
                if( solid_.nb_polyhedra() == first_new_tetrahedron )
                {
                    throw_infinite_loop( triangle );
                }
                context.repair_epsilon( around );
                return insert_macro_facet(
                    edges, triangle, surface_id, polygon, context );
            }
            const auto pending = replay_pending_patch_cuts( *failure );
            for( const auto& edge : pending.split_edges )
            {
                context.track_edge( edge );
            }
            for( const auto vertex : pending.vertices )
            {
                if( vertex != NO_ID )
                {
                    tracked.push_back( modifier_.updated_vertex( vertex ) );
                }
            }
            context.repair_epsilon( pending.tetrahedra );
            context.repair_quality( first_new_tetrahedron );
            return insert_macro_facet( edges, triangle, surface_id, polygon, context );
        }

        PendingPatchCuts BackgroundSolidInserter::Impl::replay_pending_patch_cuts(
            const CutPatchException& exception )
        {
            PendingPatchCuts pending;
            for( const auto& cut : exception.postponed_cuts )
            {
                auto edge = cut.edge;
                Logger::log_debug( "pfe = ", edge.string() );
                const auto active = modifier_.is_polyhedron_active(
                    edge.polyhedron_facet.polyhedron_id );
                Logger::log_debug( "pfe active = ", active ? 1 : 0 );
                if( !active )
                {
                    // The edge's tetrahedron was replaced since the cut was
                    // postponed: the same edge is looked for among the live
                    // ones, its ends read through the merges made since.
                    const auto old_vertices =
                        solid_.polyhedron_facet_edge_vertices( edge );
                    const std::array< index_t, 2 > vertices{
                        modifier_.updated_vertex( old_vertices[0] ),
                        modifier_.updated_vertex( old_vertices[1] )
                    };
                    const auto found =
                        vertices[0] == vertices[1]
                            ? std::nullopt
                            : solid_.polyhedron_facet_edge_from_vertices(
                                  { vertices[0], vertices[1] } );
                    if( !found )
                    {
                        Logger::log_debug( "new pfe not found" );
                        pending.vertices.push_back( NO_ID );
                        continue;
                    }
                    edge = *found;
                }
                Logger::log_debug( "updated pfe = ", edge.string() );
                Logger::log_debug( "updated pfe active = ",
                    modifier_.is_polyhedron_active(
                        edge.polyhedron_facet.polyhedron_id )
                        ? 1
                        : 0 );
                const auto vertices = solid_.polyhedron_facet_edge_vertices( edge );
                const auto split = modifier_.split_edge( edge, cut.point );
                pending.vertices.push_back( split.new_vertex );
                for( const auto& origin : split.first_tetrahedra )
                {
                    pending.tetrahedra.push_back( origin.new_element );
                }
                for( const auto& origin : split.second_tetrahedra )
                {
                    pending.tetrahedra.push_back( origin.new_element );
                }
                pending.split_edges.push_back( { vertices[0], vertices[1] } );
                Logger::log_debug( "done = ", edge.string() );
            }
            return pending;
        }
    } // namespace internal
} // namespace orvane
