#include <common/cutter/surface_cut_along_path.hpp>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <limits>
#include <optional>
#include <tuple>

#include <absl/container/fixed_array.h>

#include <openorvane/geometry/predicates.hpp>
#include <openorvane/mesh/triangulated_surface.hpp>

#include <common/modifier/triangle_preview.hpp>
#include <common/modifier/triangulated_surface_modifier.hpp>

namespace
{
    using namespace orvane;

    constexpr auto CONTEXT = "[SurfaceCutAlongPath::cut_along_path]";

    /// The origin of an edge that stems from no edge.
    const PolygonEdge NO_ORIGIN{};

    /// Kinds of the edge map.
    constexpr std::uint8_t ON_PATH = 0;
    constexpr std::uint8_t MADE = 1;

    /// Sides of the side map: a polygon holding a path edge oriented along
    /// the path is on the left.
    constexpr std::uint8_t RIGHT = 0;
    constexpr std::uint8_t LEFT = 1;

    /// Work storage that a cut leaves to the next cut on its thread, so that
    /// the many short cuts of a remeshing do not each allocate it anew. Only
    /// storage of a usual size is kept.
    struct SpareStorage
    {
        static constexpr std::size_t MAX_KEPT = 4096;

        std::vector< std::pair< PolygonEdge, detail::SurfaceCutEdgeEntry > > edges;
        std::vector< std::uint8_t > sides;
    };

    thread_local SpareStorage spare_storage;

    /// Gives `storage`, emptied, to `spare` when that holds none and it is
    /// of a usual size.
    template < typename Storage >
    void keep_spare( Storage&& storage, Storage& spare )
    {
        if( spare.capacity() == 0 && storage.capacity() <= SpareStorage::MAX_KEPT )
        {
            spare = std::move( storage );
            spare.clear();
        }
    }

    /// The side of each polygon that has one. The polygons made by the cut
    /// take indices from the surface's polygon count on: their sides lie in
    /// an array from there, read and written without a search; older
    /// polygons, as those of path edges between existing vertices, in a
    /// sorted map.
    class PolygonSides
    {
    public:
        explicit PolygonSides( index_t first_new )
            : first_new_( first_new ), new_sides_( std::move( spare_storage.sides ) )
        {
            new_sides_.clear();
        }
        PolygonSides( const PolygonSides& ) = delete;
        PolygonSides& operator=( const PolygonSides& ) = delete;
        ~PolygonSides()
        {
            keep_spare( std::move( new_sides_ ), spare_storage.sides );
        }

        /// Makes room for the sides of `nb_new` new polygons at once.
        void reserve( std::size_t nb_new )
        {
            new_sides_.resize( nb_new, NONE );
        }

        void set( index_t polygon, std::uint8_t side )
        {
            const std::size_t offset = polygon - first_new_;
            if( polygon >= first_new_ && offset < new_sides_.size() )
            {
                new_sides_[offset] = side;
                return;
            }
            set_beyond( polygon, side );
        }

        /// The side of the polygon, or nullptr when it has none.
        const std::uint8_t* find( index_t polygon ) const
        {
            if( polygon < first_new_ )
            {
                const auto found = old_sides_.find( polygon );
                return found == old_sides_.end() ? nullptr : &found->second;
            }
            const std::size_t offset = polygon - first_new_;
            if( offset >= new_sides_.size() || new_sides_[offset] == NONE )
            {
                return nullptr;
            }
            return &new_sides_[offset];
        }

    private:
        void set_beyond( index_t polygon, std::uint8_t side )
        {
            if( polygon < first_new_ )
            {
                old_sides_[polygon] = side;
                return;
            }
            new_sides_.resize( polygon - first_new_ + 1, NONE );
            new_sides_[polygon - first_new_] = side;
        }

        static constexpr std::uint8_t NONE = 255;
        index_t first_new_;
        std::vector< std::uint8_t > new_sides_;
        detail::SortedVectorMap< index_t, std::uint8_t > old_sides_;
    };

