#include <conversion/model_builder_from_meshes.hpp>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include <absl/container/flat_hash_map.h>
#include <absl/container/flat_hash_set.h>
#include <absl/container/inlined_vector.h>
#include <absl/strings/str_cat.h>
#include <oneapi/tbb/enumerable_thread_specific.h>

#include <conversion/brep_blocks_builder.hpp>
#include <conversion/surface_piece_mesh.hpp>
#include <openorvane/basic/async.hpp>
#include <openorvane/basic/attribute_manager.hpp>
#include <openorvane/basic/exception.hpp>
#include <openorvane/geometry/nn_search.hpp>
#include <openorvane/mesh/mesh_factory.hpp>
#include <openorvane/mesh/surface_identifier.hpp>
#include <openorvane/mesh/surface_mesh_builder.hpp>
#include <openorvane/mesh/surface_mesh_merger.hpp>
#include <openorvane/mesh/triangulated_surface.hpp>
#include <openorvane/model/brep_builder.hpp>
#include <openorvane/model/model_boundaries.hpp>
#include <openorvane/model/split_along_borders.hpp>

namespace orvane
{
    namespace detail
    {
        namespace
        {
            constexpr double MERGE_TOLERANCE = 1e-6;

            const ComponentType CORNER{ "Corner" };
            const ComponentType LINE{ "Line" };
            const ComponentType SURFACE{ "Surface" };

            /// The single intermediate target of an input vertex or element.
            /// Every input gets one while vertices are identified, so a
            /// missing one means the input changed or was malformed.
            index_t intermediate_target(
                const ElementsMapping& mapping, const MeshElement& input, std::string_view what )
            {
                const auto found = mapping.in2out().find( input );
                if( found == mapping.in2out().end() || found->second.empty() )
                {
                    throw OpenOrvaneException{ "[build_brep_from_meshes] ", what, " ",
                        input.element, " of input mesh ", input.mesh_id.string(),
                        " has no place in the built model" };
                }
                return found->second.front().element;
            }

            /// Appends the value when not yet listed: a set that iterates in
            /// insertion order, so relationships do not follow hash order.
            void add_once( std::vector< uuid >& list, const uuid& id )
            {
                if( std::find( list.begin(), list.end(), id ) == list.end() )
                {
                    list.push_back( id );
                }
            }
        } // namespace

        class ModelBuilderFromMeshes< BRep >::Impl
        {
        public:
            Impl( ModelBuilderFromMeshes< BRep >& owner,
                BRep& model,
                absl::Span< const PointSet< 3 >* const > corners,
                absl::Span< const EdgedCurve< 3 >* const > lines,
                absl::Span< const SurfaceMesh< 3 >* const > surfaces )
                : owner_( owner ),
                  model_( model ),
                  builder_( model ),
                  corners_( corners ),
                  lines_( lines ),
                  surfaces_( surfaces ),
                  merger_( surfaces, MERGE_TOLERANCE ),
                  merged_( merger_.merge() ),
                  vertex_table_( merged_->nb_vertices(), NO_ID ),
                  identifier_( *merged_ )
            {
                elements_.corners.reserve( corners_.size() );
                std::size_t nb_line_edges{ 0 };
                for( const auto* line : lines_ )
                {
                    nb_line_edges += line->nb_edges();
                }
                elements_.lines.reserve( nb_line_edges );
                std::size_t nb_surface_vertices{ 0 };
                std::size_t nb_surface_polygons{ 0 };
                for( const auto* surface : surfaces_ )
                {
                    nb_surface_vertices += surface->nb_vertices();
                    nb_surface_polygons += surface->nb_polygons();
                }
                elements_.surfaces.reserve( nb_surface_polygons );
                polygon_entries_.reserve( nb_surface_polygons );
                vertices_.surfaces.reserve( nb_surface_vertices );
            }

            void identify_vertices()
            {
                const auto colocated = colocated_points();
                builder_.create_unique_vertices( colocated.nb_unique_points() );
                const auto& unique_of = colocated.colocated_mapping;
                const auto nb_merged_vertices = merged_->nb_vertices();
                add_border_edges( unique_of );
                add_shared_edges( unique_of );
                const auto touching = add_touching_vertices( unique_of );
                index_t offset = nb_merged_vertices;
                for( const auto* corner : corners_ )
                {
                    for( index_t v = 0; v < corner->nb_vertices(); v++ )
                    {
                        const auto wireframe_vertex = owner_.add_wireframe_corner(
                            unique_of[offset + v], corner->point( v ) );
                        elements_.corners.map(
                            { corner->id(), v }, { owner_.wireframe_id(), wireframe_vertex } );
                    }
                    offset += corner->nb_vertices();
                }
                for( const auto* line : lines_ )
                {
                    for( index_t e = 0; e < line->nb_edges(); e++ )
                    {
                        const auto ends = line->edge_vertices( e );
                        const std::array< index_t, 2 > uniques{ unique_of[offset + ends[0]],
                            unique_of[offset + ends[1]] };
                        if( uniques[0] == uniques[1] )
                        {
                            throw OpenOrvaneException{ "[build_brep_from_meshes] Edge ", e,
                                " of line mesh ", line->id().string(),
                                " has both ends at one point" };
                        }
                        const auto wireframe_edge = owner_.add_wireframe_edge(
                            uniques, line->point( ends[0] ), line->point( ends[1] ) );
                        elements_.lines.map(
                            { line->id(), e }, { owner_.wireframe_id(), wireframe_edge } );
                    }
                    offset += line->nb_vertices();
                }
                add_touching_corners( touching, unique_of );
                for( index_t v = 0; v < nb_merged_vertices; v++ )
                {
                    vertex_table_[v] = unique_of[v];
                }
                record_first_vertex_entries( unique_of );
                cut_along_wireframe();
                identifier_.identify_polygons();
            }

