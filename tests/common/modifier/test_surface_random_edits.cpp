#include <array>
#include <limits>
#include <optional>
#include <random>

#include <absl/strings/str_cat.h>

#include <gtest/gtest.h>

#include <openorvane/basic/exception.hpp>
#include <openorvane/geometry/predicates.hpp>
#include <openorvane/mesh/edges.hpp>

#include <common/modifier/triangle_preview.hpp>
#include <common/modifier/triangulated_surface_modifier.hpp>

#include <tests/support/surface_modifier_checks.hpp>

namespace
{
    using namespace orvane;

    enum struct Edit
    {
        split_triangle,
        split_edge,
        swap_edge,
        collapse_edge,
        clean
    };

    /// Random valid edits of a surface. Every edit is chosen among those the
    /// previews and validity tests accept (in 2-D every new triangle must
    /// turn counter-clockwise) and is followed by the invariant check around
    /// the vertices it touched; the whole surface is checked every
    /// FULL_CHECK_PERIOD edits, after each clean-up and at the end.
    template < index_t dimension >
    class RandomEditor
    {
    public:
        RandomEditor( test::EditableSurface< dimension >& surface,
            std::uint32_t seed )
            : mesh_( *surface.mesh ),
              modifier_( *surface.mesh, *surface.builder ),
              random_( seed )
        {
        }

        /// Runs the edits; returns the number of edits of each kind done.
        std::array< index_t, 5 > run( index_t nb_attempts )
        {
            std::array< index_t, 5 > done{};
            index_t nb_edits{ 0 };
            for( index_t attempt = 0; attempt < nb_attempts; attempt++ )
            {
                const auto edit = pick_edit();
                SCOPED_TRACE( absl::StrCat( "attempt ", attempt, ", edit ",
                    static_cast< int >( edit ) ) );
                touched_.clear();
                if( attempt % REFUSED_EDITS_PERIOD == 0 )
                {
                    try_refused_edits();
                }
                if( !try_edit( edit ) )
                {
                    continue;
                }
                done[static_cast< int >( edit )]++;
                nb_edits++;
                const auto whole = edit == Edit::clean
                                   || nb_edits % FULL_CHECK_PERIOD == 0;
                const auto valid =
                    whole ? test::is_valid_surface( mesh_ )
                          : test::is_valid_surface_around( mesh_, touched_ );
                EXPECT_TRUE( valid );
                if( !valid )
                {
                    return done;
                }
            }
            EXPECT_TRUE( test::is_valid_surface( mesh_ ) );
            return done;
        }

    private:
        static constexpr index_t FULL_CHECK_PERIOD = 200;
        static constexpr index_t REFUSED_EDITS_PERIOD = 97;

        /// What an edit could change, for comparing before and after.
        struct Snapshot
        {
            index_t nb_vertices;
            std::vector< index_t > polygon_vertices;
            std::vector< std::optional< index_t > > adjacents;
            std::vector< bool > active;
            std::vector< Point< dimension > > points;

            bool operator==( const Snapshot& ) const = default;
        };

        Snapshot snapshot() const
        {
            Snapshot result{ mesh_.nb_vertices(), {}, {}, {}, {} };
            for( index_t p = 0; p < mesh_.nb_polygons(); p++ )
            {
                result.active.push_back( modifier_.is_polygon_active( p ) );
                for( local_index_t e = 0; e < 3; e++ )
                {
                    result.polygon_vertices.push_back( mesh_.polygon_vertex( { p, e } ) );
                    result.adjacents.push_back( mesh_.polygon_adjacent( { p, e } ) );
                }
            }
            for( index_t v = 0; v < mesh_.nb_vertices(); v++ )
            {
                result.points.push_back( mesh_.point( v ) );
            }
            return result;
        }