    /// The squared length of the vector from `from` to `to`, computed as
    /// Vector::length2 does: the coordinate differences squared and added to
    /// 0 in the order x, y, z.
    template < index_t dimension >
    double squared_distance(
        const Point< dimension >& from, const Point< dimension >& to )
    {
        double result{ 0. };
        for( local_index_t i = 0; i < dimension; i++ )
        {
            const double difference = to.value( i ) - from.value( i );
            const double product = difference * difference;
            result += product;
        }
        return result;
    }

    template < typename Container >
    bool contains( const Container& container, const PolygonEdge& edge )
    {
        return std::find( container.begin(), container.end(), edge )
               != container.end();
    }
} // namespace

namespace orvane
{
    template < index_t dimension >
    SurfaceCutPathException< dimension >::SurfaceCutPathException()
        : OpenOrvaneException{ no_stack,
            "Invalid operation in cut_along_path on surface" }
    {
    }

    template < index_t dimension >
    SurfaceCutPathException< dimension >::~SurfaceCutPathException() = default;

    template < index_t dimension >
    class SurfaceCutAlongPath< dimension >::Impl
    {
    public:
        Impl( const TriangulatedSurface< dimension >& mesh,
            TriangulatedSurfaceModifier< dimension >& modifier,
            index_t begin,
            index_t end,
            absl::Span< const SurfaceCut< dimension > > cuts )
            : mesh_( mesh ),
              modifier_( modifier ),
              begin_( begin ),
              end_( end ),
              cuts_( cuts ),
              nb_original_vertices_( mesh.nb_vertices() ),
              nb_original_polygons_( mesh.nb_polygons() ),
              edges_( std::move( spare_storage.edges ) ),
              sides_( nb_original_polygons_ )
        {
        }
        Impl( const Impl& ) = delete;
        Impl& operator=( const Impl& ) = delete;
        ~Impl()
        {
            keep_spare( edges_.release_storage(), spare_storage.edges );
        }

        SurfaceCutAlongPathResult cut_along_path()
        {
            const auto nb_cuts = cuts_.size();
            if( nb_cuts <= 1 )
            {
                return {};
            }
            auto& cut_vertices = result_.cut_vertices;
            if( nb_cuts == 2 )
            {
                check_vertex( begin_, "begin vertex" );
                check_vertex( end_, "end vertex" );
                cut_vertices.push_back( { begin_, { begin_ } } );
                cut_vertices.push_back( { end_, { end_ } } );
                mark_path_edge( begin_, end_ );
                return finalize();
            }
            check_cuts();
            reserve( nb_cuts );
            cut_vertices.assign( nb_cuts, SurfaceCutVertex{} );
            for( std::size_t i = 0; i < nb_cuts; i++ )
            {
                const auto vertex = cuts_[i].vertex;
                if( vertex == NO_ID )
                {
                    continue;
                }
                cut_vertices[i] = { vertex, { vertex } };
                if( i > 0 && cuts_[i - 1].vertex != NO_ID
                    && cut_vertices[i - 1].vertex != NO_ID )
                {
                    mark_path_edge( cut_vertices[i - 1].vertex, vertex );
                }
            }
            for( auto i = nb_cuts; i-- > 0; )
            {
                if( cuts_[i].vertex == NO_ID )
                {
                    cut_edge( i );
                }
            }
            return finalize();
        }

    private:
        /// Sizes the work state for the edits of the cuts at once, rather
        /// than growing it edit after edit.
        void reserve( std::size_t nb_cuts )
        {
            std::size_t nb_splits{ 0 };
            for( const auto& cut : cuts_ )
            {
                if( cut.vertex == NO_ID )
                {
                    nb_splits++;
                }
            }
            // A split of an inner edge makes four triangles, twelve
            // half-edges; a path edge between two vertices two half-edges.
            // The new polygons are numbered on from the surface's polygons.
            edges_.reserve( 12 * nb_splits + 2 * nb_cuts );
            sides_.reserve( 4 * nb_splits );
            result_.polygons.reserve( 4 * nb_splits );
        }

        void check_vertex( index_t vertex, const char* what ) const
        {
            if( vertex >= mesh_.nb_vertices() )
            {
                throw OpenOrvaneException{ CONTEXT, " The ", what, " ", vertex,
                    " is not a vertex of the surface (", mesh_.nb_vertices(),
                    " vertices)" };
            }
        }

