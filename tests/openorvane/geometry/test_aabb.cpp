#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <set>
#include <thread>
#include <utility>
#include <vector>

#include <oneapi/tbb/task_arena.h>

#include <openorvane/basic/assert.hpp>
#include <openorvane/basic/exception.hpp>
#include <openorvane/geometry/aabb.hpp>
#include <openorvane/geometry/ray_tracing.hpp>

namespace
{
    using P3 = orvane::Point3D;
    using V3 = orvane::Vector3D;
    using orvane::index_t;
    using Box = orvane::BoundingBox3D;
    using Pair = std::pair< index_t, index_t >;

    Box make_box( const P3& min, const P3& max )
    {
        Box box;
        box.add_point( min );
        box.add_point( max );
        return box;
    }

    std::vector< Box > random_boxes( index_t nb, unsigned seed, double size )
    {
        std::mt19937 random{ seed };
        std::uniform_real_distribution< double > coordinate{ 0, 10 };
        std::uniform_real_distribution< double > extent{ 0, size };
        std::vector< Box > boxes;
        for( index_t i = 0; i < nb; i++ )
        {
            const P3 min{ { coordinate( random ), coordinate( random ),
                coordinate( random ) } };
            boxes.push_back( make_box( min,
                min + V3{ { extent( random ), extent( random ), extent( random ) } } ) );
        }
        return boxes;
    }

    /// Boxes of a regular grid of unit cells: neighbours touch exactly.
    std::vector< Box > grid_boxes( int nb_per_axis )
    {
        std::vector< Box > boxes;
        for( int i = 0; i < nb_per_axis; i++ )
        {
            for( int j = 0; j < nb_per_axis; j++ )
            {
                boxes.push_back( make_box( P3{ { double( i ), double( j ), 0 } },
                    P3{ { i + 1., j + 1., 1 } } ) );
            }
        }
        return boxes;
    }

    /// Checks the documented layout: a permutation of the elements, leaf
    /// boxes equal to element boxes, node boxes enclosing their children.
    void check_layout( const orvane::AABBTree3D& tree, const std::vector< Box >& boxes )
    {
        ASSERT_EQ( tree.nb_bboxes(), boxes.size() );
        std::vector< bool > seen( boxes.size(), false );
        for( index_t position = 0; position < tree.nb_bboxes(); position++ )
        {
            const auto element = tree.element_at( position );
            ASSERT_LT( element, boxes.size() );
            EXPECT_FALSE( seen[element] );
            seen[element] = true;
        }
        std::vector< std::tuple< index_t, index_t, index_t > > stack{
            { orvane::AABBTree3D::ROOT, 0, tree.nb_bboxes() }
        };
        while( !stack.empty() )
        {
            const auto [node, begin, end] = stack.back();
            stack.pop_back();
            const auto& box = tree.node_box( node );
            if( end - begin == 1 )
            {
                const auto& leaf = boxes[tree.element_at( begin )];
                EXPECT_EQ( box.min(), leaf.min() );
                EXPECT_EQ( box.max(), leaf.max() );
                continue;
            }
            const auto middle = begin + ( end - begin ) / 2;
            for( const auto child : { 2 * node, 2 * node + 1 } )
            {
                const auto& child_box = tree.node_box( child );
                EXPECT_TRUE( box.contains( child_box.min() ) );
                EXPECT_TRUE( box.contains( child_box.max() ) );
            }
            stack.emplace_back( 2 * node, begin, middle );
            stack.emplace_back( 2 * node + 1, middle, end );
        }
    }

