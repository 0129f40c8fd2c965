#include <core_support/sentinels.hpp>

#include <gtest/gtest.h>

namespace
{
    TEST( Sentinels, ids_differ_from_each_other_and_from_new_ids )
    {
        EXPECT_NE( orvane::no_block_id, orvane::no_component_id );
        for( int i = 0; i < 1000; i++ )
        {
            const orvane::uuid component_id;
            EXPECT_NE( component_id, orvane::no_block_id );
            EXPECT_NE( component_id, orvane::no_component_id );
        }
    }

    TEST( Sentinels, default_tetrahedron_is_at_the_origin )
    {
        for( const auto& vertex : orvane::default_tetrahedron.vertices() )
        {
            EXPECT_EQ( vertex, orvane::Point< 3 >{} );
        }
    }
} // namespace