        /// Rejects, before any edit, cuts that name what the surface lacks.
        void check_cuts() const
        {
            for( std::size_t i = 0; i < cuts_.size(); i++ )
            {
                const auto& cut = cuts_[i];
                if( cut.vertex != NO_ID )
                {
                    check_vertex( cut.vertex, "cut vertex" );
                    continue;
                }
                const auto& edge = cut.edge;
                if( edge.polygon_id >= mesh_.nb_polygons()
                    || edge.edge_id >= mesh_.nb_polygon_vertices( edge.polygon_id ) )
                {
                    throw OpenOrvaneException{ CONTEXT, " Cut ", i,
                        " lies on no vertex and its edge ", edge.string(),
                        " is not an edge of the surface (", mesh_.nb_polygons(),
                        " polygons)" };
                }
            }
        }

        /// Records that the surface edge between a and b, in whichever
        /// direction it exists, lies on the path.
        void mark_path_edge( index_t a, index_t b )
        {
            for( const auto& [from, to, side] :
                { std::tuple{ a, b, LEFT }, std::tuple{ b, a, RIGHT } } )
            {
                const auto edge = mesh_.polygon_edge_from_vertices( from, to );
                if( !edge )
                {
                    continue;
                }
                const auto [entry, inserted] = edges_.try_emplace(
                    edge.value(), detail::SurfaceCutEdgeEntry{ { edge.value() },
                                      ON_PATH } );
                if( !inserted )
                {
                    entry->second.kind = ON_PATH;
                }
                sides_.set( edge->polygon_id, side );
            }
        }

        /// Enters `edge` with `origin` when it is absent; an edge on the path
        /// is put on it either way.
        void enter_edge(
            const PolygonEdge& edge, const PolygonEdge& origin, bool on_path )
        {
            const auto [entry, inserted] = edges_.try_emplace( edge );
            if( inserted )
            {
                entry->second.origins.push_back( origin );
                entry->second.kind = MADE;
            }
            if( on_path )
            {
                entry->second.kind = ON_PATH;
            }
        }

        /// Enters the edges of a split. `inner_on_path[piece]` puts on the
        /// path the inner half-edge `piece` (0: the split polygon's piece, 1:
        /// the adjacent polygon's) of both halves.
        void enter_split( const SurfaceSplitEdgeInfo& split,
            const std::array< bool, 2 >& inner_on_path )
        {
            if( enter_by_slots( split, inner_on_path ) )
            {
                return;
            }
            // Otherwise in the order the split lists them: an edge then may
            // land before others and move them. Of repeated edges the first
            // enters.
            for( const auto& half : split.halves )
            {
                for( std::size_t piece = 0; piece < half.new_edges.size(); piece++ )
                {
                    enter_edge( half.new_edges[piece], PolygonEdge{},
                        piece < 2 && inner_on_path[piece] );
                }
                for( const auto* pieces : { &half.split_edges, &half.outer_edges } )
                {
                    for( const auto& piece : *pieces )
                    {
                        enter_edge( piece.new_edge, piece.old_edge, false );
                    }
                }
            }
        }

