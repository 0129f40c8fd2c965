#include <array>
#include <cstdlib>
#include <limits>
#include <memory>
#include <optional>
#include <random>
#include <ranges>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <absl/strings/str_join.h>

#include <openorvane/basic/exception.hpp>
#include <openorvane/geometry/predicates.hpp>

#include <common/modifier/tetrahedral_collapse_validity.hpp>
#include <common/modifier/tetrahedral_solid_modifier.hpp>
#include <common/modifier/tetrahedron_preview.hpp>

#include <tests/support/solid_checks.hpp>
#include <tests/support/solid_fixtures.hpp>
#include <tests/support/solid_modifier_checks.hpp>

namespace
{
    using namespace orvane;

    enum Edit
    {
        split_tetrahedron,
        split_facet,
        split_edge,
        collapse_edge,
        swap_facet,
        swap_edge,
        move_vertex,
        nb_edits
    };

    constexpr std::array< const char*, nb_edits > EDIT_NAMES{ "split_tetrahedron",
        "split_facet", "split_edge", "collapse_edge", "swap_facet", "swap_edge",
        "move_vertex" };

    /// Runs random edits, each one only when its preview or validity test
    /// accepts it, and checks the solid after every edit.
    class RandomEditor
    {
    public:
        RandomEditor( unsigned seed, bool tables )
            : random_( seed ), solid_( test::grid_tetrahedral_solid( 5, 5, 7 ) )
        {
            if( tables )
            {
                solid_->enable_edges();
                solid_->enable_facets();
            }
            builder_ = TetrahedralSolidBuilder< 3 >::create( *solid_ );
            modifier_ =
                std::make_unique< TetrahedralSolidModifier >( *solid_, *builder_ );
        }

        /// Returns the edit attempted and the solid's problems around the
        /// tetrahedra it made or changed (none when it was refused).
        std::pair< std::string, std::vector< std::string > > step()
        {
            const auto edit = static_cast< Edit >( uniform( 0, nb_edits - 1 ) );
            const auto tetrahedron = random_live_tetrahedron();
            touched_.clear();
            const auto nb_before = solid_->nb_polyhedra();
            const bool done = run( edit, tetrahedron );
            if( !done )
            {
                return { describe( edit, tetrahedron, done ), {} };
            }
            done_[edit]++;
            for( auto t = nb_before; t < solid_->nb_polyhedra(); t++ )
            {
                touched_.push_back( t );
            }
            return { describe( edit, tetrahedron, done ),
                test::modified_solid_problems_around( *solid_, touched_ ) };
        }

        std::vector< std::string > full_check() const
        {
            return test::modified_solid_problems( *solid_ );
        }

        std::vector< std::string > clean()
        {
            static_cast< void >( modifier_->clean() );
            return test::tetrahedral_solid_problems( *solid_ );
        }

        const std::array< int, nb_edits >& done() const
        {
            return done_;
        }

        /// Edits through a dead tetrahedron, past the end, on a pair that is
        /// not flat and to a NaN point must throw and leave the solid as it
        /// was.
        void try_refused_edits()
        {
            const auto before = snapshot();
            const auto live = random_live_tetrahedron();
            const auto at = solid_->polyhedron_barycenter( live );
            auto nan = at;
            nan.set_value( 1, std::numeric_limits< double >::quiet_NaN() );
            std::vector< index_t > bad{ solid_->nb_polyhedra(), NO_ID };
            for( index_t t = 0; t < solid_->nb_polyhedra(); t++ )
            {
                if( !modifier_->is_polyhedron_active( t ) )
                {
                    bad.push_back( t );
                    break;
                }
            }
            for( const auto t : bad )
            {
                SCOPED_TRACE( ::testing::Message() << "tetrahedron " << t );
                const PolyhedronFacetEdge edge{ { t, 0 }, 0 };
                EXPECT_THROW( modifier_->split_tetrahedron( t, at ), OpenOrvaneException );
                EXPECT_THROW( modifier_->split_facet( { t, 1 }, at ), OpenOrvaneException );
                EXPECT_THROW( modifier_->split_edge( edge, at ), OpenOrvaneException );
                EXPECT_THROW( modifier_->collapse_edge( edge, at ), OpenOrvaneException );
                EXPECT_THROW( modifier_->swap_facet( { t, 2 } ), OpenOrvaneException );
                EXPECT_THROW( modifier_->swap_edge( edge, 0 ), OpenOrvaneException );
                EXPECT_THROW(
                    modifier_->remove_tetrahedra_pair( edge ), OpenOrvaneException );
            }
            const PolyhedronFacetEdge live_edge{ { live, 0 }, 1 };
            EXPECT_THROW( modifier_->remove_tetrahedra_pair( live_edge ), OpenOrvaneException );
            EXPECT_THROW( modifier_->split_tetrahedron( live, nan ), OpenOrvaneException );
            EXPECT_THROW( modifier_->split_facet( { live, 3 }, nan ), OpenOrvaneException );
            EXPECT_THROW( modifier_->split_edge( live_edge, nan ), OpenOrvaneException );
            EXPECT_THROW( modifier_->collapse_edge( live_edge, nan ), OpenOrvaneException );
            EXPECT_THROW( modifier_->move_vertex(
                              solid_->polyhedron_vertex( { live, 0 } ), nan ),
                OpenOrvaneException );
            EXPECT_THROW(
                modifier_->move_vertex( solid_->nb_vertices(), at ), OpenOrvaneException );
            if( solid_->are_edges_enabled() )
            {
                EXPECT_THROW( modifier_->collapse_edge( solid_->edges().nb_edges(), at ),
                    OpenOrvaneException );
                EXPECT_THROW( modifier_->split_edge( solid_->edges().nb_edges(), at ),
                    OpenOrvaneException );
            }
            if( solid_->are_facets_enabled() )
            {
                EXPECT_THROW( modifier_->split_facet( solid_->facets().nb_facets(), at ),
                    OpenOrvaneException );
            }
            EXPECT_TRUE( snapshot() == before ) << "a refused edit changed the solid";
        }

