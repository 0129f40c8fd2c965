#include <optional>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include <openorvane/geometry/basic_objects.hpp>
#include <openorvane/mesh/triangulated_surface.hpp>
#include <openorvane/model/brep_builder.hpp>
#include <openorvane/model/model_component_mesh_edges.hpp>
#include <openorvane/model/model_component_mesh_polygons.hpp>

#include <common/modifier/brep_geometric_modifier.hpp>
#include <common/modifier/brep_geometric_modifier_previews.hpp>
#include <common/modifier/common_modifier_model_library.hpp>

#include <tests/support/brep_checks.hpp>
#include <tests/support/brep_fixtures.hpp>
#include <tests/support/brep_modifier_checks.hpp>

namespace
{
    using namespace orvane;

    /// Random edits of a model, each previewed first, with the conformity
    /// check after every edit and the full model check after clean-up.
    class RandomEdits
    {
    public:
        RandomEdits( BRep& model, unsigned int seed )
            : model_( model ), builder_( model ), modifier_( model, builder_ ), random_( seed )
        {
        }

        /// Runs `nb_edits` attempts; returns the number of edits made.
        index_t run( index_t nb_edits )
        {
            index_t nb_done{ 0 };
            for( index_t attempt = 0; attempt < nb_edits; attempt++ )
            {
                const auto done = edit_once();
                if( !done )
                {
                    continue;
                }
                nb_done++;
                const auto conformal = test::is_conformal_brep( model_ );
                EXPECT_TRUE( conformal ) << "after " << done << " (attempt " << attempt << ")";
                if( !conformal )
                {
                    break;
                }
            }
            modifier_.clean();
            return nb_done;
        }

    private:
        /// The name of the edit made, or nullptr when none was.
        const char* edit_once()
        {
            const auto* surface = random_surface();
            if( surface == nullptr )
            {
                return nullptr;
            }
            const auto polygon_edge = random_polygon_edge( *surface );
            if( !polygon_edge )
            {
                return nullptr;
            }
            const auto& mesh = surface->mesh();
            const auto segment = mesh.segment( *polygon_edge );
            const auto middle = ( segment.vertices()[0] + segment.vertices()[1] ) / 2.;
            switch( std::uniform_int_distribution< int >{ 0, 3 }( random_ ) )
            {
            case 0: {
                const auto edges = component_mesh_edges( model_, *surface, *polygon_edge );
                if( !is_split_edge_valid( model_, edges, middle ) )
                {
                    return nullptr;
                }
                modifier_.split_edge( *surface, *polygon_edge, middle );
                return "edge split";
            }
            case 1: {
                const auto polygons =
                    component_mesh_polygons( model_, *surface, polygon_edge->polygon_id );
                const auto barycenter = mesh.polygon_barycenter( polygon_edge->polygon_id );
                if( !is_split_triangle_valid( model_, polygons, barycenter ) )
                {
                    return nullptr;
                }
                modifier_.split_triangle( polygons, barycenter );
                return "triangle split";
            }
            case 2: {
                const auto edges = component_mesh_edges( model_, *surface, *polygon_edge );
                if( !is_collapse_edge_valid( model_, edges, middle )
                    || !keeps_triangles_facing( edges, middle ) )
                {
                    return nullptr;
                }
                modifier_.collapse_edge( edges,
                    edge_unique_vertices( model_, *surface, *polygon_edge ), middle );
                return "collapse";
            }
            default: {
                if( !is_swap_edge_valid( model_, *surface, *polygon_edge )
                    || !swap_keeps_triangles_facing( *surface, *polygon_edge ) )
                {
                    return nullptr;
                }
                modifier_.swap_edge( *surface, *polygon_edge );
                return "swap";
            }
            }
        }

        const Surface< 3 >* random_surface()
        {
            const auto surfaces = model_.surfaces();
            if( surfaces.empty() )
            {
                return nullptr;
            }
            return &surfaces[std::uniform_int_distribution< index_t >{ 0, surfaces.size() - 1 }(
                random_ )];
        }