        /// Enters the edges of a split in edge order through a slot per edge
        /// when their polygons lie within a few indices and each has at most
        /// four edges, as the triangles of one split do; otherwise enters
        /// nothing and returns false. Of repeated edges the first enters, and
        /// the edge is on the path when any of them is.
        bool enter_by_slots( const SurfaceSplitEdgeInfo& split,
            const std::array< bool, 2 >& inner_on_path )
        {
            constexpr index_t NB_POLYGONS = 16;
            constexpr local_index_t NB_EDGES = 4;
            auto lowest = std::numeric_limits< index_t >::max();
            index_t highest{ 0 };
            // The local edges or-ed together: below NB_EDGES when each is.
            local_index_t local_edges{ 0 };
            std::size_t nb_made{ 0 };
            const auto bound = [&]( const PolygonEdge& edge ) {
                local_edges |= edge.edge_id;
                lowest = std::min( lowest, edge.polygon_id );
                highest = std::max( highest, edge.polygon_id );
            };
            for( const auto& half : split.halves )
            {
                for( const auto& inner : half.new_edges )
                {
                    bound( inner );
                }
                for( const auto& piece : half.split_edges )
                {
                    bound( piece.new_edge );
                }
                for( const auto& piece : half.outer_edges )
                {
                    bound( piece.new_edge );
                }
                nb_made += half.new_edges.size() + half.split_edges.size()
                           + half.outer_edges.size();
            }
            if( nb_made == 0 )
            {
                return true;
            }
            if( local_edges >= NB_EDGES || highest - lowest >= NB_POLYGONS )
            {
                return false;
            }
            // The slots taken, in edge order, with the origin of the first
            // edge entered in each (the unset edge for an inner edge, which
            // stems from no edge) and whether the edge is on the path. The
            // edges are read last to first, so that the first of repeated
            // edges writes its origin last.
            std::uint64_t taken{ 0 };
            std::uint64_t on_path{ 0 };
            std::array< const PolygonEdge*, NB_POLYGONS * NB_EDGES > origins;
            const auto take = [&]( const PolygonEdge& edge, const PolygonEdge& origin ) {
                const auto slot = ( edge.polygon_id - lowest ) * NB_EDGES + edge.edge_id;
                taken |= std::uint64_t{ 1 } << slot;
                origins[slot] = &origin;
                return slot;
            };
            for( auto half = split.halves.rbegin(); half != split.halves.rend(); half++ )
            {
                for( auto piece = half->outer_edges.rbegin();
                     piece != half->outer_edges.rend(); piece++ )
                {
                    take( piece->new_edge, piece->old_edge );
                }
                for( auto piece = half->split_edges.rbegin();
                     piece != half->split_edges.rend(); piece++ )
                {
                    take( piece->new_edge, piece->old_edge );
                }
                for( auto piece = half->new_edges.size(); piece-- > 0; )
                {
                    const auto slot = take( half->new_edges[piece], NO_ORIGIN );
                    if( piece < 2 && inner_on_path[piece] )
                    {
                        on_path |= std::uint64_t{ 1 } << slot;
                    }
                }
            }
            // A split makes polygons of new indices, after those of every
            // edge in the map: its edges are appended, without a search.
            const auto appends =
                edges_.empty()
                || edges_.entry( edges_.size() - 1 ).first.polygon_id < lowest;
            for( auto remaining = taken; remaining != 0; remaining &= remaining - 1 )
            {
                const auto slot = static_cast< index_t >( std::countr_zero( remaining ) );
                const PolygonEdge edge{ lowest + slot / NB_EDGES,
                    static_cast< local_index_t >( slot % NB_EDGES ) };
                const auto& origin = *origins[slot];
                const auto along_path = ( ( on_path >> slot ) & 1 ) != 0;
                if( appends )
                {
                    auto& entry = edges_.append( edge ).second;
                    entry.origins.push_back( origin );
                    entry.kind = along_path ? ON_PATH : MADE;
                    continue;
                }
                enter_edge( edge, origin, along_path );
            }
            return true;
        }

        void add_polygons( const absl::InlinedVector< ElementOrigin, 2 >& polygons,
            std::uint8_t side )
        {
            for( const auto& origin : polygons )
            {
                result_.polygons.push_back( origin );
                sides_.set( origin.new_element, side );
            }
        }

        /// The polygon edge that cut i lies on now: its own edge, or the edge
        /// joining the same two vertices when a split replaced its polygon.
        PolygonEdge current_edge( std::size_t i ) const
        {
            const auto& edge = cuts_[i].edge;
            if( modifier_.is_polygon_active( edge.polygon_id ) )
            {
                return edge;
            }
            const auto vertices = mesh_.polygon_edge_vertices( edge );
            const auto current =
                mesh_.polygon_edge_from_vertices( vertices[0], vertices[1] );
            if( !current )
            {
                throw OpenOrvaneException{ CONTEXT, " The edge of cut ", i,
                    " from vertex ", vertices[0], " to vertex ", vertices[1],
                    " was removed by another split: the cuts do not follow a "
                    "path of the surface" };
            }
            return current.value();
        }