            bool is_corner( index_t wireframe_vertex ) const
            {
                const auto& wireframe = owner_.wireframe();
                const auto& around = wireframe.edges_around_vertex( wireframe_vertex );
                if( around.size() != 2 )
                {
                    return true;
                }
                std::array< std::vector< index_t >, 2 > pieces;
                for( const auto i : { 0, 1 } )
                {
                    for( const auto& edge : polygon_edges_[around[i].edge_id] )
                    {
                        pieces[i].push_back( identifier_.polygon_identifier( edge.polygon_id ) );
                    }
                    std::sort( pieces[i].begin(), pieces[i].end() );
                    pieces[i].erase(
                        std::unique( pieces[i].begin(), pieces[i].end() ), pieces[i].end() );
                }
                if( !pieces[0].empty() || !pieces[1].empty() )
                {
                    return pieces[0] != pieces[1];
                }
                const auto unique = owner_.wireframe_unique_vertex( wireframe_vertex );
                // The unique vertices of the merged vertices come first, so
                // an input surface vertex lies at `unique` exactly when it
                // numbers a merged vertex.
                if( unique < merged_->nb_vertices() && !merger_.vertex_origins( unique ).empty() )
                {
                    return true;
                }
                std::array< std::vector< uuid >, 2 > line_meshes;
                for( const auto i : { 0, 1 } )
                {
                    const MeshElement edge{ owner_.wireframe_id(), around[i].edge_id };
                    if( elements_.lines.has_mapping_output( edge ) )
                    {
                        for( const auto& input : elements_.lines.out2in( edge ) )
                        {
                            line_meshes[i].push_back( input.mesh_id );
                        }
                    }
                    std::sort( line_meshes[i].begin(), line_meshes[i].end() );
                    line_meshes[i].erase(
                        std::unique( line_meshes[i].begin(), line_meshes[i].end() ),
                        line_meshes[i].end() );
                }
                return line_meshes[0] != line_meshes[1];
            }

            ModelMappings build()
            {
                owner_.identify_vertices();
                owner_.build_corners();
                owner_.build_lines();
                build_surfaces();
                ModelMappings mappings;
                mappings.component_mapping = build_component_mapping();
                mappings.mesh_elements_mapping = std::move( elements_ );
                mappings.mesh_vertices_mapping = std::move( vertices_ );
                orvane::build_blocks( model_ );
                build_model_boundaries( model_, builder_ );
                return mappings;
            }

        private:
            NNSearch< 3 >::ColocatedInfo colocated_points() const
            {
                std::vector< Point< 3 > > points;
                auto nb_points = merged_->nb_vertices();
                for( const auto* corner : corners_ )
                {
                    nb_points += corner->nb_vertices();
                }
                for( const auto* line : lines_ )
                {
                    nb_points += line->nb_vertices();
                }
                points.reserve( nb_points );
                for( index_t v = 0; v < merged_->nb_vertices(); v++ )
                {
                    points.push_back( merged_->point( v ) );
                }
                for( const auto* corner : corners_ )
                {
                    for( index_t v = 0; v < corner->nb_vertices(); v++ )
                    {
                        points.push_back( corner->point( v ) );
                    }
                }
                for( const auto* line : lines_ )
                {
                    for( index_t v = 0; v < line->nb_vertices(); v++ )
                    {
                        points.push_back( line->point( v ) );
                    }
                }
                return NNSearch< 3 >{ std::move( points ) }.colocated_index_mapping(
                    MERGE_TOLERANCE );
            }

            void add_border_edges( const std::vector< index_t >& unique_of )
            {
                for( index_t polygon = 0; polygon < merged_->nb_polygons(); polygon++ )
                {
                    const auto nb_vertices = merged_->nb_polygon_vertices( polygon );
                    for( local_index_t e = 0; e < nb_vertices; e++ )
                    {
                        if( !merged_->is_edge_on_border( { polygon, e } ) )
                        {
                            continue;
                        }
                        const auto v0 = merged_->polygon_vertex( { polygon, e } );
                        const auto v1 = merged_->polygon_vertex(
                            { polygon, static_cast< local_index_t >( ( e + 1 ) % nb_vertices ) } );
                        owner_.add_wireframe_edge( { unique_of[v0], unique_of[v1] },
                            merged_->point( v0 ), merged_->point( v1 ) );
                    }
                }
            }