    private:
        static std::string describe( Edit edit, index_t tetrahedron, bool done )
        {
            return std::string{ EDIT_NAMES[edit] } + " around tetrahedron "
                   + std::to_string( tetrahedron ) + ( done ? "" : " (refused)" );
        }

        index_t uniform( index_t min, index_t max )
        {
            return std::uniform_int_distribution< index_t >{ min, max }( random_ );
        }

        double uniform_real( double min, double max )
        {
            return std::uniform_real_distribution< double >{ min, max }( random_ );
        }

        index_t random_live_tetrahedron()
        {
            while( true )
            {
                const auto t = uniform( 0, solid_->nb_polyhedra() - 1 );
                if( modifier_->is_polyhedron_active( t ) )
                {
                    return t;
                }
            }
        }

        /// Positive weights summing to one, none below 0.1 / n.
        template < std::size_t n >
        std::array< double, n > weights()
        {
            std::array< double, n > result;
            double sum{ 0 };
            for( auto& weight : result )
            {
                weight = uniform_real( 0.1, 1. );
                sum += weight;
            }
            for( auto& weight : result )
            {
                weight /= sum;
            }
            return result;
        }

        template < std::size_t n >
        Point< 3 > combination( const std::array< index_t, n >& vertices )
        {
            const auto w = weights< n >();
            Point< 3 > result;
            for( const auto i : std::views::iota( std::size_t{ 0 }, n ) )
            {
                result = result + solid_->point( vertices[i] ) * w[i];
            }
            return result;
        }

        PolyhedronFacetEdge random_facet_edge( index_t tetrahedron )
        {
            return { { tetrahedron, static_cast< local_index_t >( uniform( 0, 3 ) ) },
                static_cast< local_index_t >( uniform( 0, 2 ) ) };
        }

        bool run( Edit edit, index_t tetrahedron )
        {
            switch( edit )
            {
            case split_tetrahedron: {
                const auto v = solid_->polyhedron_vertices( tetrahedron );
                const auto at = combination< 4 >( { v[0], v[1], v[2], v[3] } );
                const auto preview =
                    tetrahedra_after_split_tetrahedron( *solid_, tetrahedron, at );
                for( const auto& created : preview )
                {
                    if( tetrahedron_volume_sign( created ) != SIDE::positive )
                    {
                        return false;
                    }
                }
                static_cast< void >( modifier_->split_tetrahedron( tetrahedron, at ) );
                return true;
            }
            case split_facet: {
                const PolyhedronFacet facet{ tetrahedron,
                    static_cast< local_index_t >( uniform( 0, 3 ) ) };
                const auto v = solid_->polyhedron_facet_vertices( facet );
                const auto at = combination< 3 >( { v[0], v[1], v[2] } );
                if( !detail::are_tetrahedra_positive(
                        tetrahedra_after_split_facet( *solid_, facet, at ) ) )
                {
                    return false;
                }
                static_cast< void >( modifier_->split_facet( facet, at ) );
                return true;
            }
            case split_edge: {
                const auto edge = random_facet_edge( tetrahedron );
                const auto v = solid_->polyhedron_facet_edge_vertices( edge );
                const auto at = combination< 2 >( v );
                if( !is_split_edge_valid( *solid_, edge, at ) )
                {
                    return false;
                }
                static_cast< void >( modifier_->split_edge( edge, at ) );
                return true;
            }
            case collapse_edge: {
                const auto edge = random_facet_edge( tetrahedron );
                const auto v = solid_->polyhedron_facet_edge_vertices( edge );
                const auto at = solid_->edge_barycenter( v );
                if( !is_collapse_edge_valid( *solid_, edge, at ) )
                {
                    return false;
                }
                const auto info = modifier_->collapse_edge( edge, at );
                touched_ = info.modified_tetrahedra;
                return true;
            }
            case swap_facet: {
                const PolyhedronFacet facet{ tetrahedron,
                    static_cast< local_index_t >( uniform( 0, 3 ) ) };
                if( !solid_->polyhedron_adjacent( facet )
                    || !detail::are_tetrahedra_positive(
                        tetrahedra_after_swap_facet( *solid_, facet ) ) )
                {
                    return false;
                }
                static_cast< void >( modifier_->swap_facet( facet ) );
                return true;
            }
            case swap_edge: {
                const auto edge = random_facet_edge( tetrahedron );
                const auto v = solid_->polyhedron_facet_edge_vertices( edge );
                const auto ring = vertices_around_edge(
                    *solid_, v, solid_->polyhedra_around_edge( edge ) );
                const auto apex =
                    ring[uniform( 0, static_cast< index_t >( ring.size() ) - 1 )];
                if( !is_swap_edge_valid( *solid_, edge, apex ) )
                {
                    return false;
                }
                static_cast< void >( modifier_->swap_edge( edge, apex ) );
                return true;
            }
            case move_vertex: {
                const auto vertex = solid_->polyhedron_vertex(
                    { tetrahedron, static_cast< local_index_t >( uniform( 0, 3 ) ) } );
                // Border vertices stay, so that the solid keeps its box.
                if( solid_->is_vertex_on_border( vertex ) )
                {
                    return false;
                }
                auto target = solid_->point( vertex );
                for( const local_index_t axis : { 0, 1, 2 } )
                {
                    target.set_value(
                        axis, target.value( axis ) + uniform_real( -0.2, 0.2 ) );
                }
                if( !detail::are_tetrahedra_positive(
                        tetrahedra_after_move_vertex( *solid_, vertex, target ) ) )
                {
                    return false;
                }
                modifier_->move_vertex( vertex, target );
                for( const auto& around : solid_->polyhedra_around_vertex( vertex ) )
                {
                    touched_.push_back( around.polyhedron_id );
                }
                return true;
            }
            default:
                return false;
            }
        }