        bool is_split_valid(
            const PolygonEdge& edge, const Point< dimension >& point ) const
        {
            if constexpr( dimension == 2 )
            {
                for( const auto& preview :
                    triangles_after_split_edge< 2 >( mesh_, edge, point ) )
                {
                    if( triangle_area_sign( preview.triangle ) != SIDE::positive )
                    {
                        return false;
                    }
                }
            }
            return true;
        }

        void cut_edge( std::size_t i )
        {
            const auto& cut = cuts_[i];
            auto& cut_vertices = result_.cut_vertices;
            const auto edge = current_edge( i );
            const auto own_apex =
                mesh_.polygon_edge_vertex( mesh_.previous_polygon_edge( edge ), 0 );
            // The vertex opposite the edge on the side the path goes to.
            std::optional< index_t > ahead;
            if( !cut.toward_adjacent )
            {
                ahead = own_apex;
            }
            else if( const auto adjacent = mesh_.polygon_adjacent_edge( edge ) )
            {
                ahead = mesh_.polygon_edge_vertex(
                    mesh_.previous_polygon_edge( adjacent.value() ), 0 );
            }
            if( !is_split_valid( edge, cut.point ) )
            {
                leftover_cuts_.emplace_back( cut.point, edge );
                return;
            }
            // Where the path meets the split's inner half-edges, decided from
            // the neighbouring cuts before the split so that the inner edges
            // enter the map on the path.
            const auto next = i + 1 < cuts_.size() ? cut_vertices[i + 1].vertex : NO_ID;
            const auto previous =
                i > 0 && cuts_[i - 1].vertex != NO_ID ? cut_vertices[i - 1].vertex
                                                      : NO_ID;
            const auto goes_ahead = next != NO_ID && ahead == next;
            const auto comes_from_apex =
                previous != NO_ID && cut.toward_adjacent && previous == own_apex;
            // The path turns back into the edge's own polygon: its left lies
            // at the edge's first vertex.
            const auto turns_back = goes_ahead && !cut.toward_adjacent;
            const std::array< bool, 2 > inner_on_path{ turns_back || comes_from_apex,
                goes_ahead && cut.toward_adjacent };
            const auto split = modifier_.split_edge( edge, cut.point );
            const auto vertex = split.new_vertex;
            cut_vertices[i] = { vertex, { NO_ID } };
            enter_split( split, inner_on_path );
            add_polygons( split.halves[0].polygons, RIGHT );
            add_polygons( split.halves[1].polygons, LEFT );
            if( next != NO_ID && !goes_ahead )
            {
                mark_path_edge( vertex, next );
            }
            if( turns_back )
            {
                add_polygons( split.halves[0].polygons, LEFT );
                add_polygons( split.halves[1].polygons, RIGHT );
            }
            if( previous != NO_ID && !comes_from_apex )
            {
                mark_path_edge( previous, vertex );
            }
        }

        SurfaceCutAlongPathResult finalize()
        {
            detail::resolve_edge_origins( edges_ );
            collapse_short_edges();
            remove_vertex_loops();
            fill_edge_lists();
            clean_polygons();
            // The object serves one call: the result moves out.
            if( degenerate_edges_.empty() && leftover_cuts_.empty() )
            {
                return std::move( result_ );
            }
            SurfaceCutPathException< dimension > failure;
            failure.leftover_cuts = std::move( leftover_cuts_ );
            failure.degenerate_edges = std::move( degenerate_edges_ );
            failure.result = std::move( result_ );
            throw failure;
        }