            /// Edges that polygons of two or more input surfaces run along
            /// while none of them has it on its border: surfaces that cross
            /// or meet through a shared polyline of their own interiors. The
            /// merged surface keeps each input's adjacency, so such an edge
            /// is not on its border; without a wireframe edge there the
            /// surfaces would not be cut along it and no line would keep
            /// them conformal through remeshing. Polygons merged from several
            /// inputs (identical triangles) share their edges with polygons
            /// of the same inputs only, so overlapping copies of one surface
            /// stay one surface. Edges are added in the order of the polygon
            /// edges that reveal them, so the numbering depends neither on
            /// hashing nor on the number of threads.
            void add_shared_edges( const std::vector< index_t >& unique_of )
            {
                // The merged surface is triangulated. Every polygon edge,
                // numbered 3 p + e, is bucketed under the smaller unique
                // vertex of its ends, in scan order; within a bucket the
                // edges are grouped by their other unique vertex, each group
                // in scan order. A group is one vertex pair: the edge that
                // adds it is its first one (in scan order) whose polygon's
                // input meshes differ from those of the group's first
                // polygon. Buckets are independent and searched on the pool;
                // the edges found are then added in scan order.
                const auto nb_polygons = merged_->nb_polygons();
                const auto nb_codes = static_cast< std::size_t >( nb_polygons ) * 3;
                const auto ends_of = [this, &unique_of]( std::size_t code ) {
                    const auto ends = merged_->polygon_edge_vertices(
                        { static_cast< index_t >( code / 3 ),
                            static_cast< local_index_t >( code % 3 ) } );
                    return std::array< index_t, 2 >{ unique_of[ends[0]], unique_of[ends[1]] };
                };
                std::vector< index_t > offsets( unique_of.size() + 1, 0 );
                for( index_t polygon = 0; polygon < nb_polygons; polygon++ )
                {
                    for( local_index_t e = 0; e < 3; e++ )
                    {
                        const auto uniques = ends_of( 3 * std::size_t{ polygon } + e );
                        if( uniques[0] != uniques[1] )
                        {
                            offsets[std::min( uniques[0], uniques[1] ) + 1]++;
                        }
                    }
                }
                for( std::size_t u = 0; u + 1 < offsets.size(); u++ )
                {
                    offsets[u + 1] += offsets[u];
                }
                std::vector< index_t > codes( offsets.back() );
                {
                    std::vector< index_t > fill( offsets.begin(), offsets.end() - 1 );
                    for( std::size_t code = 0; code < nb_codes; code++ )
                    {
                        const auto uniques = ends_of( code );
                        if( uniques[0] != uniques[1] )
                        {
                            codes[fill[std::min( uniques[0], uniques[1] )]++] =
                                static_cast< index_t >( code );
                        }
                    }
                }
                std::vector< char > added( nb_codes, 0 );
                async::parallel_for( 0, static_cast< index_t >( unique_of.size() ),
                    [&]( index_t u ) {
                        const auto begin = codes.begin() + offsets[u];
                        const auto end = codes.begin() + offsets[u + 1];
                        if( end - begin < 2 )
                        {
                            return;
                        }
                        const auto other = [&ends_of]( index_t code ) {
                            const auto uniques = ends_of( code );
                            return std::max( uniques[0], uniques[1] );
                        };
                        std::sort( begin, end, [&other]( index_t lhs, index_t rhs ) {
                            return std::make_pair( other( lhs ), lhs )
                                   < std::make_pair( other( rhs ), rhs );
                        } );
                        for( auto group = begin; group != end; )
                        {
                            const auto key = other( *group );
                            auto next = group + 1;
                            bool found{ false };
                            for( ; next != end && other( *next ) == key; ++next )
                            {
                                if( !found && !same_input_meshes( *group / 3, *next / 3 ) )
                                {
                                    added[*next] = 1;
                                    found = true;
                                }
                            }
                            group = next;
                        }
                    } );
                for( std::size_t code = 0; code < nb_codes; code++ )
                {
                    if( added[code] == 0 )
                    {
                        continue;
                    }
                    const auto ends = merged_->polygon_edge_vertices(
                        { static_cast< index_t >( code / 3 ),
                            static_cast< local_index_t >( code % 3 ) } );
                    owner_.add_wireframe_edge( { unique_of[ends[0]], unique_of[ends[1]] },
                        merged_->point( ends[0] ), merged_->point( ends[1] ) );
                }
            }

            /// Whether the two merged polygons come from the same set of
            /// input meshes.
            bool same_input_meshes( index_t polygon0, index_t polygon1 ) const
            {
                const auto origins0 = merger_.polygon_origins( polygon0 );
                const auto origins1 = merger_.polygon_origins( polygon1 );
                if( origins0.size() == 1 && origins1.size() == 1 )
                {
                    return origins0.front().mesh_index == origins1.front().mesh_index;
                }
                const auto meshes = []( absl::Span< const MergeOrigin > origins ) {
                    absl::InlinedVector< index_t, 2 > result;
                    for( const auto& origin : origins )
                    {
                        result.push_back( origin.mesh_index );
                    }
                    std::sort( result.begin(), result.end() );
                    result.erase( std::unique( result.begin(), result.end() ), result.end() );
                    return result;
                };
                return meshes( origins0 ) == meshes( origins1 );
            }