        std::mt19937 random_;
        std::unique_ptr< TetrahedralSolid< 3 > > solid_;
        std::unique_ptr< TetrahedralSolidBuilder< 3 > > builder_;
        /// What an edit could change, for comparing before and after.
        struct Snapshot
        {
            index_t nb_vertices;
            std::vector< index_t > vertices;
            std::vector< std::optional< index_t > > adjacents;
            std::vector< bool > active;

            bool operator==( const Snapshot& ) const = default;
        };

        Snapshot snapshot() const
        {
            Snapshot result{ solid_->nb_vertices(), {}, {}, {} };
            for( index_t t = 0; t < solid_->nb_polyhedra(); t++ )
            {
                result.active.push_back( modifier_->is_polyhedron_active( t ) );
                for( const local_index_t v : { 0, 1, 2, 3 } )
                {
                    result.vertices.push_back( solid_->polyhedron_vertex( { t, v } ) );
                    result.adjacents.push_back( solid_->polyhedron_adjacent( { t, v } ) );
                }
            }
            return result;
        }

        std::unique_ptr< TetrahedralSolidModifier > modifier_;
        std::array< int, nb_edits > done_{};
        std::vector< index_t > touched_;
    };

    unsigned seed_from_environment( unsigned fallback )
    {
        if( const auto* value = std::getenv( "ORVANE_RANDOM_SEED" ) )
        {
            return static_cast< unsigned >( std::strtoul( value, nullptr, 10 ) );
        }
        return fallback;
    }
} // namespace

TEST( TetrahedralSolidModifierRandom, valid_edits_keep_the_solid_valid )
{
    constexpr int NB_STEPS = 1200;
    constexpr int FULL_CHECK_EVERY = 300;
    constexpr int CLEAN_EVERY = 600;
    for( const auto& [fallback_seed, tables] :
        { std::pair{ 20261210u, true }, std::pair{ 7u, false } } )
    {
        const auto seed = seed_from_environment( fallback_seed );
        SCOPED_TRACE( ::testing::Message()
                      << "seed " << seed << ( tables ? " with" : " without" )
                      << " edge and facet tables (rerun with ORVANE_RANDOM_SEED)" );
        RandomEditor editor{ seed, tables };
        for( int step = 1; step <= NB_STEPS; step++ )
        {
            if( step % 101 == 0 )
            {
                editor.try_refused_edits();
            }
            const auto [edit, problems] = editor.step();
            ASSERT_TRUE( problems.empty() )
                << "step " << step << ", " << edit << ": "
                << absl::StrJoin( problems, "\n" );
            if( step % FULL_CHECK_EVERY == 0 )
            {
                const auto full = editor.full_check();
                ASSERT_TRUE( full.empty() )
                    << "full check after step " << step << ": " << full.front();
            }
            if( step % CLEAN_EVERY == 0 )
            {
                const auto cleaned = editor.clean();
                ASSERT_TRUE( cleaned.empty() )
                    << "clean after step " << step << ": " << cleaned.front();
            }
        }
        for( const auto i : std::views::iota( 0, static_cast< int >( nb_edits ) ) )
        {
            EXPECT_GT( editor.done()[i], 10 )
                << EDIT_NAMES[i] << " was hardly ever accepted";
        }
    }
}