        /// Collapses the edges of at most 1e-6 of the new polygons onto one
        /// of their ends, the first end first, when the collapse is valid.
        void collapse_short_edges()
        {
            // A first-in first-out queue: the new polygons, which the
            // collapses leave as they are, then the polygons whose corners
            // the collapses moved, read from `next` on.
            const auto& polygons = result_.polygons;
            std::vector< index_t > moved;
            std::vector< PolygonEdge > degenerate;
            for( std::size_t next = 0; next < polygons.size() + moved.size(); next++ )
            {
                const auto polygon = next < polygons.size()
                                         ? polygons[next].new_element
                                         : moved[next - polygons.size()];
                if( !modifier_.is_polygon_active( polygon ) )
                {
                    continue;
                }
                // The lengths as the mesh computes them, from the corners
                // read once for the three edges.
                const auto corners = mesh_.polygon_vertices( polygon );
                const std::array< const Point< dimension >*, 3 > points{
                    &mesh_.point( corners[0] ), &mesh_.point( corners[1] ),
                    &mesh_.point( corners[2] )
                };
                for( local_index_t local = 0; local < 3; local++ )
                {
                    const PolygonEdge edge{ polygon, local };
                    const auto squared_length = squared_distance(
                        *points[local], *points[local == 2 ? 0 : local + 1] );
                    if( std::sqrt( squared_length ) > GLOBAL_EPSILON )
                    {
                        continue;
                    }
                    const auto vertices = mesh_.polygon_edge_vertices( edge );
                    const std::array< index_t, 2 > ends{ vertices[0], vertices[1] };
                    std::optional< local_index_t > kept;
                    for( const local_index_t end : { 0, 1 } )
                    {
                        if( is_collapse_edge_valid< dimension >( mesh_, ends, end ) )
                        {
                            kept = end;
                            break;
                        }
                    }
                    if( !kept )
                    {
                        degenerate.push_back( edge );
                        continue;
                    }
                    const Point< dimension > point = mesh_.point( ends[kept.value()] );
                    const auto collapse = modifier_.collapse_edge( edge, point );
                    apply_collapse( edge, collapse );
                    for( const auto& corner : collapse.moved_polygon_vertices )
                    {
                        moved.push_back( corner.polygon_id );
                    }
                    break;
                }
            }
            // An edge that a later collapse removed is no longer degenerate.
            for( const auto& edge : degenerate )
            {
                if( modifier_.is_polygon_active( edge.polygon_id )
                    && mesh_.edge_length( edge ) <= GLOBAL_EPSILON
                    && !contains( degenerate_edges_, edge ) )
                {
                    degenerate_edges_.push_back( edge );
                }
            }
        }

        void apply_collapse( const PolygonEdge& collapsed,
            const SurfaceCollapsePolygonEdgeInfo& collapse )
        {
            for( const auto& merge : collapse.edges )
            {
                const auto& kept = merge.kept_edge;
                for( const auto& replaced : merge.merged_edges )
                {
                    if( sides_.find( kept.polygon_id ) == nullptr )
                    {
                        if( const auto* side = sides_.find( replaced.polygon_id ) )
                        {
                            // Read before the insertion moves the entries.
                            const auto replaced_side = *side;
                            sides_.set( kept.polygon_id, replaced_side );
                        }
                    }
                    const auto found = edges_.find( replaced );
                    const auto entry =
                        found != edges_.end()
                            ? found->second
                            : detail::SurfaceCutEdgeEntry{ { replaced }, MADE };
                    const auto [target, inserted] = edges_.try_emplace( kept, entry );
                    if( inserted )
                    {
                        continue;
                    }
                    auto& merged = target->second;
                    merged.kind = std::min( merged.kind, entry.kind );
                    for( const auto& origin : entry.origins )
                    {
                        if( !detail::is_unset( origin )
                            && !contains( merged.origins, origin ) )
                        {
                            merged.origins.push_back( origin );
                        }
                    }
                }
            }
            merge_cut_vertices( collapse );
            edges_.erase( collapsed );
        }

        /// Moves the cut vertices merged by the collapse onto its new vertex,
        /// with the union of their sources and the merged vertices of the
        /// uncut surface.
        void merge_cut_vertices( const SurfaceCollapsePolygonEdgeInfo& collapse )
        {
            auto& cut_vertices = result_.cut_vertices;
            std::vector< VertexEntry > entries;
            entries.reserve( cut_vertices.size() );
            for( const auto& cut_vertex : cut_vertices )
            {
                entries.push_back(
                    { cut_vertex.vertex, cut_vertex.source_vertices } );
            }
            detail::merge_vertex_entries( entries, collapse );
            for( std::size_t i = 0; i < entries.size(); i++ )
            {
                auto& sources = entries[i].values;
                if( entries[i].vertex == collapse.new_vertex )
                {
                    for( const auto vertex : collapse.merged_vertices )
                    {
                        if( vertex < nb_original_vertices_
                            && std::find( sources.begin(), sources.end(), vertex )
                                   == sources.end() )
                        {
                            sources.push_back( vertex );
                        }
                    }
                    if( sources.size() > 1 )
                    {
                        sources.erase(
                            std::remove( sources.begin(), sources.end(), NO_ID ),
                            sources.end() );
                    }
                }
                cut_vertices[i] = { entries[i].vertex, std::move( sources ) };
            }
        }