            /// Per merged vertex of two or more input vertices, whether it
            /// lies inside a patch that their input surfaces share: every
            /// merged polygon around it merges, for each of those input
            /// vertices, a polygon of that vertex. The surfaces then
            /// coincide all around the vertex, which is an inner point of
            /// the shared patch rather than a point where surfaces touch
            /// (nor a pinch of one surface, whose fans do not each hold
            /// both of its vertices there).
            std::vector< bool > vertices_inside_shared_patches() const
            {
                enum : char
                {
                    unseen,
                    inside,
                    outside
                };
                std::vector< char > state( merged_->nb_vertices(), unseen );
                for( index_t polygon = 0; polygon < merged_->nb_polygons(); polygon++ )
                {
                    const auto polygon_origins = merger_.polygon_origins( polygon );
                    for( const auto vertex : merged_->polygon_vertices( polygon ) )
                    {
                        const auto vertex_origins = merger_.vertex_origins( vertex );
                        if( vertex_origins.size() < 2 || state[vertex] == outside )
                        {
                            continue;
                        }
                        const auto covered = std::all_of( vertex_origins.begin(),
                            vertex_origins.end(), [&]( const detail::MergeOrigin& vertex_origin ) {
                                return std::any_of( polygon_origins.begin(),
                                    polygon_origins.end(),
                                    [&]( const detail::MergeOrigin& origin ) {
                                        if( origin.mesh_index != vertex_origin.mesh_index )
                                        {
                                            return false;
                                        }
                                        const auto vertices =
                                            surfaces_[origin.mesh_index]->polygon_vertices(
                                                origin.element );
                                        return std::find( vertices.begin(), vertices.end(),
                                                   vertex_origin.element )
                                               != vertices.end();
                                    } );
                            } );
                        state[vertex] = covered ? inside : outside;
                    }
                }
                std::vector< bool > result( state.size() );
                for( index_t v = 0; v < state.size(); v++ )
                {
                    result[v] = state[v] == inside;
                }
                return result;
            }

            /// The merged vertices away from the merged border and outside
            /// shared patches where two or more input vertices meet, in index
            /// order; each gets its wireframe vertex. Whether it also gets a corner is decided
            /// once the input line edges are known (add_touching_corners).
            std::vector< index_t > add_touching_vertices( const std::vector< index_t >& unique_of )
            {
                const auto shared = vertices_inside_shared_patches();
                std::vector< index_t > touching;
                for( index_t v = 0; v < merged_->nb_vertices(); v++ )
                {
                    if( merger_.vertex_origins( v ).size() >= 2
                        && !merged_->is_vertex_on_border( v ) && !shared[v] )
                    {
                        owner_.add_wireframe_vertex( unique_of[v], merged_->point( v ) );
                        touching.push_back( v );
                    }
                }
                return touching;
            }

            /// Makes a corner at each touching vertex, except where every
            /// input surface meeting there runs along the wireframe through
            /// it (has a polygon edge at the vertex on a wireframe edge).
            /// Surfaces crossing along a shared polyline that an input line
            /// follows thus do not get a corner at every vertex of it: those
            /// vertices are left to is_corner like any other vertex of a
            /// line. An isolated touching point, or a surface that meets a
            /// line only at one of its vertices, keeps its corner.
            void add_touching_corners(
                const std::vector< index_t >& touching, const std::vector< index_t >& unique_of )
            {
                if( touching.empty() )
                {
                    return;
                }
                std::vector< index_t > candidate( merged_->nb_vertices(), NO_ID );
                for( index_t c = 0; c < touching.size(); c++ )
                {
                    candidate[touching[c]] = c;
                }
                // The input meshes that run along the wireframe at each
                // touching vertex.
                std::vector< absl::InlinedVector< index_t, 2 > > along( touching.size() );
                for( index_t polygon = 0; polygon < merged_->nb_polygons(); polygon++ )
                {
                    const auto nb_vertices = merged_->nb_polygon_vertices( polygon );
                    for( local_index_t e = 0; e < nb_vertices; e++ )
                    {
                        const auto ends = merged_->polygon_edge_vertices( { polygon, e } );
                        if( candidate[ends[0]] == NO_ID && candidate[ends[1]] == NO_ID )
                        {
                            continue;
                        }
                        if( !owner_.find_wireframe_edge( { unique_of[ends[0]], unique_of[ends[1]] } ) )
                        {
                            continue;
                        }
                        for( const auto end : ends )
                        {
                            if( candidate[end] == NO_ID )
                            {
                                continue;
                            }
                            auto& meshes = along[candidate[end]];
                            for( const auto& origin : merger_.polygon_origins( polygon ) )
                            {
                                if( std::find( meshes.begin(), meshes.end(), origin.mesh_index )
                                    == meshes.end() )
                                {
                                    meshes.push_back( origin.mesh_index );
                                }
                            }
                        }
                    }
                }
                for( index_t c = 0; c < touching.size(); c++ )
                {
                    const auto v = touching[c];
                    const auto& meshes = along[c];
                    const auto origins = merger_.vertex_origins( v );
                    const auto all_along =
                        std::all_of( origins.begin(), origins.end(), [&meshes]( const auto& origin ) {
                            return std::find( meshes.begin(), meshes.end(), origin.mesh_index )
                                   != meshes.end();
                        } );
                    if( !all_along )
                    {
                        owner_.add_wireframe_corner( unique_of[v], merged_->point( v ) );
                    }
                }
            }