        /// Edits on a dead polygon, on a polygon past the end and to a NaN
        /// point must throw and leave the surface as it was.
        void try_refused_edits()
        {
            const auto before = snapshot();
            const auto live = random_edge();
            const auto at = midpoint( live );
            auto nan = at;
            nan.set_value( 0, std::numeric_limits< double >::quiet_NaN() );
            std::vector< PolygonEdge > bad_edges{ { mesh_.nb_polygons(), 0 },
                { NO_ID, 1 }, { live.polygon_id, 3 } };
            for( index_t p = 0; p < mesh_.nb_polygons(); p++ )
            {
                if( !modifier_.is_polygon_active( p ) )
                {
                    bad_edges.push_back( { p, 1 } );
                    break;
                }
            }
            for( const auto& edge : bad_edges )
            {
                SCOPED_TRACE( absl::StrCat( "polygon ", edge.polygon_id, " edge ",
                    static_cast< int >( edge.edge_id ) ) );
                EXPECT_THROW( modifier_.split_edge( edge, at ), OpenOrvaneException );
                EXPECT_THROW( modifier_.collapse_edge( edge, at ), OpenOrvaneException );
                EXPECT_THROW( modifier_.swap_edge( edge ), OpenOrvaneException );
                if( edge.edge_id < 3 )
                {
                    EXPECT_THROW( modifier_.split_triangle( edge.polygon_id, at ),
                        OpenOrvaneException );
                }
            }
            EXPECT_THROW( modifier_.split_triangle( live.polygon_id, nan ),
                OpenOrvaneException );
            EXPECT_THROW( modifier_.split_edge( live, nan ), OpenOrvaneException );
            EXPECT_THROW( modifier_.collapse_edge( live, nan ), OpenOrvaneException );
            EXPECT_THROW(
                modifier_.move_vertex( mesh_.polygon_vertex( PolygonVertex{ live } ), nan ),
                OpenOrvaneException );
            EXPECT_THROW( modifier_.move_vertex( mesh_.nb_vertices(), at ),
                OpenOrvaneException );
            if( mesh_.are_edges_enabled() )
            {
                EXPECT_THROW( modifier_.collapse_edge( mesh_.edges().nb_edges(), at ),
                    OpenOrvaneException );
            }
            EXPECT_TRUE( snapshot() == before ) << "a refused edit changed the surface";
        }

        Edit pick_edit()
        {
            const auto draw =
                std::uniform_int_distribution< int >{ 0, 999 }( random_ );
            if( draw < 5 )
            {
                return Edit::clean;
            }
            if( draw < 200 )
            {
                return Edit::split_triangle;
            }
            if( draw < 450 )
            {
                return Edit::split_edge;
            }
            if( draw < 700 )
            {
                return Edit::swap_edge;
            }
            return Edit::collapse_edge;
        }

        index_t random_live_polygon()
        {
            std::uniform_int_distribution< index_t > pick{ 0,
                mesh_.nb_polygons() - 1 };
            while( true )
            {
                const auto polygon = pick( random_ );
                if( modifier_.is_polygon_active( polygon ) )
                {
                    return polygon;
                }
            }
        }

        PolygonEdge random_edge()
        {
            const auto polygon = random_live_polygon();
            const auto edge = std::uniform_int_distribution< int >{ 0, 2 }( random_ );
            return { polygon, static_cast< local_index_t >( edge ) };
        }

        static bool positive( const Point< dimension >& a,
            const Point< dimension >& b,
            const Point< dimension >& c )
        {
            if constexpr( dimension == 2 )
            {
                return triangle_area_sign( Triangle< 2 >{ a, b, c } )
                       == SIDE::positive;
            }
            else
            {
                return true;
            }
        }

        Point< dimension > midpoint( const PolygonEdge& edge ) const
        {
            const auto ends = mesh_.polygon_edge_vertices( edge );
            return ( mesh_.point( ends[0] ) + mesh_.point( ends[1] ) ) * 0.5;
        }

        bool try_edit( Edit edit )
        {
            switch( edit )
            {
            case Edit::clean:
                modifier_.clean();
                return true;
            case Edit::split_triangle:
                return try_split_triangle();
            case Edit::split_edge:
                return try_split_edge();
            case Edit::swap_edge:
                return try_swap_edge();
            case Edit::collapse_edge:
                return try_collapse_edge();
            }
            return false;
        }

