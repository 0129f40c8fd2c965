#include <cmath>
#include <numbers>
#include <set>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include <openorvane/basic/exception.hpp>
#include <openorvane/model/brep_builder.hpp>
#include <openorvane/model/model_library.hpp>
#include <openorvane/model/surface_radial_sort.hpp>

#include <tests/support/brep_fixtures.hpp>

namespace orvane
{
    namespace
    {
        Point3D point( double x, double y, double z )
        {
            return Point3D{ { x, y, z } };
        }

        /// A half-plane polygon hanging on the line (0,0,0)-(0,0,1): its apex
        /// at `degrees` around the z axis; `reversed` runs the line edge from
        /// top to bottom. Two apexes make a surface that holds the line
        /// inside it (one triangle on each side, consistently oriented).
        struct Fin
        {
            std::vector< double > degrees;
            bool reversed;
        };

        struct FinModel
        {
            BRep model;
            uuid line;
            std::vector< uuid > surfaces;
        };

        Point3D apex( double degrees )
        {
            const double angle = degrees * std::numbers::pi / 180.;
            return point( std::cos( angle ), std::sin( angle ), 0.5 );
        }

        FinModel fin_model( const std::vector< Fin >& fins )
        {
            OpenOrvaneModelLibrary::initialize();
            FinModel result;
            index_t nb_uniques{ 2 };
            for( const auto& fin : fins )
            {
                nb_uniques += static_cast< index_t >( fin.degrees.size() );
            }
            BRepBuilder{ result.model }.create_unique_vertices( nb_uniques );
            result.line = test::add_linked_line(
                result.model, { point( 0, 0, 0 ), point( 0, 0, 1 ) }, { 0, 1 } );
            index_t next_unique{ 2 };
            for( const auto& fin : fins )
            {
                std::vector< Point3D > points{ point( 0, 0, 0 ), point( 0, 0, 1 ) };
                std::vector< index_t > uniques{ 0, 1 };
                std::vector< std::array< index_t, 3 > > triangles;
                for( index_t k = 0; k < fin.degrees.size(); k++ )
                {
                    points.push_back( apex( fin.degrees[k] ) );
                    uniques.push_back( next_unique++ );
                    // The second triangle runs the line the other way, so
                    // that both sides of the surface agree.
                    const bool reversed = fin.reversed != ( k == 1 );
                    triangles.push_back( reversed ? std::array< index_t, 3 >{ 1, 0, 2 + k }
                                                  : std::array< index_t, 3 >{ 0, 1, 2 + k } );
                }
                result.surfaces.push_back(
                    test::add_linked_surface( result.model, points, triangles, uniques ) );
            }
            return result;
        }

        /// The expected sectors, computed from the fins' angles and normals:
        /// the pairs of sided surfaces that face each other across each
        /// sector between consecutive half-planes.
        std::set< std::pair< std::pair< index_t, local_index_t >,
            std::pair< index_t, local_index_t > > >
            expected_sectors( const std::vector< Fin >& fins )
        {
            struct HalfPlane
            {
                double degrees;
                index_t surface;
                local_index_t side_ahead;
            };
            std::vector< HalfPlane > planes;
            for( index_t s = 0; s < fins.size(); s++ )
            {
                for( index_t k = 0; k < fins[s].degrees.size(); k++ )
                {
                    const auto a = apex( fins[s].degrees[k] );
                    const bool reversed = fins[s].reversed != ( k == 1 );
                    const Vector3D up{ { 0, 0, reversed ? -1. : 1. } };
                    const Vector3D out{ point( 0, 0, reversed ? 1. : 0. ), a };
                    const auto normal = up.cross( out );
                    const double angle = fins[s].degrees[k] * std::numbers::pi / 180.;
                    const Vector3D growing{ { -std::sin( angle ), std::cos( angle ), 0 } };
                    planes.push_back( { fins[s].degrees[k], s,
                        static_cast< local_index_t >( normal.dot( growing ) > 0 ? 0 : 1 ) } );
                }
            }
            std::sort( planes.begin(), planes.end(),
                []( const auto& a, const auto& b ) { return a.degrees < b.degrees; } );
            std::set< std::pair< std::pair< index_t, local_index_t >,
                std::pair< index_t, local_index_t > > >
                sectors;
            for( index_t k = 0; k < planes.size(); k++ )
            {
                const auto& here = planes[k];
                const auto& ahead = planes[( k + 1 ) % planes.size()];
                const std::pair< index_t, local_index_t > a{ here.surface, here.side_ahead };
                const std::pair< index_t, local_index_t > b{ ahead.surface,
                    static_cast< local_index_t >( 1 - ahead.side_ahead ) };
                sectors.insert( { std::min( a, b ), std::max( a, b ) } );
            }
            return sectors;
        }
    } // namespace