            void record_first_vertex_entries( const std::vector< index_t >& unique_of )
            {
                // The surface vertices and polygons need no intermediate
                // entry: the vertex table and the merger give their place
                // until the surfaces exist, and their final entries are
                // written then.
                index_t offset = merged_->nb_vertices();
                for( const auto* corner : corners_ )
                {
                    for( index_t v = 0; v < corner->nb_vertices(); v++ )
                    {
                        vertices_.corners.map(
                            { corner->id(), v }, { corner->id(), unique_of[offset + v] } );
                    }
                    offset += corner->nb_vertices();
                }
                for( const auto* line : lines_ )
                {
                    for( index_t v = 0; v < line->nb_vertices(); v++ )
                    {
                        vertices_.lines.map(
                            { line->id(), v }, { line->id(), unique_of[offset + v] } );
                    }
                    offset += line->nb_vertices();
                }
            }

            /// Unsets the merged adjacency across every polygon edge on a
            /// wireframe edge and lists the edge there. The edges are found
            /// on the pool, chunk by chunk of polygons (a read-only search),
            /// and the cuts are applied in polygon order.
            void cut_along_wireframe()
            {
                polygon_edges_.resize( owner_.wireframe().nb_edges() );
                const auto nb_polygons = merged_->nb_polygons();
                const auto chunk = async::grain( nb_polygons );
                std::vector< std::vector< std::pair< PolygonEdge, index_t > > > found(
                    nb_polygons / chunk + 1 );
                auto tasks = async::chunked_tasks(
                    nb_polygons, [this, &found, chunk]( index_t begin, index_t end ) {
                        auto& list = found[begin / chunk];
                        for( auto polygon = begin; polygon < end; polygon++ )
                        {
                            for( local_index_t e = 0; e < merged_->nb_polygon_vertices( polygon );
                                 e++ )
                            {
                                const PolygonEdge edge{ polygon, e };
                                const auto ends = merged_->polygon_edge_vertices( edge );
                                const auto wireframe_edge = owner_.find_wireframe_edge(
                                    { vertex_table_[ends[0]], vertex_table_[ends[1]] } );
                                if( wireframe_edge )
                                {
                                    list.emplace_back( edge, *wireframe_edge );
                                }
                            }
                        }
                    } );
                async::wait_all( tasks );
                auto merged_builder = SurfaceMeshBuilder< 3 >::create( *merged_ );
                for( const auto& list : found )
                {
                    for( const auto& [edge, wireframe_edge] : list )
                    {
                        merged_builder->unset_polygon_adjacent( edge );
                        polygon_edges_[wireframe_edge].push_back( edge );
                    }
                }
            }