        /// Demotes both half-edges between two vertices to made edges.
        void leave_path( index_t a, index_t b )
        {
            if( a == NO_ID || b == NO_ID )
            {
                return;
            }
            for( const auto& [from, to] : { std::pair{ a, b }, std::pair{ b, a } } )
            {
                if( const auto edge = mesh_.polygon_edge_from_vertices( from, to ) )
                {
                    const auto found = edges_.find( edge.value() );
                    if( found != edges_.end() )
                    {
                        found->second.kind = MADE;
                    }
                }
            }
        }

        /// Removes the cut vertices between two occurrences of one vertex,
        /// keeping the later one; their path edges become made edges.
        void remove_vertex_loops()
        {
            auto& cut_vertices = result_.cut_vertices;
            // The entries seen and not removed hold distinct vertices: a
            // vertex seen again removes its earlier entry. The latest entry
            // of a vertex is thus the one found looking back over them; a
            // path has few cuts, so the look back beats a hash map.
            const auto nb_cut_vertices = cut_vertices.size();
            absl::FixedArray< std::size_t, 32 > seen( nb_cut_vertices );
            std::size_t nb_seen{ 0 };
            absl::FixedArray< bool, 32 > removed( nb_cut_vertices, false );
            bool any_removed{ false };
            for( std::size_t i = 0; i < nb_cut_vertices; i++ )
            {
                const auto vertex = cut_vertices[i].vertex;
                if( vertex == NO_ID )
                {
                    continue;
                }
                auto found = nb_seen;
                for( auto k = nb_seen; k-- > 0; )
                {
                    if( cut_vertices[seen[k]].vertex == vertex )
                    {
                        found = k;
                        break;
                    }
                }
                if( found != nb_seen )
                {
                    any_removed = true;
                    for( auto j = seen[found]; j < i; j++ )
                    {
                        removed[j] = true;
                        leave_path( cut_vertices[j].vertex, cut_vertices[j + 1].vertex );
                    }
                    // The removed entries are the last seen ones.
                    nb_seen = found;
                }
                seen[nb_seen++] = i;
            }
            if( !any_removed )
            {
                return;
            }
            std::size_t kept{ 0 };
            for( std::size_t i = 0; i < cut_vertices.size(); i++ )
            {
                if( removed[i] )
                {
                    continue;
                }
                if( kept != i )
                {
                    cut_vertices[kept] = std::move( cut_vertices[i] );
                }
                kept++;
            }
            cut_vertices.resize( kept );
        }

        void fill_edge_lists()
        {
            auto& result = result_;
            std::size_t nb_on_path{ 0 };
            for( const auto& [edge, entry] : edges_ )
            {
                nb_on_path += entry.kind == ON_PATH ? 1 : 0;
            }
            result.created_edges.reserve( edges_.size() - nb_on_path );
            result.left_path_edges.reserve( nb_on_path );
            result.right_path_edges.reserve( nb_on_path );
            // The map is sorted by edge: the lists come out sorted too, and
            // the edges of one polygon are neighbours, so that the polygon
            // is asked once whether it is live.
            // NO_ID is no key's polygon: the first entry asks.
            index_t polygon{ NO_ID };
            bool active{ false };
            for( auto& [edge, entry] : edges_ )
            {
                if( edge.polygon_id != polygon )
                {
                    polygon = edge.polygon_id;
                    active = modifier_.is_polygon_active( edge.polygon_id );
                }
                if( !active )
                {
                    continue;
                }
                auto* list = &result.created_edges;
                if( entry.kind == ON_PATH )
                {
                    const auto* side = sides_.find( edge.polygon_id );
                    if( side == nullptr )
                    {
                        throw OpenOrvaneException{ CONTEXT, " Path edge ",
                            edge.string(), " lies in a polygon of no side" };
                    }
                    list = *side == LEFT ? &result.left_path_edges
                                                : &result.right_path_edges;
                }
                // The map is not read again: its origins move to the result.
                auto& origins =
                    list->emplace_back( edge, std::move( entry.origins ) ).origins;
                if( origins.size() > 1 )
                {
                    detail::sort_edge_origins( origins );
                }
                if( origins.empty() )
                {
                    origins.push_back( PolygonEdge{} );
                }
            }
        }

