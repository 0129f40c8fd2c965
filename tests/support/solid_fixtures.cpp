#include <tests/support/solid_fixtures.hpp>

#include <cmath>
#include <numbers>

#include <openorvane/mesh/mesh_library.hpp>

namespace orvane
{
    namespace test
    {
        void initialize_solid_meshes()
        {
            OpenOrvaneMeshLibrary::initialize();
        }

        std::unique_ptr< TetrahedralSolid< 3 > > create_tetrahedral_solid(
            const std::vector< Point< 3 > >& points,
            const std::vector< std::array< index_t, 4 > >& tetrahedra,
            bool compute_adjacencies )
        {
            initialize_solid_meshes();
            auto solid = TetrahedralSolid< 3 >::create();
            auto builder = TetrahedralSolidBuilder< 3 >::create( *solid );
            for( const auto& point : points )
            {
                builder->create_point( point );
            }
            for( const auto& tetrahedron : tetrahedra )
            {
                builder->create_tetrahedron( tetrahedron );
            }
            if( compute_adjacencies )
            {
                builder->compute_polyhedron_adjacencies();
            }
            return solid;
        }

        std::unique_ptr< TetrahedralSolid< 3 > > single_tetrahedron()
        {
            return create_tetrahedral_solid(
                { Point< 3 >{ { 0, 0, 0 } }, Point< 3 >{ { 1, 0, 0 } },
                    Point< 3 >{ { 0, 1, 0 } }, Point< 3 >{ { 0, 0, 1 } } },
                { { 0, 1, 2, 3 } } );
        }

        namespace
        {
            std::vector< Point< 3 > > cube_corners()
            {
                std::vector< Point< 3 > > corners;
                for( index_t i = 0; i < 8; i++ )
                {
                    corners.emplace_back( std::array< double, 3 >{
                        static_cast< double >( i & 1 ),
                        static_cast< double >( ( i >> 1 ) & 1 ),
                        static_cast< double >( ( i >> 2 ) & 1 ) } );
                }
                return corners;
            }

            // The 6 tetrahedra of a cell around its diagonal 0-7, one per
            // path 0 -> a -> a + b -> 7 along the axes, ordered positive.
            constexpr std::array< std::array< index_t, 4 >, 6 > CUBE_SIX{ {
                { 0, 1, 3, 7 },
                { 0, 5, 1, 7 },
                { 0, 3, 2, 7 },
                { 0, 2, 6, 7 },
                { 0, 6, 4, 7 },
                { 0, 4, 5, 7 },
            } };
        } // namespace

        std::unique_ptr< TetrahedralSolid< 3 > > cube_of_five_tetrahedra()
        {
            return create_tetrahedral_solid( cube_corners(),
                { { 0, 1, 2, 4 }, { 3, 2, 1, 7 }, { 5, 1, 4, 7 },
                    { 6, 4, 2, 7 }, { 1, 2, 4, 7 } } );
        }

        std::unique_ptr< TetrahedralSolid< 3 > > cube_of_six_tetrahedra()
        {
            return create_tetrahedral_solid( cube_corners(),
                { CUBE_SIX.begin(), CUBE_SIX.end() } );
        }

        std::unique_ptr< TetrahedralSolid< 3 > > tetrahedra_fan_around_edge(
            index_t nb_tetrahedra, bool closed )
        {
            std::vector< Point< 3 > > points{ Point< 3 >{ { 0, 0, 0 } },
                Point< 3 >{ { 0, 0, 1 } } };
            const auto nb_ring = closed ? nb_tetrahedra : nb_tetrahedra + 1;
            const double turn = closed ? 2 * std::numbers::pi : std::numbers::pi;
            const double step = turn / nb_tetrahedra;
            for( index_t i = 0; i < nb_ring; i++ )
            {
                points.emplace_back( std::array< double, 3 >{
                    std::cos( i * step ), std::sin( i * step ), 0.5 } );
            }
            std::vector< std::array< index_t, 4 > > tetrahedra;
            for( index_t i = 0; i < nb_tetrahedra; i++ )
            {
                tetrahedra.push_back(
                    { 0, 1, 2 + i, 2 + ( i + 1 ) % nb_ring } );
            }
            return create_tetrahedral_solid( points, tetrahedra );
        }

        std::unique_ptr< TetrahedralSolid< 3 > > grid_tetrahedral_solid(
            index_t nx, index_t ny, index_t nz )
        {
            initialize_solid_meshes();
            auto solid = TetrahedralSolid< 3 >::create();
            auto builder = TetrahedralSolidBuilder< 3 >::create( *solid );
            const auto vertex = [nx, ny]( index_t i, index_t j, index_t k ) {
                return i + ( nx + 1 ) * ( j + ( ny + 1 ) * k );
            };
            for( index_t k = 0; k <= nz; k++ )
            {
                for( index_t j = 0; j <= ny; j++ )
                {
                    for( index_t i = 0; i <= nx; i++ )
                    {
                        builder->create_point( Point< 3 >{
                            { static_cast< double >( i ),
                                static_cast< double >( j ),
                                static_cast< double >( k ) } } );
                    }
                }
            }
            for( index_t k = 0; k < nz; k++ )
            {
                for( index_t j = 0; j < ny; j++ )
                {
                    for( index_t i = 0; i < nx; i++ )
                    {
                        std::array< index_t, 8 > corners;
                        for( index_t c = 0; c < 8; c++ )
                        {
                            corners[c] = vertex( i + ( c & 1 ),
                                j + ( ( c >> 1 ) & 1 ), k + ( ( c >> 2 ) & 1 ) );
                        }
                        for( const auto& tetrahedron : CUBE_SIX )
                        {
                            builder->create_tetrahedron(
                                { corners[tetrahedron[0]],
                                    corners[tetrahedron[1]],
                                    corners[tetrahedron[2]],
                                    corners[tetrahedron[3]] } );
                        }
                    }
                }
            }
            builder->compute_polyhedron_adjacencies();
            return solid;
        }
    } // namespace test
} // namespace orvane