        std::optional< PolygonEdge > random_polygon_edge( const Surface< 3 >& surface )
        {
            auto& modifier = modifier_.surface_modifier( surface );
            std::vector< index_t > active;
            for( index_t p = 0; p < surface.mesh().nb_polygons(); p++ )
            {
                if( modifier.is_polygon_active( p ) )
                {
                    active.push_back( p );
                }
            }
            if( active.empty() )
            {
                return std::nullopt;
            }
            const auto polygon =
                active[std::uniform_int_distribution< std::size_t >{ 0, active.size() - 1 }(
                    random_ )];
            const auto edge =
                static_cast< local_index_t >( std::uniform_int_distribution< int >{ 0, 2 }( random_ ) );
            return PolygonEdge{ polygon, edge };
        }

        /// A quality filter of this test (the whole-model test does not judge
        /// surface triangles): every kept triangle keeps a clear area along
        /// the normal of the polygon it replaces.
        bool keeps_triangles_facing(
            const BRepComponentMeshEdges& edges, const Point< 3 >& point ) const
        {
            const auto kept = elements_after_collapse_edge( model_, edges, point );
            for( const auto& [id, previews] : kept.surfaces )
            {
                const auto& mesh =
                    dynamic_cast< const TriangulatedSurface< 3 >& >( model_.surface( id ).mesh() );
                for( const auto& preview : previews )
                {
                    if( !faces_like( preview.triangle, mesh.triangle( preview.polygon ) ) )
                    {
                        return false;
                    }
                }
            }
            return true;
        }

        bool swap_keeps_triangles_facing(
            const Surface< 3 >& surface, const PolygonEdge& edge ) const
        {
            const auto& mesh = dynamic_cast< const TriangulatedSurface< 3 >& >( surface.mesh() );
            const auto swapped = triangles_after_swap_edge( mesh, edge );
            const auto reference = mesh.triangle( edge.polygon_id );
            for( const auto& triangle : swapped.triangles )
            {
                if( !faces_like( triangle, reference ) )
                {
                    return false;
                }
            }
            return true;
        }

        static bool faces_like( const Triangle< 3 >& triangle, const Triangle< 3 >& reference )
        {
            const auto normal = []( const Triangle< 3 >& t ) {
                const Vector< 3 > u{ t.vertices()[0], t.vertices()[1] };
                const Vector< 3 > v{ t.vertices()[0], t.vertices()[2] };
                return u.cross( v );
            };
            const auto value = normal( triangle ).dot( normal( reference ) );
            return value > 1e-3 * normal( reference ).dot( normal( reference ) );
        }

        BRep& model_;
        BRepBuilder builder_;
        BRepGeometricModifier modifier_;
        std::mt19937 random_;
    };

    class BRepModifierRandomEdits : public ::testing::Test
    {
    protected:
        static void SetUpTestSuite()
        {
            CommonModifierModelLibrary::initialize();
        }
    };

    TEST_F( BRepModifierRandomEdits, strips_stay_conformal )
    {
        for( const unsigned int seed : { 1u, 7u, 42u, 2024u } )
        {
            SCOPED_TRACE( testing::Message() << "seed " << seed );
            BRep model;
            test::add_two_strips( model, Point< 3 >{ { 0, 0, 0 } } );
            const auto nb_done = RandomEdits{ model, seed }.run( 120 );
            EXPECT_GT( nb_done, 20 );
            EXPECT_TRUE( test::is_valid_brep( model, test::open_surfaces() ) );
        }
    }

    TEST_F( BRepModifierRandomEdits, block_model_stays_conformal )
    {
        for( const unsigned int seed : { 3u, 11u, 99u } )
        {
            SCOPED_TRACE( testing::Message() << "seed " << seed );
            auto fixture = test::tetrahedron_model();
            const auto nb_done = RandomEdits{ fixture.model, seed }.run( 120 );
            EXPECT_GT( nb_done, 20 );
            EXPECT_TRUE( test::is_valid_brep( fixture.model ) );
        }
    }
} // namespace
