#include <algorithm>
#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <openorvane/basic/exception.hpp>

#include <common/cutter/surface_cut_edge_map.hpp>

namespace
{
    using namespace orvane;

    using Origins = absl::InlinedVector< PolygonEdge, 2 >;

    TEST( SurfaceCutEdgeOrigins, origins_resolve_to_source_edges_with_the_smallest_kind )
    {
        const PolygonEdge a{ 10, 0 }, b{ 11, 1 }, c{ 12, 2 }, d{ 3, 0 }, e{ 4, 1 };
        detail::SurfaceCutEdgeMap edges{
            { a, { { b, PolygonEdge{} }, 1 } },
            { b, { { c, d }, 1 } },
            // c lists itself: a source, whose kind still counts.
            { c, { { c }, 0 } },
            { e, { { PolygonEdge{} }, 1 } },
        };
        detail::resolve_edge_origins( edges );
        EXPECT_EQ( edges.at( a ).origins, ( Origins{ d, c } ) );
        EXPECT_EQ( edges.at( a ).kind, 0 );
        EXPECT_EQ( edges.at( b ).origins, ( Origins{ d, c } ) );
        EXPECT_EQ( edges.at( b ).kind, 0 );
        EXPECT_EQ( edges.at( c ).origins, Origins{ c } );
        EXPECT_TRUE( edges.at( e ).origins.empty() );
        EXPECT_EQ( edges.at( e ).kind, 1 );
    }

    TEST( SurfaceCutEdgeOrigins, a_cycle_of_origins_throws_and_leaves_the_map )
    {
        const PolygonEdge a{ 0, 0 }, b{ 1, 1 }, c{ 2, 2 };
        const std::vector< detail::SurfaceCutEdgeMap > cycles{
            { { a, { { b }, 1 } }, { b, { { a }, 1 } } },
            { { a, { { b }, 1 } }, { b, { { c }, 1 } }, { c, { { a }, 0 } } },
            { { a, { { PolygonEdge{}, b }, 1 } }, { b, { { a, c }, 1 } } },
        };
        for( const auto& cycle : cycles )
        {
            auto edges = cycle;
            EXPECT_THROW( detail::resolve_edge_origins( edges ), OpenOrvaneException );
            for( const auto& [edge, entry] : cycle )
            {
                EXPECT_EQ( edges.at( edge ).origins, entry.origins );
            }
        }
    }

    using ResolvedEntries =
        std::map< PolygonEdge, detail::SurfaceCutEdgeEntry, detail::PolygonEdgeLess >;

    /// The resolution as the contract states it, entry by entry and
    /// recursively on the map as it was, each entry resolved once.
    detail::SurfaceCutEdgeEntry reference_resolution( const detail::SurfaceCutEdgeMap& edges,
        const PolygonEdge& edge,
        ResolvedEntries& resolved_entries )
    {
        if( const auto done = resolved_entries.find( edge );
            done != resolved_entries.end() )
        {
            return done->second;
        }
        const auto& entry = edges.at( edge );
        detail::SurfaceCutEdgeEntry resolved{ {}, entry.kind };
        for( const auto& origin : entry.origins )
        {
            if( detail::is_unset( origin ) )
            {
                continue;
            }
            const auto found = edges.find( origin );
            if( origin == edge || found == edges.end() )
            {
                resolved.origins.push_back( origin );
                continue;
            }
            const auto& reached = found->second;
            if( std::find( reached.origins.begin(), reached.origins.end(), origin )
                != reached.origins.end() )
            {
                resolved.origins.push_back( origin );
                resolved.kind = std::min( resolved.kind, reached.kind );
                continue;
            }
            const auto sources =
                reference_resolution( edges, origin, resolved_entries );
            resolved.origins.insert(
                resolved.origins.end(), sources.origins.begin(), sources.origins.end() );
            resolved.kind = std::min( resolved.kind, sources.kind );
        }
        detail::sort_edge_origins( resolved.origins );
        resolved_entries.emplace( edge, resolved );
        return resolved;
    }