    // Lines shared by 2, 3 and 4 surfaces, surfaces listed out of angular
    // order and oriented either way, and surfaces that hold the line inside
    // them (listed twice).
    TEST( SurfaceRadialSort, PairsTheSidesFacingEachSector )
    {
        const std::vector< std::vector< Fin > > cases{
            { { { 0 }, false }, { { 90 }, false } },
            { { { 0 }, false }, { { 180 }, true } },
            { { { 200 }, false }, { { 30 }, true }, { { 120 }, false } },
            { { { 10 }, true }, { { 280 }, false }, { { 100 }, true }, { { 190 }, false } },
            { { { 0, 180 }, false } },
            { { { 0, 180 }, true }, { { 90 }, false } },
            { { { 45, 225 }, false }, { { 300 }, true }, { { 135 }, false } },
            { { { 5 }, false } },
        };
        for( index_t c = 0; c < cases.size(); c++ )
        {
            SCOPED_TRACE( ::testing::Message() << "case " << c );
            const auto& fins = cases[c];
            const auto built = fin_model( fins );
            const auto sorted =
                surface_radial_sort( built.model, built.model.line( built.line ) );
            index_t nb_planes{ 0 };
            for( const auto& fin : fins )
            {
                nb_planes += static_cast< index_t >( fin.degrees.size() );
            }
            ASSERT_EQ( sorted.surfaces.size(), 2 * nb_planes );
            const auto surface_index = [&]( const uuid& id ) {
                return static_cast< index_t >(
                    std::find( built.surfaces.begin(), built.surfaces.end(), id )
                    - built.surfaces.begin() );
            };
            std::set< std::pair< std::pair< index_t, local_index_t >,
                std::pair< index_t, local_index_t > > >
                sectors;
            for( index_t p = 0; p < sorted.surfaces.size(); p++ )
            {
                const auto next = sorted.next( p );
                EXPECT_EQ( sorted.next( next ), p );
                const std::pair< index_t, local_index_t > a{
                    surface_index( sorted.surfaces[p].id ), sorted.surfaces[p].side
                };
                const std::pair< index_t, local_index_t > b{
                    surface_index( sorted.surfaces[next].id ), sorted.surfaces[next].side
                };
                sectors.insert( { std::min( a, b ), std::max( a, b ) } );
            }
            EXPECT_EQ( sectors, expected_sectors( fins ) );
            for( index_t s = 0; s < fins.size(); s++ )
            {
                for( const local_index_t side : { 0, 1 } )
                {
                    const auto positions = sorted.find( { built.surfaces[s], side } );
                    EXPECT_EQ( positions.size(), fins[s].degrees.size() );
                    for( const auto position : positions )
                    {
                        EXPECT_EQ( sorted.surfaces[position],
                            ( SidedSurface{ built.surfaces[s], side } ) );
                    }
                }
            }
        }
    }

    TEST( SurfaceRadialSort, LineWithoutSurfacesOrEdges )
    {
        auto built = fin_model( {} );
        const auto sorted = surface_radial_sort( built.model, built.model.line( built.line ) );
        EXPECT_TRUE( sorted.surfaces.empty() );
        EXPECT_TRUE( sorted.find( { built.line, 0 } ).empty() );
        EXPECT_THROW( sorted.next( 0 ), OpenOrvaneException );
    }
} // namespace orvane