            /// Makes one surface per piece. The surfaces are added in piece
            /// order, their meshes are built side by side on the pool (each
            /// task touches its own mesh only), then the line relationships,
            /// unique vertices, names, provenance and inner corners are set
            /// piece by piece in order: the model does not depend on the
            /// number of threads.
            void build_surfaces()
            {
                const auto& pieces = identifier_.identified_connected_polygons();
                const auto nb_pieces = static_cast< index_t >( pieces.size() );
                std::vector< uuid > surface_ids;
                surface_ids.reserve( nb_pieces );
                for( index_t piece = 0; piece < nb_pieces; piece++ )
                {
                    const auto& first_origin =
                        merger_.polygon_origins( pieces[piece].front() ).front();
                    const auto& first_input = *surfaces_[first_origin.mesh_index];
                    surface_ids.push_back(
                        builder_.add_surface( MeshFactory::default_impl( first_input.type_name() ) ) );
                }
                std::vector< SurfacePieceMesh > piece_meshes( nb_pieces );
                std::vector< std::pair< std::vector< uuid >, std::vector< uuid > > > piece_lines(
                    nb_pieces );
                std::vector< index_t > polygon_map( merged_->nb_polygons(), NO_ID );
                // Each piece writes its polygon entries to its own range of
                // the list, in piece order.
                std::vector< std::size_t > first_entry( nb_pieces + 1, 0 );
                async::parallel_for( 0, nb_pieces, [&]( index_t piece ) {
                    first_entry[piece + 1] = nb_polygon_origins( merger_, pieces[piece] );
                } );
                for( index_t piece = 0; piece < nb_pieces; piece++ )
                {
                    first_entry[piece + 1] += first_entry[piece];
                }
                // Filled with copies of one entry: a default MeshElement
                // would draw a fresh uuid per element.
                const MeshElement unset{ uuid{}, NO_ID };
                polygon_entries_.assign( first_entry.back(), { unset, unset } );
                const MergedSurfaces merged{ surfaces_, merger_, *merged_, vertex_table_ };
                // One vertex table per worker thread, made on its first piece
                // and reset by each piece it builds.
                tbb::enumerable_thread_specific< std::vector< index_t > > vertex_maps;
                async::parallel_for( 0, nb_pieces, [&]( index_t piece ) {
                    const auto& surface = model_.surface( surface_ids[piece] );
                    auto mesh_builder = builder_.surface_mesh_builder( surface.id() );
                    auto& vertex_map = vertex_maps.local();
                    vertex_map.resize( merged_->nb_vertices(), NO_ID );
                    piece_meshes[piece] = build_surface_piece_mesh( merged, pieces[piece],
                        surface.id(), surface.mesh(), *mesh_builder, absl::MakeSpan( polygon_map ),
                        absl::MakeSpan( vertex_map ),
                        absl::MakeSpan( polygon_entries_ )
                            .subspan( first_entry[piece], first_entry[piece + 1] - first_entry[piece] ) );
                    piece_lines[piece] = classify_surface_lines( piece, pieces[piece] );
                } );
                for( index_t piece = 0; piece < nb_pieces; piece++ )
                {
                    auto& piece_mesh = piece_meshes[piece];
                    const auto& surface = model_.surface( surface_ids[piece] );
                    const auto& [boundaries, internals] = piece_lines[piece];
                    for( const auto& line : boundaries )
                    {
                        builder_.add_line_surface_boundary_relationship(
                            model_.line( line ), surface );
                    }
                    for( const auto& line : internals )
                    {
                        builder_.add_line_surface_internal_relationship(
                            model_.line( line ), surface );
                    }
                    const auto id = surface.component_id();
                    for( index_t v = 0; v < piece_mesh.unique_vertices.size(); v++ )
                    {
                        builder_.set_unique_vertex( { id, v }, piece_mesh.unique_vertices[v] );
                    }
                    builder_.set_surface_name( surface.id(), piece_mesh.name );
                    auto& input_ids = surface_inputs_[surface.id()];
                    for( const auto& input : piece_mesh.input_ids )
                    {
                        add_once( input_ids, input );
                    }
                    piece_mesh = SurfacePieceMesh{};
                    relate_inner_corners( surface );
                }
                // The surface element mapping and the rest touch different
                // tables: they are filled side by side.
                async::parallel_invoke(
                    [this] {
                        elements_.surfaces.map_all( polygon_entries_ );
                        decltype( polygon_entries_ ){}.swap( polygon_entries_ );
                    },
                    [this] {
                        complete_surface_mappings();
                        complete_line_mappings();
                        complete_corner_mappings();
                        map_split_vertices();
                    } );
            }

            /// The lines along the piece: those with the piece on one side
            /// bound it, those with the piece on both sides lie inside it.
            /// Each list in order of first meeting.
            std::pair< std::vector< uuid >, std::vector< uuid > > classify_surface_lines(
                index_t piece, const std::vector< index_t >& polygons ) const
            {
                std::vector< uuid > boundaries;
                std::vector< uuid > internals;
                for( const auto polygon : polygons )
                {
                    for( local_index_t e = 0; e < merged_->nb_polygon_vertices( polygon ); e++ )
                    {
                        const auto ends = merged_->polygon_edge_vertices( { polygon, e } );
                        const auto wireframe_edge = owner_.find_wireframe_edge(
                            { vertex_table_[ends[0]], vertex_table_[ends[1]] } );
                        if( !wireframe_edge )
                        {
                            continue;
                        }
                        const auto& along = polygon_edges_[*wireframe_edge];
                        const auto count = std::count_if(
                            along.begin(), along.end(), [this, piece]( const PolygonEdge& edge ) {
                                return identifier_.polygon_identifier( edge.polygon_id ) == piece;
                            } );
                        const auto& line = owner_.wireframe_line( *wireframe_edge );
                        add_once( count == 1 ? boundaries : internals, line );
                    }
                }
                return { std::move( boundaries ), std::move( internals ) };
            }

            /// Relates the surface to the corners inside it: those at a
            /// surface vertex on no line bounding the surface (a touching
            /// point, the free end of a line inside the surface).
            void relate_inner_corners( const Surface< 3 >& surface )
            {
                const auto& mesh = surface.mesh();
                const auto id = surface.component_id();
                const auto boundaries = model_.boundaries( surface );
                for( index_t v = 0; v < mesh.nb_vertices(); v++ )
                {
                    const auto unique = model_.unique_vertex( { id, v } );
                    const auto corners = model_.component_mesh_vertices( unique, CORNER );
                    if( corners.empty() )
                    {
                        continue;
                    }
                    const auto on_boundary = std::any_of( boundaries.begin(), boundaries.end(),
                        [this, unique]( const Line< 3 >& line ) {
                            return !model_.mesh_component_vertices( unique, line.id() ).empty();
                        } );
                    if( on_boundary )
                    {
                        continue;
                    }
                    for( const auto& corner : corners )
                    {
                        builder_.add_corner_surface_internal_relationship(
                            model_.corner( corner.component_id.id() ), surface );
                    }
                }
            }