    /// The layout by definition: the elements of a node sorted by (centre
    /// coordinate on the widest axis of their centres, index), the first
    /// half to the left child.
    void reference_layout( const std::vector< Box >& boxes,
        std::vector< index_t >& order,
        index_t begin,
        index_t end )
    {
        if( end - begin <= 1 )
        {
            return;
        }
        Box spread;
        for( auto position = begin; position < end; position++ )
        {
            spread.add_point( boxes[order[position]].center() );
        }
        const auto diagonal = spread.diagonal();
        orvane::local_index_t axis{ 0 };
        for( orvane::local_index_t i = 1; i < 3; i++ )
        {
            if( diagonal.value( i ) > diagonal.value( axis ) )
            {
                axis = i;
            }
        }
        std::sort( order.begin() + begin, order.begin() + end,
            [&]( index_t a, index_t b ) {
                const auto left = boxes[a].center().value( axis );
                const auto right = boxes[b].center().value( axis );
                return left != right ? left < right : a < b;
            } );
        const auto middle = begin + ( end - begin ) / 2;
        reference_layout( boxes, order, begin, middle );
        reference_layout( boxes, order, middle, end );
    }

    std::vector< index_t > positions_of( const orvane::AABBTree3D& tree )
    {
        std::vector< index_t > position( tree.nb_bboxes() );
        for( index_t p = 0; p < tree.nb_bboxes(); p++ )
        {
            position[tree.element_at( p )] = p;
        }
        return position;
    }
} // namespace

TEST( AABBTree, LayoutOnVariousSizes )
{
    for( const index_t nb : { 1u, 2u, 3u, 5u, 8u, 13u, 100u, 1000u } )
    {
        SCOPED_TRACE( nb );
        const auto boxes = random_boxes( nb, nb, 1 );
        const orvane::AABBTree3D tree{ boxes };
        check_layout( tree, boxes );
    }
}

TEST( AABBTree, ParallelBuildGivesTheDefinedLayoutOnAnyThreadCount )
{
    // Boxes on a coarse lattice: many equal centres, so the index tie-break
    // decides much of the order; large enough to split over the pool.
    std::mt19937 random{ 5 };
    std::uniform_int_distribution< int > cell{ 0, 12 };
    std::vector< Box > boxes;
    for( int i = 0; i < 20000; i++ )
    {
        const P3 min{ { double( cell( random ) ), double( cell( random ) ),
            0.5 * cell( random ) } };
        boxes.push_back( make_box( min, min + V3{ { 1, 1, double( i % 3 ) } } ) );
    }
    std::vector< index_t > order( boxes.size() );
    for( index_t i = 0; i < order.size(); i++ )
    {
        order[i] = i;
    }
    reference_layout( boxes, order, 0, static_cast< index_t >( order.size() ) );

    const auto build_on = [&boxes]( int nb_threads ) {
        tbb::task_arena arena{ nb_threads };
        orvane::AABBTree3D tree;
        arena.execute( [&] { tree = orvane::AABBTree3D{ boxes }; } );
        return tree;
    };
    const auto serial = build_on( 1 );
    check_layout( serial, boxes );
    for( index_t p = 0; p < serial.nb_bboxes(); p++ )
    {
        ASSERT_EQ( serial.element_at( p ), order[p] ) << "position " << p;
    }
    const auto parallel = build_on( 8 );
    for( index_t p = 0; p < serial.nb_bboxes(); p++ )
    {
        ASSERT_EQ( parallel.element_at( p ), serial.element_at( p ) );
    }
    for( index_t node = 1; node < 2 * serial.nb_bboxes(); node++ )
    {
        ASSERT_EQ( parallel.node_box( node ).min(), serial.node_box( node ).min() );
        ASSERT_EQ( parallel.node_box( node ).max(), serial.node_box( node ).max() );
    }
}

