#pragma once

#include <memory>
#include <vector>

#include <openorvane/geometry/point.hpp>
#include <openorvane/geometry/predicates.hpp>
#include <openorvane/mesh/tetrahedral_solid.hpp>

#include <background/background_solid.hpp>
#include <background/background_solid_edit_context.hpp>
#include <background/background_solid_modifier.hpp>
#include <background/internal_distance_problem.hpp>

#include <tests/background/background_fixtures.hpp>

namespace orvane::test
{
    /// A background solid with the builder, modifier and edit context that
    /// the repair passes use.
    struct RepairedSolid
    {
        explicit RepairedSolid( std::unique_ptr< internal::BackgroundSolid > solid_in,
            internal::BackgroundSolidTrackedElements tracked = {} )
            : solid( std::move( solid_in ) ),
              builder( std::make_unique< internal::BackgroundSolidBuilder >( *solid ) ),
              modifier( std::make_unique< internal::BackgroundSolidModifier >(
                  *solid, *builder ) ),
              context( internal::make_edit_context(
                  *solid, *modifier, *builder, std::move( tracked ) ) )
        {
        }

        [[nodiscard]] bool is_active( index_t tetrahedron ) const
        {
            return modifier->is_polyhedron_active( tetrahedron );
        }

        [[nodiscard]] std::vector< index_t > active_tetrahedra() const
        {
            std::vector< index_t > result;
            for( index_t t = 0; t < solid->nb_polyhedra(); t++ )
            {
                if( is_active( t ) )
                {
                    result.push_back( t );
                }
            }
            return result;
        }

        std::unique_ptr< internal::BackgroundSolid > solid;
        std::unique_ptr< internal::BackgroundSolidBuilder > builder;
        std::unique_ptr< internal::BackgroundSolidModifier > modifier;
        std::unique_ptr< internal::BackgroundSolidEditContext > context;
    };

    /// The defects at the scale of 1e-6 that the epsilon pass removes, in
    /// its order: short edges, glued facets, vertices near edges or facets,
    /// opposite edges near each other.
    inline internal::InternalDistanceProblems epsilon_defects(
        const TetrahedralSolid< 3 >& solid, index_t tetrahedron )
    {
        internal::InternalDistanceProblems problems;
        const auto geometry = solid.tetrahedron( tetrahedron );
        internal::find_short_edges( geometry, GLOBAL_EPSILON, problems );
        internal::find_vertex_triple_adjacencies( solid, tetrahedron, problems );
        internal::find_edge_double_adjacencies( solid, tetrahedron, problems );
        internal::find_vertices_near_edges( geometry, GLOBAL_EPSILON, problems );
        internal::find_vertices_near_facets( geometry, GLOBAL_EPSILON, problems );
        internal::find_edges_near_edges( geometry, GLOBAL_EPSILON, problems );
        return problems;
    }
} // namespace orvane::test
