#include <tests/support/solid_modifier_checks.hpp>

#include <algorithm>
#include <array>

#include <absl/container/flat_hash_map.h>
#include <absl/strings/str_cat.h>
#include <absl/strings/str_join.h>

#include <openorvane/basic/attribute_manager.hpp>
#include <openorvane/basic/variable_attribute.hpp>
#include <openorvane/geometry/mensuration.hpp>

#include <tests/support/solid_checks.hpp>

namespace
{
    constexpr const char* ACTIVE = "orvane_active";

    std::shared_ptr< orvane::VariableAttribute< bool > > flags(
        orvane::AttributeManager& manager )
    {
        return std::dynamic_pointer_cast< orvane::VariableAttribute< bool > >(
            manager.find_attribute_base( ACTIVE ) );
    }

    bool is_live( const orvane::TetrahedralSolid< 3 >& solid,
        const std::shared_ptr< orvane::VariableAttribute< bool > >& active,
        orvane::index_t tetrahedron )
    {
        static_cast< void >( solid );
        return !active || active->value( tetrahedron );
    }

    std::array< orvane::index_t, 3 > sorted(
        const orvane::PolyhedronFacetVertices& vertices )
    {
        std::array< orvane::index_t, 3 > result{ vertices[0], vertices[1],
            vertices[2] };
        std::sort( result.begin(), result.end() );
        return result;
    }
} // namespace

namespace orvane
{
    namespace test
    {
        std::vector< std::string > modified_solid_problems(
            const TetrahedralSolid< 3 >& solid )
        {
            SolidCheckOptions options;
            options.skip_inactive = true;
            auto problems = tetrahedral_solid_problems( solid, options );
            const auto active = flags( solid.polyhedron_attribute_manager() );

            absl::flat_hash_map< std::array< index_t, 3 >, index_t > uses;
            for( index_t t = 0; t < solid.nb_polyhedra(); t++ )
            {
                if( !is_live( solid, active, t ) )
                {
                    continue;
                }
                for( local_index_t f = 0; f < 4; f++ )
                {
                    uses[sorted( solid.polyhedron_facet_vertices( { t, f } ) )]++;
                }
            }
            std::vector< std::array< index_t, 3 > > crowded;
            for( const auto& [facet, count] : uses )
            {
                if( count > 2 )
                {
                    crowded.push_back( facet );
                }
            }
            std::sort( crowded.begin(), crowded.end() );
            for( const auto& facet : crowded )
            {
                problems.push_back( absl::StrCat( "facet (",
                    absl::StrJoin( facet, ", " ), ") is used by ",
                    uses.at( facet ), " live tetrahedra" ) );
            }

            if( solid.are_facets_enabled() )
            {
                const auto& facets = solid.facets();
                if( const auto facet_flags =
                        flags( facets.facet_attribute_manager() ) )
                {
                    for( index_t facet = 0; facet < facets.nb_facets(); facet++ )
                    {
                        const auto& vertices = facets.facet_vertices( facet );
                        const auto used =
                            std::find( vertices.begin(), vertices.end(), NO_ID )
                                == vertices.end()
                            && uses.contains( sorted( vertices ) );
                        if( used != facet_flags->value( facet ) )
                        {
                            problems.push_back( absl::StrCat( "facet ", facet,
                                " (", absl::StrJoin( vertices, ", " ), ") is ",
                                facet_flags->value( facet ) ? "active" : "inactive",
                                " but ", used ? "used" : "unused",
                                " by live tetrahedra" ) );
                        }
                    }
                }
            }
            return problems;
        }

        ::testing::AssertionResult is_valid_modified_solid(
            const TetrahedralSolid< 3 >& solid )
        {
            const auto problems = modified_solid_problems( solid );
            if( problems.empty() )
            {
                return ::testing::AssertionSuccess();
            }
            auto result = ::testing::AssertionFailure();
            result << problems.size() << " problem(s):";
            for( std::size_t i = 0; i < std::min< std::size_t >( problems.size(), 20 );
                 i++ )
            {
                result << "\n  " << problems[i];
            }
            return result;
        }

        index_t nb_live_tetrahedra( const TetrahedralSolid< 3 >& solid )
        {
            const auto active = flags( solid.polyhedron_attribute_manager() );
            index_t count{ 0 };
            for( index_t t = 0; t < solid.nb_polyhedra(); t++ )
            {
                count += is_live( solid, active, t ) ? 1 : 0;
            }
            return count;
        }

        double live_volume( const TetrahedralSolid< 3 >& solid )
        {
            const auto active = flags( solid.polyhedron_attribute_manager() );
            double volume{ 0 };
            for( index_t t = 0; t < solid.nb_polyhedra(); t++ )
            {
                if( is_live( solid, active, t ) )
                {
                    volume += tetrahedron_signed_volume( solid.tetrahedron( t ) );
                }
            }
            return volume;
        }
    } // namespace test
} // namespace orvane
