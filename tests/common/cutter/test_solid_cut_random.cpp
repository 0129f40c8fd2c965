#include <cmath>
#include <iostream>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <openorvane/basic/exception.hpp>
#include <openorvane/geometry/distance.hpp>
#include <openorvane/geometry/predicates.hpp>

#include <common/cutter/solid_cut_along_path.hpp>
#include <common/modifier/tetrahedron_preview.hpp>

#include <tests/common/cutter/solid_cut_helpers.hpp>
#include <tests/support/solid_modifier_checks.hpp>

namespace
{
    using namespace orvane;

    /// Cuts random segments between random points of a jittered grid, one
    /// after the other, as an inserter of curve edges would: each end point
    /// becomes a vertex by splitting the tetrahedron that holds it, then the
    /// path is found, its cuts determined and made.
    class RandomSegmentCutter
    {
    public:
        explicit RandomSegmentCutter( unsigned seed )
            : random_( seed ),
              solid_( test::jittered_grid_solid( 8, 8, 8, 0.25, seed ) )
        {
            volume_ = test::live_volume( *solid_.solid );
        }

        /// Returns the problems found after the cut, empty when none.
        std::vector< std::string > cut_one( bool full_check )
        {
            const auto begin = insert_random_vertex( std::nullopt );
            const auto end = insert_random_vertex( solid_.solid->point( begin ) );
            const auto nb_before = solid_.solid->nb_polyhedra();
            const auto path =
                SolidPathFinder{ *solid_.solid, begin, end }.find_path();
            if( !path )
            {
                return { "no path" };
            }
            const auto cuts = determine_segment_cuts( *solid_.solid, path.value() );
            std::vector< std::string > problems;
            nb_cuts_ += cuts.size();
            try
            {
                const auto result = solid_.cut( cuts );
                check_chain( result, begin, end, problems );
                nb_cut_++;
            }
            catch( const CutPathException& )
            {
                nb_refused_++;
            }
            std::vector< index_t > touched;
            for( auto t = nb_before; t < solid_.solid->nb_polyhedra(); t++ )
            {
                touched.push_back( t );
            }
            auto solid_problems =
                full_check ? test::modified_solid_problems( *solid_.solid )
                           : test::modified_solid_problems_around(
                                 *solid_.solid, touched );
            problems.insert(
                problems.end(), solid_problems.begin(), solid_problems.end() );
            if( full_check
                && std::abs( test::live_volume( *solid_.solid ) - volume_ ) > 1e-9 )
            {
                problems.push_back( "volume changed" );
            }
            return problems;
        }

        index_t nb_cut() const
        {
            return nb_cut_;
        }

        std::size_t nb_cuts() const
        {
            return nb_cuts_;
        }

        index_t nb_refused() const
        {
            return nb_refused_;
        }

    private:
        /// A random point of a random live tetrahedron (weights drawn at
        /// random) becomes a vertex, unless it falls too close to a facet.
        /// With a centre, the tetrahedron lies within 3 cells of it.
        index_t insert_random_vertex( const std::optional< Point< 3 > >& centre )
        {
            const auto& solid = *solid_.solid;
            std::uniform_real_distribution< double > weight{ 0.01, 1. };
            while( true )
            {
                std::uniform_int_distribution< index_t > pick{ 0,
                    solid.nb_polyhedra() - 1 };
                const auto t = pick( random_ );
                if( !solid_.modifier->is_polyhedron_active( t )
                    || ( centre
                         && point_point_distance(
                                solid.polyhedron_barycenter( t ), centre.value() )
                                > 3 ) )
                {
                    continue;
                }
                Point< 3 > point;
                double total{ 0 };
                for( local_index_t v = 0; v < 4; v++ )
                {
                    const auto w = weight( random_ );
                    point += solid.point( solid.polyhedron_vertex( { t, v } ) ) * w;
                    total += w;
                }
                point = point / total;
                bool inside{ true };
                for( const auto& tetrahedron :
                    tetrahedra_after_split_tetrahedron( solid, t, point ) )
                {
                    inside = inside
                             && tetrahedron_volume_sign( tetrahedron )
                                    == SIDE::positive;
                }
                if( inside )
                {
                    return solid_.modifier->split_tetrahedron( t, point ).new_vertex;
                }
            }
        }

        void check_chain( const CutAlongPathResult& result,
            index_t begin,
            index_t end,
            std::vector< std::string >& problems ) const
        {
            // A collapse of a zero-length edge at an end replaces that end.
            const auto first = solid_.modifier->updated_vertex( begin );
            const auto last = solid_.modifier->updated_vertex( end );
            const auto chain = test::path_edge_chain( *solid_.solid, result, first );
            if( chain.empty() || chain.back() != last )
            {
                std::string text = "path edges do not chain from begin to end:";
                for( const auto& entry : result.cut_vertices )
                {
                    text += " " + std::to_string( entry.element );
                }
                text += " | edges";
                for( const auto& path_edge : result.path_edges )
                {
                    const auto& v = solid_.solid->edges().edge_vertices( path_edge.edge );
                    text += " " + std::to_string( v[0] ) + "-" + std::to_string( v[1] )
                            + ( path_edge.same_direction ? "+" : "-" );
                }
                text += " | short " + std::to_string( result.short_edges.size() );
                problems.push_back( text );
                return;
            }
            const Segment< 3 > segment{ solid_.solid->point( first ),
                solid_.solid->point( last ) };
            for( const auto vertex : chain )
            {
                if( std::get< 0 >( point_segment_distance(
                        solid_.solid->point( vertex ), segment ) )
                    > GLOBAL_EPSILON )
                {
                    problems.push_back( "chain vertex off the segment" );
                }
            }
        }

    private:
        std::mt19937 random_;
        test::CuttableSolid solid_;
        double volume_{ 0 };
        index_t nb_cut_{ 0 };
        index_t nb_refused_{ 0 };
        std::size_t nb_cuts_{ 0 };
    };

    TEST( SolidCutRandom, SegmentsInAJitteredGrid )
    {
        for( const unsigned seed : { 1u } )
        {
            RandomSegmentCutter cutter{ seed };
            for( int cut = 0; cut < 200; cut++ )
            {
                const auto problems = cutter.cut_one( cut == 199 );
                ASSERT_TRUE( problems.empty() )
                    << "seed " << seed << ", cut " << cut << ": " << problems.front();
            }
            EXPECT_GT( cutter.nb_cut(), 160 ) << "seed " << seed;
            std::cout << "seed " << seed << ": " << cutter.nb_cut() << " cut, "
                      << cutter.nb_refused() << " refused, " << cutter.nb_cuts()
                      << " cut points" << std::endl;
        }
    }
} // namespace