        /// Keeps the first entry of each new polygon that is still live.
        void clean_polygons()
        {
            auto& polygons = result_.polygons;
            // The splits make polygons from the surface's polygon count at
            // the start on: a flag per such polygon tells the repeats.
            const auto first_new = nb_original_polygons_;
            const auto nb_new = mesh_.nb_polygons() - first_new;
            if( std::all_of( polygons.begin(), polygons.end(),
                    [first_new, nb_new]( const ElementOrigin& origin ) {
                        return origin.new_element >= first_new
                               && origin.new_element - first_new < nb_new;
                    } ) )
            {
                absl::FixedArray< bool, 256 > seen( nb_new, false );
                std::size_t kept{ 0 };
                for( const auto& origin : polygons )
                {
                    const auto polygon = origin.new_element;
                    if( !modifier_.is_polygon_active( polygon ) )
                    {
                        continue;
                    }
                    auto& seen_polygon = seen[polygon - first_new];
                    if( seen_polygon )
                    {
                        continue;
                    }
                    seen_polygon = true;
                    polygons[kept++] = origin;
                }
                polygons.resize( kept );
                return;
            }
            // The polygons kept so far, sorted. The splits make polygons of
            // growing indices, so an insertion is mostly an append.
            absl::InlinedVector< index_t, 64 > seen;
            std::size_t kept{ 0 };
            for( const auto& origin : polygons )
            {
                const auto polygon = origin.new_element;
                if( !modifier_.is_polygon_active( polygon ) )
                {
                    continue;
                }
                if( seen.empty() || seen.back() < polygon )
                {
                    seen.push_back( polygon );
                }
                else
                {
                    const auto position =
                        std::lower_bound( seen.begin(), seen.end(), polygon );
                    if( *position == polygon )
                    {
                        continue;
                    }
                    seen.insert( position, polygon );
                }
                polygons[kept++] = origin;
            }
            polygons.resize( kept );
        }

    private:
        const TriangulatedSurface< dimension >& mesh_;
        TriangulatedSurfaceModifier< dimension >& modifier_;
        index_t begin_;
        index_t end_;
        absl::Span< const SurfaceCut< dimension > > cuts_;
        /// Vertices at or above this index were made by the cut.
        index_t nb_original_vertices_;
        /// Polygons at or above this index were made by the cut.
        index_t nb_original_polygons_;
        /// The work state, which a failure moves into the exception it
        /// throws: the exception is built only then, its message being a
        /// heap string.
        std::vector< std::pair< Point< dimension >, PolygonEdge > > leftover_cuts_;
        std::vector< PolygonEdge > degenerate_edges_;
        SurfaceCutAlongPathResult result_;
        detail::SurfaceCutEdgeMap edges_;
        PolygonSides sides_;
    };

    template < index_t dimension >
    SurfaceCutAlongPath< dimension >::SurfaceCutAlongPath(
        const TriangulatedSurface< dimension >& mesh,
        TriangulatedSurfaceModifier< dimension >& modifier,
        index_t begin,
        index_t end,
        absl::Span< const SurfaceCut< dimension > > cuts )
        : impl_{ std::make_unique< Impl >( mesh, modifier, begin, end, cuts ) }
    {
    }

    template < index_t dimension >
    SurfaceCutAlongPath< dimension >::~SurfaceCutAlongPath() = default;

    template < index_t dimension >
    SurfaceCutAlongPathResult SurfaceCutAlongPath< dimension >::cut_along_path()
    {
        return impl_->cut_along_path();
    }

    template class SurfaceCutPathException< 2 >;
    template class SurfaceCutPathException< 3 >;
    template class SurfaceCutAlongPath< 2 >;
    template class SurfaceCutAlongPath< 3 >;
} // namespace orvane
