#pragma once

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <openorvane/basic/exception.hpp>
#include <openorvane/geometry/distance.hpp>
#include <openorvane/mesh/edges.hpp>
#include <openorvane/mesh/tetrahedral_solid.hpp>

#include <common/cutter/solid_cut_along_path.hpp>
#include <common/cutter/solid_determine_cuts.hpp>
#include <common/cutter/solid_path_finder.hpp>
#include <common/modifier/tetrahedral_solid_modifier.hpp>

#include <tests/support/solid_fixtures.hpp>

namespace orvane::test
{
    /// The message of the library exception `call` throws, "no exception"
    /// when it returns.
    inline std::string message_of( const std::function< void() >& call )
    {
        try
        {
            call();
        }
        catch( const OpenOrvaneException& exception )
        {
            return exception.what();
        }
        return "no exception";
    }

    /// A grid_tetrahedral_solid whose inner vertices are moved by up to
    /// `amplitude` of a cell along each axis (seeded), so that straight cuts
    /// meet facets and edges in general position.
    inline std::unique_ptr< TetrahedralSolid< 3 > > jittered_grid_solid(
        index_t nx, index_t ny, index_t nz, double amplitude, unsigned seed )
    {
        auto solid = grid_tetrahedral_solid( nx, ny, nz );
        auto builder = TetrahedralSolidBuilder< 3 >::create( *solid );
        std::mt19937 random{ seed };
        std::uniform_real_distribution< double > shift{ -amplitude, amplitude };
        for( index_t k = 1; k < nz; k++ )
        {
            for( index_t j = 1; j < ny; j++ )
            {
                for( index_t i = 1; i < nx; i++ )
                {
                    const auto vertex = i + ( nx + 1 ) * ( j + ( ny + 1 ) * k );
                    auto point = solid->point( vertex );
                    for( local_index_t c = 0; c < 3; c++ )
                    {
                        point.set_value( c, point.value( c ) + shift( random ) );
                    }
                    builder->set_point( vertex, point );
                }
            }
        }
        return solid;
    }

    /// A solid with its edge and facet tables, its builder and a modifier,
    /// as the callers of the path cutter hold them.
    struct CuttableSolid
    {
        explicit CuttableSolid( std::unique_ptr< TetrahedralSolid< 3 > > mesh )
            : solid( std::move( mesh ) )
        {
            solid->enable_edges();
            solid->enable_facets();
            builder = TetrahedralSolidBuilder< 3 >::create( *solid );
            modifier =
                std::make_unique< TetrahedralSolidModifier >( *solid, *builder );
        }

        CutAlongPathResult cut( const std::vector< SolidCut >& cuts )
        {
            CutAlongPath3D cutter{ *solid, *modifier, cuts };
            return cutter.cut_along_path();
        }

        std::unique_ptr< TetrahedralSolid< 3 > > solid;
        std::unique_ptr< TetrahedralSolidBuilder< 3 > > builder;
        std::unique_ptr< TetrahedralSolidModifier > modifier;
    };

    inline SolidCut vertex_cut( const TetrahedralSolid< 3 >& solid, index_t vertex )
    {
        return { SolidPathStep::vertex_step( vertex ), solid.point( vertex ) };
    }

    inline SolidCut facet_cut( const PolyhedronFacet& facet, const Point< 3 >& point )
    {
        return { { POSITION::inside, facet, NO_ID }, point };
    }

    /// The cut of the edge from `from` to `to` at the point, named through a
    /// facet edge of the solid.
    inline SolidCut edge_cut( const TetrahedralSolid< 3 >& solid,
        index_t from,
        index_t to,
        const Point< 3 >& point )
    {
        const auto edge = solid.polyhedron_facet_edge_from_vertices( { from, to } ).value();
        return { { detail::edge_position( edge.edge_id ), edge.polyhedron_facet,
                     NO_ID },
            point };
    }

    /// The chain of vertices that the path edges make, from `begin`, each
    /// edge taken in its stated direction; empty when they do not make one
    /// chain.
    inline std::vector< index_t > path_edge_chain( const TetrahedralSolid< 3 >& solid,
        const CutAlongPathResult& result,
        index_t begin )
    {
        std::vector< index_t > chain{ begin };
        for( const auto& path_edge : result.path_edges )
        {
            auto vertices = solid.edges().edge_vertices( path_edge.edge );
            if( !path_edge.same_direction )
            {
                std::swap( vertices[0], vertices[1] );
            }
            if( vertices[0] != chain.back() )
            {
                return {};
            }
            chain.push_back( vertices[1] );
        }
        return chain;
    }

    /// The vertex of each entry of cut_vertices.
    inline std::vector< index_t > cut_vertex_list( const CutAlongPathResult& result )
    {
        std::vector< index_t > vertices;
        for( const auto& entry : result.cut_vertices )
        {
            vertices.push_back( entry.element );
        }
        return vertices;
    }
} // namespace orvane::test