TEST( AABBTree, LayoutFollowsTheDefinitionOnSkewedCentres )
{
    // Centres whose coordinates span twelve orders of magnitude, pile up on
    // a few values or coincide: the median selection must still follow the
    // (coordinate, index) order exactly at every node.
    std::mt19937 random{ 9 };
    std::uniform_int_distribution< int > exponent{ -9, 3 };
    std::uniform_real_distribution< double > unit{ 0, 1 };
    std::vector< Box > boxes;
    for( int i = 0; i < 6000; i++ )
    {
        const P3 min{ { std::pow( 10., exponent( random ) ) * unit( random ),
            double( i % 4 ), i % 5 == 0 ? 7. : std::pow( 10., exponent( random ) ) } };
        boxes.push_back( make_box( min, min ) );
    }
    std::vector< index_t > order( boxes.size() );
    for( index_t i = 0; i < order.size(); i++ )
    {
        order[i] = i;
    }
    reference_layout( boxes, order, 0, static_cast< index_t >( order.size() ) );
    for( const int nb_threads : { 1, 8 } )
    {
        SCOPED_TRACE( nb_threads );
        tbb::task_arena arena{ nb_threads };
        orvane::AABBTree3D tree;
        arena.execute( [&] { tree = orvane::AABBTree3D{ boxes }; } );
        check_layout( tree, boxes );
        for( index_t p = 0; p < tree.nb_bboxes(); p++ )
        {
            ASSERT_EQ( tree.element_at( p ), order[p] ) << "position " << p;
        }
    }
}

TEST( AABBTree, NonFiniteBoxesAreRefused )
{
    // Boxes never take a NaN coordinate (add_point ignores it), but they do
    // take infinities.
    const double inf = std::numeric_limits< double >::infinity();
    for( const auto bad : { P3{ { inf, 0, 0 } }, P3{ { 0, 0, inf } },
             P3{ { 0, -inf, 0 } } } )
    {
        for( const index_t nb : { 3u, 5000u } )
        {
            auto boxes = random_boxes( nb, 3, 1 );
            boxes[nb - 2] = make_box( P3{}, P3{ { 1, 1, 1 } } );
            boxes[nb - 2].add_point( bad );
            EXPECT_THROW( orvane::AABBTree3D{ boxes }, orvane::OpenOrvaneException )
                << bad.string() << " among " << nb;
        }
    }
}

TEST( AABBTree, ClosestElementMatchesBruteForce )
{
    // Elements are points (flat boxes): the exact distance is the distance
    // to the point. Lattice points give exact ties.
    std::mt19937 random{ 9 };
    std::uniform_int_distribution< int > coordinate{ 0, 20 };
    std::vector< P3 > points;
    std::vector< Box > boxes;
    for( int i = 0; i < 700; i++ )
    {
        points.push_back( P3{ { double( coordinate( random ) ),
            double( coordinate( random ) ), double( coordinate( random ) % 4 ) } } );
        boxes.push_back( make_box( points.back(), points.back() ) );
    }
    const orvane::AABBTree3D tree{ boxes };
    int nb_calls{ 0 };
    const auto distance = [&points, &nb_calls]( const P3& point, index_t element ) {
        nb_calls++;
        return orvane::Vector3D{ point, points[element] }.length();
    };
    std::uniform_real_distribution< double > query{ -5, 25 };
    for( int q = 0; q < 200; q++ )
    {
        const P3 point = q % 4 == 0 ? points[q] // on an element
                                    : P3{ { query( random ), query( random ),
                                          query( random ) } };
        double expected = std::numeric_limits< double >::max();
        for( const auto& p : points )
        {
            expected = std::min( expected, orvane::Vector3D{ point, p }.length() );
        }
        const auto guess = orvane::detail::closest_leaf_element( tree, point );
        ASSERT_LT( guess, points.size() );
        nb_calls = 0;
        const auto [element, found] = orvane::detail::closest_element(
            tree, point, distance, guess, distance( point, guess ) );
        EXPECT_EQ( found, expected ) << point.string();
        EXPECT_EQ( distance( point, element ), found );
        const auto [box_distance, box_element] =
            orvane::detail::closest_element_box( tree, point, distance );
        EXPECT_EQ( box_distance, expected ) << point.string();
        EXPECT_EQ( box_element, element ) << point.string();
        // Branch and bound: far fewer exact distances than elements.
        EXPECT_LT( nb_calls, 200 ) << point.string();
    }
    // A guess already at the best distance is kept: only strictly closer
    // elements replace it.
    const auto [kept, kept_distance] =
        orvane::detail::closest_element( tree, P3{}, distance, 12345u, -1. );
    EXPECT_EQ( kept, 12345u );
    EXPECT_EQ( kept_distance, -1. );
    const orvane::AABBTree3D empty;
    const auto [none, none_distance] = orvane::detail::closest_element(
        empty, P3{}, distance, orvane::NO_ID, 0. );
    EXPECT_EQ( none, orvane::NO_ID );
    EXPECT_EQ( none_distance, 0. );
    const auto [empty_distance, empty_element] =
        orvane::detail::closest_element_box( empty, P3{}, distance );
    EXPECT_EQ( empty_distance, 0. );
    EXPECT_EQ( empty_element, orvane::NO_ID );
}

