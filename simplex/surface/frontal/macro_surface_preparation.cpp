#include <algorithm>

#include <openorvane/basic/exception.hpp>

#include <simplex/surface/frontal/frontal_remesher_impl.hpp>

namespace
{
    constexpr double FRONTAL_EPSILON = 1e-6;

    using CornerList = absl::InlinedVector< orvane::PolygonVertex, 10 >;

    /// For every vertex, the polygon corners that use it, over every polygon
    /// (active or not), in polygon then local order.
    template < orvane::index_t dimension >
    std::vector< CornerList > corner_lists(
        const orvane::SurfaceMesh< dimension >& mesh )
    {
        std::vector< CornerList > corners( mesh.nb_vertices() );
        for( orvane::index_t p = 0; p < mesh.nb_polygons(); p++ )
        {
            for( orvane::local_index_t v = 0; v < mesh.nb_polygon_vertices( p );
                 v++ )
            {
                corners[mesh.polygon_vertex( { p, v } )].emplace_back( p, v );
            }
        }
        return corners;
    }

    [[noreturn]] void throw_wrong_size()
    {
        throw orvane::OpenOrvaneException{
            "[ModelFromMeshBuilder::cut_surface_by_lines] Wrong size comparison"
        };
    }
} // namespace

namespace orvane::internal
{
    template < index_t dimension >
    absl::flat_hash_map< index_t, std::vector< index_t > >
        FrontalRemesher< dimension >::Impl::cut_surface_by_lines()
    {
        const auto corners = corner_lists( macro );
        const auto fixed = output().fixed_macro_vertices;
        absl::flat_hash_map< index_t, std::vector< index_t > > splits;
        splits.reserve( fixed.size() );
        for( const auto vertex : fixed )
        {
            const auto& all = corners.at( vertex );
            const auto total = all.size();
            auto fan = macro.polygons_around_vertex( vertex );
            auto counted = fan.size();
            if( counted > total )
            {
                throw_wrong_size();
            }
            if( counted == total )
            {
                continue;
            }
            std::vector< index_t > created;
            CornerList seen;
            // Each round moves one fan to a new vertex and counts one more
            // fan: at most `total` rounds, since every fan holds a corner.
            while( counted != total )
            {
                seen.insert( seen.end(), fan.begin(), fan.end() );
                const auto copy = builder.create_point( macro.point( vertex ) );
                builder.replace_vertex( vertex, copy );
                const auto unseen = std::find_if(
                    all.begin(), all.end(), [&]( const PolygonVertex& corner ) {
                        return std::find( seen.begin(), seen.end(), corner )
                               == seen.end();
                    } );
                created.push_back( copy );
                if( unseen == all.end() )
                {
                    // The fans do not partition the corners: adjacency is
                    // inconsistent around this vertex.
                    throw_wrong_size();
                }
                builder.associate_polygon_vertex_to_vertex( *unseen, vertex );
                fan = macro.polygons_around_vertex( vertex );
                if( fan.empty() )
                {
                    throw_wrong_size();
                }
                counted += fan.size();
                if( counted > total )
                {
                    throw_wrong_size();
                }
            }
            splits.emplace( vertex, std::move( created ) );
        }
        return splits;
    }

    template < index_t dimension >
    void FrontalRemesher< dimension >::Impl::prepare_macro_surface()
    {
        const auto splits = cut_surface_by_lines();
        if( modifier == nullptr )
        {
            owned_modifier = std::make_unique<
                TriangulatedSurfaceEpsilonModifier< dimension > >( macro, builder );
            modifier = owned_modifier.get();
        }
        bool changed{ true };
        while( changed )
        {
            changed = false;
            const auto nb_polygons = macro.nb_polygons();
            for( index_t p = 0; p < nb_polygons; p++ )
            {
                if( !modifier->is_polygon_active( p ) )
                {
                    continue;
                }
                for( local_index_t e = 0; e < 3; e++ )
                {
                    const PolygonEdge edge{ p, e };
                    if( macro.edge_length( edge ) > FRONTAL_EPSILON )
                    {
                        continue;
                    }
                    const auto point =
                        macro.point( macro.polygon_edge_vertex( edge, 0 ) );
                    modifier->collapse_edge( edge, point );
                    changed = true;
                    break;
                }
            }
        }
        auto& out = output();
        for( const auto fixed : out.fixed_macro_vertices )
        {
            const auto vertex = updated_vertex( fixed );
            if( vertex_info->value( vertex ) == NO_ID )
            {
                const auto created =
                    out.builder->create_point( macro.point( vertex ) );
                vertex_info->set_value( vertex, created );
                // Recorded under the fixed vertex as the caller knows it: the
                // vertex a collapse made is not one the caller can look up.
                out.created_vertices.emplace_back( fixed, true );
            }
            const auto split = splits.find( fixed );
            if( split == splits.end() )
            {
                continue;
            }
            const auto shared = vertex_info->value( vertex );
            for( const auto copy : split->second )
            {
                // A copy may itself have been merged by the collapses.
                vertex_info->set_value( updated_vertex( copy ), shared );
            }
        }
    }

    template class FrontalRemesher< 2 >::Impl;
    template class FrontalRemesher< 3 >::Impl;
} // namespace orvane::internal