        bool try_split_triangle()
        {
            const auto polygon = random_live_polygon();
            const auto point = mesh_.polygon_barycenter( polygon );
            const auto vertices = mesh_.polygon_vertices( polygon );
            for( local_index_t i = 0; i < 3; i++ )
            {
                if( !positive( mesh_.point( vertices[i] ),
                        mesh_.point( vertices[( i + 1 ) % 3] ), point ) )
                {
                    return false;
                }
            }
            const auto info = modifier_.split_triangle( polygon, point );
            touched_ = { info.new_vertex, vertices[0], vertices[1], vertices[2] };
            return true;
        }

        bool try_split_edge()
        {
            const auto edge = random_edge();
            const auto point = midpoint( edge );
            for( const auto& preview :
                triangles_after_split_edge( mesh_, edge, point ) )
            {
                const auto& vertices = preview.triangle.vertices();
                if( !positive( vertices[0], vertices[1], vertices[2] ) )
                {
                    return false;
                }
            }
            touched_ = { modifier_.split_edge( edge, point ).new_vertex };
            return true;
        }

        bool try_swap_edge()
        {
            const auto edge = random_edge();
            const auto adjacent = mesh_.polygon_adjacent_edge( edge );
            if( !adjacent )
            {
                return false;
            }
            const auto ends = mesh_.polygon_edge_vertices( edge );
            const auto apex = mesh_.polygon_vertex(
                mesh_.previous_polygon_vertex( PolygonVertex{ edge } ) );
            const auto other_apex = mesh_.polygon_vertex(
                mesh_.previous_polygon_vertex( PolygonVertex{ adjacent.value() } ) );
            if( apex == other_apex
                || !mesh_.polygons_from_edge_vertices( { apex, other_apex } )
                        .empty() )
            {
                return false;
            }
            if constexpr( dimension == 3 )
            {
                if( !is_swap_edge_topologically_valid( mesh_, edge ) )
                {
                    return false;
                }
            }
            const auto& s = mesh_.point( ends[0] );
            const auto& t = mesh_.point( ends[1] );
            const auto& a = mesh_.point( apex );
            const auto& b = mesh_.point( other_apex );
            if( !positive( s, b, a ) || !positive( a, b, t ) )
            {
                return false;
            }
            modifier_.swap_edge( edge );
            touched_ = { ends[0], ends[1], apex, other_apex };
            return true;
        }

        bool try_collapse_edge()
        {
            const auto edge = random_edge();
            const auto ends = mesh_.polygon_edge_vertices( edge );
            const auto point = midpoint( edge );
            if( !is_collapse_edge_valid( mesh_, { ends[0], ends[1] }, point ) )
            {
                return false;
            }
            // Alternate the two forms when the surface has an edge table.
            if( mesh_.are_edges_enabled() && ( random_() % 2 == 0 ) )
            {
                const auto index =
                    mesh_.edges().edge_from_vertices( ends ).value();
                EXPECT_TRUE( modifier_.is_edge_active( index ) );
                const auto info = modifier_.collapse_edge( index, point );
                touched_ = { info.new_vertex, ends[0], ends[1] };
            }
            else
            {
                const auto info = modifier_.collapse_edge( edge, point );
                touched_ = { info.new_vertex, ends[0], ends[1] };
            }
            return true;
        }

    private:
        const TriangulatedSurface< dimension >& mesh_;
        TriangulatedSurfaceModifier< dimension > modifier_;
        std::mt19937 random_;
        std::vector< index_t > touched_;
    };

    template < index_t dimension >
    void run_random_edits( std::uint32_t seed, bool with_edges )
    {
        SCOPED_TRACE( absl::StrCat( "seed ", seed, ", dimension ", dimension ) );
        // 32 by 32 squares: 2048 triangles.
        auto surface = test::make_grid< dimension >( 32, 32 );
        if( with_edges )
        {
            surface.mesh->enable_edges();
        }
        RandomEditor< dimension > editor{ surface, seed };
        const auto done = editor.run( 2500 );
        for( const auto count : done )
        {
            // Every kind of edit was exercised.
            EXPECT_GT( count, 0 );
        }
    }