TEST( AABBTree, ClosestLeafDescendsTowardsTheSmallerBoxDistance )
{
    // Left child [0, 1) holds box 0 and right child [1, 2) box 1 (the
    // split is on x): ties go right.
    const std::vector< Box > boxes{ make_box( P3{}, P3{ { 1, 1, 1 } } ),
        make_box( P3{ { 3, 0, 0 } }, P3{ { 4, 1, 1 } } ) };
    const orvane::AABBTree3D tree{ boxes };
    ASSERT_EQ( tree.element_at( 0 ), 0u );
    EXPECT_EQ( orvane::detail::closest_leaf_element( tree, P3{ { 1.9, 0.5, 0.5 } } ), 0u );
    EXPECT_EQ( orvane::detail::closest_leaf_element( tree, P3{ { 2, 0.5, 0.5 } } ), 1u );
    EXPECT_EQ( orvane::detail::closest_leaf_element( tree, P3{ { 0.5, 0.5, 0.5 } } ), 0u );
    const orvane::AABBTree3D single{ std::vector< Box >{ boxes[1] } };
    EXPECT_EQ( orvane::detail::closest_leaf_element( single, P3{} ), 0u );
}

TEST( AABBTree, EmptyTreeVisitsNothing )
{
    const orvane::AABBTree3D tree{ std::vector< Box >{} };
    int calls{ 0 };
    const auto count_pair = [&calls]( index_t, index_t ) {
        calls++;
        return false;
    };
    const auto count_one = [&calls]( index_t ) {
        calls++;
        return false;
    };
    EXPECT_EQ( tree.nb_bboxes(), 0u );
    EXPECT_TRUE( tree.bounding_box().empty() );
    EXPECT_FALSE( tree.visit_intersecting_box_pairs( count_pair ) );
    const orvane::AABBTree3D other{ grid_boxes( 2 ) };
    EXPECT_FALSE( tree.visit_intersecting_box_pairs( other, count_pair ) );
    EXPECT_FALSE( other.visit_intersecting_box_pairs( tree, count_pair ) );
    EXPECT_FALSE( tree.visit_boxes_intersecting_box(
        make_box( P3{ { -1e9, -1e9, -1e9 } }, P3{ { 1e9, 1e9, 1e9 } } ), count_one ) );
    EXPECT_FALSE( tree.visit_boxes_along_ray(
        orvane::Ray3D{ V3{ { 1, 0, 0 } }, P3{} }, count_one ) );
    const orvane::AABBTree3D default_tree;
    EXPECT_FALSE( default_tree.visit_intersecting_box_pairs( count_pair ) );
    EXPECT_EQ( calls, 0 );
}