    /// A map of edits as a cut makes them, origins leading to earlier
    /// entries, to edges outside the map, to the entry itself or nowhere.
    /// With `in_key_order` unset, the edits come in an order unrelated to
    /// the edges, so that origins also lead to later entries. Each entry has
    /// 1 to `max_origins` origins.
    detail::SurfaceCutEdgeMap random_acyclic_map(
        std::mt19937& random, bool in_key_order, int max_origins )
    {
        std::uniform_int_distribution< int > nb_entries_of( 1, 90 );
        const auto nb_entries = nb_entries_of( random );
        std::vector< PolygonEdge > keys;
        std::uniform_int_distribution< index_t > polygon_of( 0, 40 );
        std::uniform_int_distribution< int > local_of( 0, 2 );
        while( keys.size() < static_cast< std::size_t >( nb_entries ) )
        {
            const PolygonEdge edge{ polygon_of( random ),
                static_cast< local_index_t >( local_of( random ) ) };
            if( std::find( keys.begin(), keys.end(), edge ) == keys.end() )
            {
                keys.push_back( edge );
            }
        }
        if( in_key_order )
        {
            std::sort( keys.begin(), keys.end(), detail::PolygonEdgeLess{} );
        }
        std::uniform_int_distribution< int > nb_origins_of( 1, max_origins );
        std::uniform_int_distribution< int > origin_kind_of( 0, 9 );
        std::uniform_int_distribution< index_t > outside_polygon_of( 0, 60 );
        std::uniform_int_distribution< int > entry_kind_of( 0, 3 );
        detail::SurfaceCutEdgeMap edges;
        for( std::size_t rank = 0; rank < keys.size(); rank++ )
        {
            detail::SurfaceCutEdgeEntry entry;
            entry.kind = entry_kind_of( random ) == 0 ? 0 : 1;
            const auto nb_origins = nb_origins_of( random );
            for( int k = 0; k < nb_origins; k++ )
            {
                const auto origin_kind = origin_kind_of( random );
                if( origin_kind == 0 )
                {
                    entry.origins.push_back( PolygonEdge{} );
                }
                else if( origin_kind == 1 )
                {
                    entry.origins.push_back( keys[rank] );
                }
                else if( origin_kind < 5 || rank == 0 )
                {
                    // An edge that is no key, below, among or above them.
                    PolygonEdge outside;
                    do
                    {
                        outside = { outside_polygon_of( random ),
                            static_cast< local_index_t >( local_of( random ) ) };
                    } while( std::find( keys.begin(), keys.end(), outside )
                             != keys.end() );
                    entry.origins.push_back( outside );
                }
                else
                {
                    std::uniform_int_distribution< std::size_t > earlier_of(
                        0, rank - 1 );
                    entry.origins.push_back( keys[earlier_of( random )] );
                }
            }
            edges.try_emplace( keys[rank], std::move( entry ) );
        }
        return edges;
    }

    // The resolution takes shortcuts when every origin that is a key comes
    // before its entry, as the edits of a cut give them, and further when
    // every entry has a single origin: every way must agree with the plain
    // recursive resolution.
    TEST( SurfaceCutEdgeOrigins, random_acyclic_origins_resolve_as_the_recursive_reference )
    {
        for( const int max_origins : { 4, 1 } )
        {
            for( const bool in_key_order : { true, false } )
            {
                for( const unsigned seed : { 1u, 2u, 3u, 4u, 5u } )
                {
                    SCOPED_TRACE( "seed " + std::to_string( seed )
                                  + ( in_key_order ? " in key order" : " in any order" )
                                  + ", up to " + std::to_string( max_origins )
                                  + " origins" );
                    std::mt19937 random{ seed };
                    for( int map = 0; map < 50; map++ )
                    {
                        const auto original =
                            random_acyclic_map( random, in_key_order, max_origins );
                        auto edges = original;
                        detail::resolve_edge_origins( edges );
                        ASSERT_EQ( edges.size(), original.size() );
                        ResolvedEntries resolved_entries;
                        for( const auto& [edge, entry] : edges )
                        {
                            const auto expected = reference_resolution( original, edge, resolved_entries );
                            ASSERT_EQ( entry.origins, expected.origins )
                                << "map " << map << " edge " << edge.string();
                            ASSERT_EQ( entry.kind, expected.kind )
                                << "map " << map << " edge " << edge.string();
                        }
                    }
                }
            }
        }
    }

    TEST( SurfaceCutEdgeOrigins, origin_lists_come_out_sorted_without_repeats )
    {
        const PolygonEdge a{ 1, 0 }, b{ 1, 2 }, c{ 2, 0 }, d{ 7, 1 };
        const std::vector< std::pair< Origins, Origins > > cases{
            { {}, {} },
            { { c }, { c } },
            { { c, a }, { a, c } },
            { { a, a }, { a } },
            { { d, b, c, a }, { a, b, c, d } },
            { { c, a, c, d, a }, { a, c, d } },
        };
        for( const auto& [origins, expected] : cases )
        {
            auto sorted = origins;
            detail::sort_edge_origins( sorted );
            EXPECT_EQ( sorted, expected ) << origins.size() << " origins";
        }
    }
} // namespace