    /// The collapse verdict put together from the separate checks of
    /// triangle_preview.hpp: the kept triangles (2-D only), then the
    /// topological tests on the polygon edge joining the ends.
    template < index_t dimension >
    bool separate_checks_verdict( const TriangulatedSurface< dimension >& mesh,
        const std::array< index_t, 2 >& ends,
        const TrianglePreviews< dimension >& kept )
    {
        if constexpr( dimension == 2 )
        {
            for( const auto& preview : kept )
            {
                if( triangle_area_sign( preview.triangle ) != SIDE::positive )
                {
                    return false;
                }
            }
        }
        auto edge = mesh.polygon_edge_from_vertices( ends[0], ends[1] );
        if( !edge )
        {
            edge = mesh.polygon_edge_from_vertices( ends[1], ends[0] );
        }
        if( !edge )
        {
            return true;
        }
        return !detail::edge_common_vertices( mesh, edge.value() ).link_broken
               && !detail::collapse_duplicates_triangles( mesh, edge.value() )
               && !detail::collapse_removes_every_polygon( mesh, edge.value() )
               && !detail::collapse_pinches_border( mesh, edge.value() );
    }

    /// After random edits (dead polygons left in place), every polygon edge
    /// of the surface, in both orders of its ends, gets from
    /// is_collapse_edge_valid the verdict of the separate checks.
    template < index_t dimension >
    void check_collapse_verdicts( std::uint32_t seed )
    {
        SCOPED_TRACE( absl::StrCat( "seed ", seed, ", dimension ", dimension ) );
        auto surface = test::make_grid< dimension >( 12, 12 );
        RandomEditor< dimension > editor{ surface, seed };
        editor.run( 400 );
        const auto& mesh = *surface.mesh;
        index_t nb_refused{ 0 };
        for( index_t polygon = 0; polygon < mesh.nb_polygons(); polygon++ )
        {
            for( local_index_t local = 0; local < 3; local++ )
            {
                const auto vertices = mesh.polygon_edge_vertices( { polygon, local } );
                for( const auto& ends : { std::array< index_t, 2 >{ vertices[0], vertices[1] },
                         std::array< index_t, 2 >{ vertices[1], vertices[0] } } )
                {
                    const auto point = mesh.edge_barycenter( { polygon, local } );
                    const auto expected = separate_checks_verdict( mesh, ends,
                        triangles_with_moved_vertices(
                            mesh, polygons_around_edge_vertices( mesh, ends ), point ) );
                    ASSERT_EQ( is_collapse_edge_valid( mesh, ends, point ), expected )
                        << "polygon " << polygon << " edge " << local;
                    nb_refused += expected ? 0 : 1;
                    for( const local_index_t kept : { 0, 1 } )
                    {
                        ASSERT_EQ( is_collapse_edge_valid( mesh, ends, kept ),
                            separate_checks_verdict( mesh, ends,
                                triangles_after_collapse_onto_vertex( mesh, ends, kept ) ) )
                            << "polygon " << polygon << " edge " << local << " kept " << kept;
                    }
                }
            }
        }
        // Both verdicts were met.
        EXPECT_GT( nb_refused, 0 );
    }

    TEST( SurfaceRandomEdits, collapse_verdicts_match_the_separate_checks )
    {
        check_collapse_verdicts< 2 >( 77 );
        check_collapse_verdicts< 3 >( 78 );
    }

    TEST( SurfaceRandomEdits, planar_surface_stays_valid )
    {
        run_random_edits< 2 >( 20261210, false );
    }

    TEST( SurfaceRandomEdits, surface_in_space_with_edge_table_stays_valid )
    {
        run_random_edits< 3 >( 4242, true );
    }
} // namespace
