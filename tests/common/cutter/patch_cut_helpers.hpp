#pragma once

#include <cmath>
#include <string>
#include <vector>

#include <absl/container/flat_hash_set.h>
#include <absl/strings/str_cat.h>

#include <openorvane/basic/types.hpp>
#include <openorvane/geometry/basic_objects.hpp>
#include <openorvane/geometry/distance.hpp>
#include <openorvane/geometry/mensuration.hpp>
#include <openorvane/mesh/tetrahedral_solid.hpp>

#include <common/cutter/find_and_cut_along_patch.hpp>
#include <common/modifier/tetrahedral_solid_modifier.hpp>

namespace orvane::test
{
    /// The boundary edges of the closed chain of solid vertices (the last
    /// vertex joined to the first); every consecutive pair must be an edge.
    inline std::vector< PatchBoundaryEdge > boundary_of(
        const TetrahedralSolid< 3 >& solid, const std::vector< index_t >& chain )
    {
        solid.enable_edges();
        std::vector< PatchBoundaryEdge > boundary;
        for( std::size_t i = 0; i < chain.size(); i++ )
        {
            const auto from = chain[i];
            const auto to = chain[( i + 1 ) % chain.size()];
            const auto edge = solid.edges().edge_from_vertices( { from, to } ).value();
            boundary.push_back( { edge, solid.edges().edge_vertices( edge )[0] == from } );
        }
        return boundary;
    }

    /// What is wrong with the patch of a cut: each patch facet must be a
    /// live facet lying within 1e-6 of the triangle, each listed once, and
    /// their areas must add up to the triangle's within 1e-9 relative.
    inline std::vector< std::string > patch_problems( const TetrahedralSolid< 3 >& solid,
        TetrahedralSolidModifier& modifier,
        const Triangle< 3 >& triangle,
        const CutAlongPatchResult& result )
    {
        std::vector< std::string > problems;
        double area{ 0. };
        absl::flat_hash_set< index_t > seen;
        for( const auto& entry : result.patch_facets )
        {
            if( !seen.insert( entry.element ).second )
            {
                problems.push_back( absl::StrCat( "facet ", entry.element, " twice" ) );
            }
            if( !modifier.is_facet_active( entry.element ) )
            {
                problems.push_back( absl::StrCat( "facet ", entry.element, " inactive" ) );
            }
            const auto& vertices = solid.facets().facet_vertices( entry.element );
            for( const auto v : vertices )
            {
                const auto distance =
                    std::get< 0 >( point_triangle_distance( solid.point( v ), triangle ) );
                if( distance > 1e-6 )
                {
                    problems.push_back( absl::StrCat( "facet ", entry.element,
                        " vertex ", v, " at ", distance, " from the triangle" ) );
                }
            }
            area += triangle_area( Triangle< 3 >{ solid.point( vertices[0] ),
                solid.point( vertices[1] ), solid.point( vertices[2] ) } );
        }
        const auto expected = triangle_area( triangle );
        if( std::abs( area - expected ) > 1e-9 * expected )
        {
            problems.push_back(
                absl::StrCat( "patch area ", area, " instead of ", expected ) );
        }
        return problems;
    }
} // namespace orvane::test