TEST( AABBTree, PairSearchMatchesBruteForce )
{
    struct Case
    {
        const char* name;
        std::vector< Box > boxes;
    };
    const Case cases[] = {
        { "two overlapping", { make_box( P3{ { 0, 0, 0 } }, P3{ { 2, 2, 2 } } ),
                                 make_box( P3{ { 1, 1, 1 } }, P3{ { 3, 3, 3 } } ) } },
        { "two disjoint", { make_box( P3{ { 0, 0, 0 } }, P3{ { 1, 1, 1 } } ),
                              make_box( P3{ { 2, 2, 2 } }, P3{ { 3, 3, 3 } } ) } },
        { "single", { make_box( P3{ { 0, 0, 0 } }, P3{ { 1, 1, 1 } } ) } },
        { "identical boxes", std::vector< Box >( 7, make_box( P3{ { 0, 0, 0 } },
                                                        P3{ { 1, 1, 1 } } ) ) },
        { "touching grid", grid_boxes( 12 ) },
        { "random small", random_boxes( 300, 1, 1 ) },
        { "random large", random_boxes( 200, 2, 5 ) },
    };
    for( const auto& c : cases )
    {
        const orvane::AABBTree3D tree{ c.boxes };
        const auto position = positions_of( tree );
        std::vector< Pair > visited;
        const bool stopped = tree.visit_intersecting_box_pairs(
            [&]( index_t first, index_t second ) {
                visited.emplace_back( first, second );
                return false;
            } );
        EXPECT_FALSE( stopped ) << c.name;
        std::set< Pair > unordered;
        for( const auto& [first, second] : visited )
        {
            EXPECT_NE( first, second ) << c.name;
            EXPECT_LT( position[first], position[second] ) << c.name;
            EXPECT_TRUE( unordered.emplace( std::min( first, second ),
                                       std::max( first, second ) )
                             .second )
                << c.name << ": pair visited twice";
        }
        std::set< Pair > expected;
        for( index_t i = 0; i < c.boxes.size(); i++ )
        {
            for( index_t j = i + 1; j < c.boxes.size(); j++ )
            {
                if( c.boxes[i].intersects( c.boxes[j] ) )
                {
                    expected.emplace( i, j );
                }
            }
        }
        EXPECT_EQ( unordered, expected ) << c.name;
    }
    // Two overlapping boxes: (element at position 0, element at position 1).
    const orvane::AABBTree3D pair{ std::vector< Box >{ cases[0].boxes } };
    std::vector< Pair > visited;
    pair.visit_intersecting_box_pairs( [&]( index_t a, index_t b ) {
        visited.emplace_back( a, b );
        return false;
    } );
    ASSERT_EQ( visited.size(), 1u );
    EXPECT_EQ( visited[0], Pair( pair.element_at( 0 ), pair.element_at( 1 ) ) );
}

TEST( AABBTree, VisitorReturningTrueStopsEverySearch )
{
    const auto boxes = grid_boxes( 6 );
    const orvane::AABBTree3D tree{ boxes };
    int calls{ 0 };
    EXPECT_TRUE( tree.visit_intersecting_box_pairs( [&calls]( index_t, index_t ) {
        calls++;
        return true;
    } ) );
    EXPECT_EQ( calls, 1 );

    calls = 0;
    EXPECT_TRUE( tree.visit_intersecting_box_pairs( tree, [&calls]( index_t, index_t ) {
        return ++calls == 3;
    } ) );
    EXPECT_EQ( calls, 3 );

    calls = 0;
    const auto everything = make_box( P3{ { -1, -1, -1 } }, P3{ { 9, 9, 9 } } );
    EXPECT_TRUE( tree.visit_boxes_intersecting_box( everything, [&calls]( index_t ) {
        calls++;
        return true;
    } ) );
    EXPECT_EQ( calls, 1 );

    calls = 0;
    EXPECT_TRUE( tree.visit_boxes_along_ray(
        orvane::Ray3D{ V3{ { 1, 1, 0 } }, P3{ { 0, 0, 0.5 } } },
        [&calls]( index_t ) { return ++calls == 2; } ) );
    EXPECT_EQ( calls, 2 );
}

