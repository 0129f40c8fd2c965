#pragma once

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include <absl/container/flat_hash_set.h>
#include <absl/strings/str_cat.h>

#include <openorvane/basic/types.hpp>
#include <openorvane/geometry/basic_objects.hpp>
#include <openorvane/geometry/distance.hpp>
#include <openorvane/geometry/predicates.hpp>
#include <openorvane/geometry/mensuration.hpp>
#include <openorvane/mesh/tetrahedral_solid.hpp>

#include <common/cutter/find_and_cut_along_patch.hpp>
#include <common/cutter/solid_cut_along_path.hpp>
#include <common/cutter/solid_determine_cuts.hpp>
#include <common/cutter/solid_path_finder.hpp>
#include <common/modifier/tetrahedral_solid_modifier.hpp>
#include <common/modifier/tetrahedron_preview.hpp>

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

    /// Puts a triangle's corners into a solid with the modifier's splits and
    /// its sides with the solid path cutter, so that the corners are solid
    /// vertices and the sides chains of solid edges. Returns nothing when a
    /// split would make a non-positive tetrahedron or a side cannot be cut.
    class PatchBoundaryInserter
    {
    public:
        PatchBoundaryInserter(
            const TetrahedralSolid< 3 >& solid, TetrahedralSolidModifier& modifier )
            : solid_( solid ), modifier_( modifier )
        {
        }

        std::optional< index_t > insert_point( const Point< 3 >& point )
        {
            for( index_t t = 0; t < solid_.nb_polyhedra(); t++ )
            {
                if( !modifier_.is_polyhedron_active( t ) )
                {
                    continue;
                }
                for( const auto v : solid_.polyhedron_vertices( t ) )
                {
                    if( solid_.point( v ).inexact_equal( point ) )
                    {
                        return v;
                    }
                }
                std::array< SIDE, 4 > sides;
                bool outside{ false };
                for( const local_index_t f : { 0, 1, 2, 3 } )
                {
                    const auto facet = solid_.polyhedron_facet_vertices( { t, f } );
                    sides[f] = tetrahedron_volume_sign(
                        Tetrahedron{ solid_.point( facet[0] ), solid_.point( facet[1] ),
                            solid_.point( facet[2] ), point } );
                    outside = outside || sides[f] == SIDE::negative;
                }
                if( outside )
                {
                    continue;
                }
                const auto nb_zero = std::count( sides.begin(), sides.end(), SIDE::zero );
                if( nb_zero == 0 )
                {
                    return modifier_.split_tetrahedron( t, point ).new_vertex;
                }
                if( nb_zero == 1 )
                {
                    const PolyhedronFacet facet{ t,
                        static_cast< local_index_t >(
                            std::find( sides.begin(), sides.end(), SIDE::zero )
                            - sides.begin() ) };
                    if( !detail::are_tetrahedra_positive(
                            tetrahedra_after_split_facet( solid_, facet, point ) ) )
                    {
                        return std::nullopt;
                    }
                    return modifier_.split_facet( facet, point ).new_vertex;
                }
                // On an edge: it joins the vertices whose opposite facets do
                // not hold the point.
                absl::InlinedVector< index_t, 2 > ends;
                for( const local_index_t f : { 0, 1, 2, 3 } )
                {
                    if( sides[f] != SIDE::zero )
                    {
                        ends.push_back( solid_.polyhedron_vertex( { t, f } ) );
                    }
                }
                if( ends.size() != 2 )
                {
                    return std::nullopt;
                }
                const auto edge =
                    solid_.polyhedron_facet_edge_from_vertices( { ends[0], ends[1] } );
                if( !edge || !is_split_edge_valid( solid_, *edge, point ) )
                {
                    return std::nullopt;
                }
                return modifier_.split_edge( *edge, point ).new_vertex;
            }
            return std::nullopt;
        }

        /// The chain of solid vertices from `from` to `to` made by the solid
        /// path cutter along the straight segment; nothing when no path is
        /// found or the cutter refuses a cut.
        std::optional< std::vector< index_t > > insert_segment(
            index_t from, index_t to )
        {
            const auto path = SolidPathFinder{ solid_, from, to }.find_path();
            if( !path )
            {
                return std::nullopt;
            }
            const auto cuts = determine_segment_cuts( solid_, *path );
            try
            {
                const auto result =
                    CutAlongPath3D{ solid_, modifier_, cuts }.cut_along_path();
                std::vector< index_t > chain;
                for( const auto& entry : result.cut_vertices )
                {
                    chain.push_back( entry.element );
                }
                return chain;
            }
            catch( const CutPathException& )
            {
                return std::nullopt;
            }
        }

    private:
        const TetrahedralSolid< 3 >& solid_;
        TetrahedralSolidModifier& modifier_;
    };

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