            void map_to_component_vertices(
                ElementsMapping& mapping, const MeshElement& input, index_t unique, const ComponentType& type )
            {
                for( const auto& component_vertex : model_.component_mesh_vertices( unique, type ) )
                {
                    mapping.map( input, component_vertex.mesh_vertex() );
                }
            }

            /// Maps every input surface vertex to the surface vertices at
            /// its unique vertex. The polygons were mapped as the surface
            /// meshes were made.
            void complete_surface_mappings()
            {
                // The entries of input vertex k (meshes in span order) take
                // the range [first[k], first[k + 1]) of the list: counted,
                // then written, on the pool.
                std::vector< std::size_t > first{ 0 };
                for( const auto* surface : surfaces_ )
                {
                    first.resize( first.size() + surface->nb_vertices(), 0 );
                }
                const auto for_each_input_vertex = [this]( const auto& function ) {
                    std::size_t offset{ 0 };
                    for( index_t m = 0; m < surfaces_.size(); m++ )
                    {
                        async::parallel_for( 0, surfaces_[m]->nb_vertices(),
                            [this, &function, m, offset]( index_t v ) {
                                const auto unique = vertex_table_[merger_.vertex_in_merged( m, v )];
                                function( offset + v, *surfaces_[m], v,
                                    model_.component_mesh_vertices( unique ) );
                            } );
                        offset += surfaces_[m]->nb_vertices();
                    }
                };
                for_each_input_vertex( [&first]( std::size_t k, const SurfaceMesh< 3 >&,
                                           index_t, const auto& component_vertices ) {
                    first[k + 1] = static_cast< std::size_t >( std::count_if(
                        component_vertices.begin(), component_vertices.end(),
                        []( const ComponentMeshVertex& component_vertex ) {
                            return component_vertex.component_id.type() == SURFACE;
                        } ) );
                } );
                for( std::size_t k = 1; k < first.size(); k++ )
                {
                    first[k] += first[k - 1];
                }
                std::vector< std::pair< MeshElement, MeshElement > > entries( first.back() );
                for_each_input_vertex( [&first, &entries]( std::size_t k,
                                           const SurfaceMesh< 3 >& surface, index_t v,
                                           const auto& component_vertices ) {
                    auto next = first[k];
                    for( const auto& component_vertex : component_vertices )
                    {
                        if( component_vertex.component_id.type() == SURFACE )
                        {
                            entries[next++] = { { surface.id(), v },
                                component_vertex.mesh_vertex() };
                        }
                    }
                } );
                vertices_.surfaces.map_all( entries );
            }

            void complete_line_mappings()
            {
                for( const auto* line : lines_ )
                {
                    for( index_t e = 0; e < line->nb_edges(); e++ )
                    {
                        const MeshElement input{ line->id(), e };
                        const auto wireframe_edge =
                            intermediate_target( elements_.lines, input, "Edge" );
                        elements_.lines.erase_in( input );
                        elements_.lines.map( input, { owner_.wireframe_line( wireframe_edge ),
                                                        owner_.wireframe_line_edge( wireframe_edge ) } );
                    }
                    for( index_t v = 0; v < line->nb_vertices(); v++ )
                    {
                        const MeshElement input{ line->id(), v };
                        const auto unique = intermediate_target( vertices_.lines, input, "Vertex" );
                        vertices_.lines.erase_in( input );
                        map_to_component_vertices( vertices_.lines, input, unique, LINE );
                    }
                }
            }

            void complete_corner_mappings()
            {
                for( const auto* corner : corners_ )
                {
                    for( index_t v = 0; v < corner->nb_vertices(); v++ )
                    {
                        const MeshElement input{ corner->id(), v };
                        const auto wireframe_vertex =
                            intermediate_target( elements_.corners, input, "Vertex" );
                        elements_.corners.erase_in( input );
                        elements_.corners.map(
                            input, { owner_.wireframe_corner( wireframe_vertex ), 0 } );
                        const auto unique =
                            intermediate_target( vertices_.corners, input, "Vertex" );
                        vertices_.corners.erase_in( input );
                        map_to_component_vertices( vertices_.corners, input, unique, CORNER );
                    }
                }
            }

            void map_split_vertices()
            {
                const auto splits = SplitAlongSurfaceMeshBorders< BRep >{ model_ }.split_all_surfaces();
                for( const auto& [old_vertex, new_vertex] : splits )
                {
                    const auto old_output = old_vertex.mesh_vertex();
                    if( !vertices_.surfaces.has_mapping_output( old_output ) )
                    {
                        throw OpenOrvaneException{ "[build_brep_from_meshes] ",
                            old_vertex.string(), " was split but comes from no input vertex" };
                    }
                    const auto inputs = vertices_.surfaces.out2in( old_output );
                    for( const auto& input : inputs )
                    {
                        vertices_.surfaces.map( input, new_vertex.mesh_vertex() );
                    }
                }
            }