TEST( AABBTree, BoxRaySegmentAndTwoTreeSearchesMatchBruteForce )
{
    const auto boxes = random_boxes( 500, 11, 1.5 );
    const orvane::AABBTree3D tree{ boxes };
    const auto collect = [&tree]( const auto& run ) {
        std::vector< index_t > found;
        run( [&found]( index_t element ) {
            found.push_back( element );
            return false;
        } );
        std::sort( found.begin(), found.end() );
        EXPECT_TRUE( std::adjacent_find( found.begin(), found.end() ) == found.end() );
        return found;
    };

    std::mt19937 random{ 5 };
    std::uniform_real_distribution< double > coordinate{ -2, 12 };
    for( int query = 0; query < 30; query++ )
    {
        const P3 a{ { coordinate( random ), coordinate( random ), coordinate( random ) } };
        const P3 b{ { coordinate( random ), coordinate( random ), coordinate( random ) } };
        Box box;
        box.add_point( a );
        box.add_point( a + ( b - a ) * 0.2 );
        const orvane::Ray3D ray{ V3{ a, b }, a };
        const orvane::Segment3D segment{ a, b };
        std::vector< index_t > by_box;
        std::vector< index_t > by_ray;
        std::vector< index_t > by_segment;
        for( index_t e = 0; e < boxes.size(); e++ )
        {
            if( boxes[e].intersects( box ) )
            {
                by_box.push_back( e );
            }
            if( boxes[e].intersects( ray ) )
            {
                by_ray.push_back( e );
            }
            if( boxes[e].intersects( segment ) )
            {
                by_segment.push_back( e );
            }
        }
        EXPECT_EQ( collect( [&]( auto visitor ) {
            tree.visit_boxes_intersecting_box( box, visitor );
        } ),
            by_box );
        EXPECT_EQ( collect( [&]( auto visitor ) {
            tree.visit_boxes_along_ray( ray, visitor );
        } ),
            by_ray );
        EXPECT_EQ( collect( [&]( auto visitor ) {
            tree.visit_boxes_along_segment( segment, visitor );
        } ),
            by_segment );
    }

    const auto other_boxes = random_boxes( 300, 12, 1 );
    const orvane::AABBTree3D other{ other_boxes };
    std::set< Pair > found;
    tree.visit_intersecting_box_pairs( other, [&found]( index_t mine, index_t theirs ) {
        EXPECT_TRUE( found.emplace( mine, theirs ).second );
        return false;
    } );
    std::set< Pair > expected;
    for( index_t i = 0; i < boxes.size(); i++ )
    {
        for( index_t j = 0; j < other_boxes.size(); j++ )
        {
            if( boxes[i].intersects( other_boxes[j] ) )
            {
                expected.emplace( i, j );
            }
        }
    }
    EXPECT_EQ( found, expected );
}

TEST( AABBTree, ConcurrentSearchesAgree )
{
    const auto boxes = random_boxes( 2000, 21, 0.8 );
    const orvane::AABBTree3D tree{ boxes };
    const auto count_pairs = [&tree] {
        std::size_t count{ 0 };
        tree.visit_intersecting_box_pairs( [&count]( index_t, index_t ) {
            count++;
            return false;
        } );
        return count;
    };
    const auto reference = count_pairs();
    std::vector< std::size_t > counts( 6, 0 );
    std::vector< std::thread > threads;
    for( std::size_t t = 0; t < counts.size(); t++ )
    {
        threads.emplace_back( [&, t] { counts[t] = count_pairs(); } );
    }
    for( auto& thread : threads )
    {
        thread.join();
    }
    for( const auto count : counts )
    {
        EXPECT_EQ( count, reference );
    }
}