            template < typename Range, typename NbElements >
            GenericMapping< uuid, uuid > component_mapping( const Range& components,
                const ElementsMapping& elements,
                NbElements nb_elements ) const
            {
                GenericMapping< uuid, uuid > mapping;
                for( const auto& component : components )
                {
                    std::vector< uuid > seen;
                    const auto nb = nb_elements( component.mesh() );
                    for( index_t e = 0; e < nb; e++ )
                    {
                        const MeshElement output{ component.id(), e };
                        if( !elements.has_mapping_output( output ) )
                        {
                            continue;
                        }
                        for( const auto& input : elements.out2in( output ) )
                        {
                            if( std::find( seen.begin(), seen.end(), input.mesh_id ) == seen.end() )
                            {
                                seen.push_back( input.mesh_id );
                                mapping.map( input.mesh_id, component.id() );
                            }
                        }
                    }
                }
                return mapping;
            }

            ModelMapping< GenericMapping< uuid, uuid > > build_component_mapping() const
            {
                ModelMapping< GenericMapping< uuid, uuid > > mapping;
                mapping.emplace( CORNER,
                    component_mapping( model_.corners(), elements_.corners,
                        []( const PointSet< 3 >& mesh ) { return mesh.nb_vertices(); } ) );
                mapping.emplace( LINE, component_mapping( model_.lines(), elements_.lines,
                                           []( const EdgedCurve< 3 >& mesh ) { return mesh.nb_edges(); } ) );
                // The input meshes of a surface, in the order in which its
                // polygons name them, were listed as its mesh was made.
                GenericMapping< uuid, uuid > surfaces;
                for( const auto& surface : model_.surfaces() )
                {
                    const auto found = surface_inputs_.find( surface.id() );
                    if( found == surface_inputs_.end() )
                    {
                        continue;
                    }
                    for( const auto& input : found->second )
                    {
                        surfaces.map( input, surface.id() );
                    }
                }
                mapping.emplace( SURFACE, std::move( surfaces ) );
                return mapping;
            }

        private:
            ModelBuilderFromMeshes< BRep >& owner_;
            BRep& model_;
            BRepBuilder builder_;
            absl::Span< const PointSet< 3 >* const > corners_;
            absl::Span< const EdgedCurve< 3 >* const > lines_;
            absl::Span< const SurfaceMesh< 3 >* const > surfaces_;
            SurfaceMeshMerger< 3 > merger_;
            /// The merged polygon edges on each wireframe edge.
            std::vector< absl::InlinedVector< PolygonEdge, 3 > > polygon_edges_;
            std::unique_ptr< SurfaceMesh< 3 > > merged_;
            /// The unique vertex of each merged vertex.
            std::vector< index_t > vertex_table_;
            SurfaceIdentifier< 3 > identifier_;
            MeshElementsMapping vertices_;
            MeshElementsMapping elements_;
            /// The surface polygon entries of the element mapping, gathered
            /// while the surfaces are made and mapped all at once.
            std::vector< std::pair< MeshElement, MeshElement > > polygon_entries_;
            /// The input surface meshes behind each surface, in the order of
            /// its polygons.
            absl::flat_hash_map< uuid, std::vector< uuid > > surface_inputs_;
        };

        ModelBuilderFromMeshes< BRep >::ModelBuilderFromMeshes( BRep& model,
            absl::Span< const PointSet< 3 >* const > corners,
            absl::Span< const EdgedCurve< 3 >* const > lines,
            absl::Span< const SurfaceMesh< 3 >* const > surfaces )
            : CornersLinesBuilder< BRep >( model ),
              impl_( std::make_unique< Impl >( *this, model, corners, lines, surfaces ) )
        {
        }

        ModelBuilderFromMeshes< BRep >::~ModelBuilderFromMeshes() = default;

        void ModelBuilderFromMeshes< BRep >::identify_vertices()
        {
            impl_->identify_vertices();
        }

        bool ModelBuilderFromMeshes< BRep >::is_corner( index_t wireframe_vertex )
        {
            return impl_->is_corner( wireframe_vertex );
        }

        ModelMappings ModelBuilderFromMeshes< BRep >::build()
        {
            return impl_->build();
        }

        BRepFromMeshesBuilder::BRepFromMeshesBuilder( BRep& model,
            absl::Span< const PointSet< 3 >* const > corners,
            absl::Span< const EdgedCurve< 3 >* const > lines,
            absl::Span< const SurfaceMesh< 3 >* const > surfaces )
            : ModelBuilderFromMeshes< BRep >( model, corners, lines, surfaces )
        {
        }

        BRepFromMeshesBuilder::~BRepFromMeshesBuilder() = default;

        std::tuple< BRep, ModelMappings > build_brep_from_meshes(
            absl::Span< const PointSet< 3 >* const > corners,
            absl::Span< const EdgedCurve< 3 >* const > lines,
            absl::Span< const SurfaceMesh< 3 >* const > surfaces )
        {
            BRep model;
            ModelMappings mappings;
            {
                BRepFromMeshesBuilder builder{ model, corners, lines, surfaces };
                mappings = builder.build();
            }
            return { std::move( model ), std::move( mappings ) };
        }
    } // namespace detail
} // namespace orvane