TEST( RayTracing3D, ClosestPolygonThroughTheTree )
{
    // Two parallel squares (two triangles each) at z = 1 and z = 3, and a
    // triangle lying along the ray.
    const std::vector< std::vector< P3 > > polygons{
        { P3{ { 0, 0, 3 } }, P3{ { 1, 0, 3 } }, P3{ { 1, 1, 3 } } },
        { P3{ { 0, 0, 3 } }, P3{ { 1, 1, 3 } }, P3{ { 0, 1, 3 } } },
        { P3{ { 0, 0, 1 } }, P3{ { 1, 0, 1 } }, P3{ { 1, 1, 1 }, }, P3{ { 0, 1, 1 } } },
        { P3{ { 0, 0.25, -1 } }, P3{ { 0.5, 0.25, 9 } }, P3{ { 1, 0.25, -1 } } },
    };
    std::vector< Box > boxes;
    for( const auto& polygon : polygons )
    {
        Box box;
        for( const auto& point : polygon )
        {
            box.add_point( point );
        }
        boxes.push_back( box );
    }
    const orvane::AABBTree3D tree{ boxes };
    const auto points_of = [&polygons]( index_t polygon ) {
        return absl::InlinedVector< P3, 3 >( polygons[polygon].begin(),
            polygons[polygon].end() );
    };

    struct Case
    {
        const char* name;
        orvane::Ray3D ray;
        index_t polygon;
        double distance;
    };
    const Case cases[] = {
        { "upwards from below", { V3{ { 0, 0, 1 } }, P3{ { 0.7, 0.25, -2 } } }, 2, 3 },
        { "downwards from above", { V3{ { 0, 0, -1 } }, P3{ { 0.7, 0.6, 5 } } }, 0, 2 },
        { "from between", { V3{ { 0, 0, 1 } }, P3{ { 0.3, 0.6, 2 } } }, 1, 1 },
        { "starting on a polygon", { V3{ { 0, 0, 1 } }, P3{ { 0.3, 0.6, 1 } } }, 2, 0 },
        { "pointing away", { V3{ { 0, 0, 1 } }, P3{ { 0.3, 0.6, 4 } } }, orvane::NO_ID, 0 },
    };
    for( const auto& c : cases )
    {
        orvane::RayTracing3D tracing{ points_of, c.ray };
        EXPECT_FALSE( tree.visit_boxes_along_ray( c.ray, tracing ) ) << c.name;
        const auto closest = tracing.closest_polygon();
        if( c.polygon == orvane::NO_ID )
        {
            EXPECT_FALSE( closest ) << c.name;
            continue;
        }
        ASSERT_TRUE( closest ) << c.name;
        EXPECT_EQ( closest->polygon, c.polygon ) << c.name;
        EXPECT_DOUBLE_EQ( closest->distance, c.distance ) << c.name;
    }
    // On equal distances the first polygon visited stays: both triangles of
    // the top square contain the diagonal point.
    orvane::RayTracing3D tracing{ points_of,
        orvane::Ray3D{ V3{ { 0, 0, 1 } }, P3{ { 0.5, 0.5, 2 } } } };
    tracing( 1 );
    tracing( 0 );
    ASSERT_TRUE( tracing.closest_polygon() );
    EXPECT_EQ( tracing.closest_polygon()->polygon, 1u );
}

TEST( AABBTree, LayoutAccessorsCheckTheirIndexInCheckedBuilds )
{
    if constexpr( !orvane::debug_checks_enabled )
    {
        GTEST_SKIP() << "index checks of read accessors are off in this build";
    }
    const auto boxes = grid_boxes( 3 );
    const orvane::AABBTree3D tree{ boxes };
    EXPECT_THROW( tree.element_at( 9 ), orvane::OpenOrvaneException );
    EXPECT_THROW( tree.element_at( orvane::NO_ID ), orvane::OpenOrvaneException );
    EXPECT_THROW( tree.node_box( 0 ), orvane::OpenOrvaneException );
    EXPECT_THROW( tree.node_box( 1000 ), orvane::OpenOrvaneException );
    EXPECT_NO_THROW( tree.element_at( 8 ) );
    EXPECT_NO_THROW( tree.node_box( orvane::AABBTree3D::ROOT ) );
    const orvane::AABBTree3D empty;
    EXPECT_THROW( empty.element_at( 0 ), orvane::OpenOrvaneException );
    EXPECT_THROW( empty.node_box( orvane::AABBTree3D::ROOT ), orvane::OpenOrvaneException );
}
