#pragma once

#include <memory>
#include <optional>
#include <vector>

#include <openorvane/basic/types.hpp>
#include <openorvane/mesh/mesh_records.hpp>

#include <background/background_solid_edit_context.hpp>
#include <background/internal_distance_problem.hpp>
#include <background/orchestrator.hpp>

// The queue of tetrahedra behind the repair passes of a background solid.
// Each popped tetrahedron is first tested (`is_tetrahedron_valid`, which
// also records its problems); a tetrahedron without problem, or no longer
// active, is dropped. Otherwise the fixes of the kind of its first problem
// are tried in order; the first that edits the solid ends the step, and every
// tetrahedron around the vertices of the edit's tetrahedra is queued again.

namespace orvane
{
    namespace internal
    {
        class BackgroundSolid;

        /// A work queue over the elements of a mesh, read through an edit
        /// context.
        template < typename Mesh, typename Element >
        class BackgroundOrchestrator : public Orchestrator< Element >
        {
        public:
            explicit BackgroundOrchestrator( BackgroundSolidEditContext& context )
                : context_( context )
            {
            }

        protected:
            [[nodiscard]] BackgroundSolidEditContext& context()
            {
                return context_;
            }

        private:
            BackgroundSolidEditContext& context_;
        };

        /// A work queue of tetrahedra of a background solid, edited through
        /// the driver's edit-context handle.
        class BackgroundSolidOrchestrator
            : public BackgroundOrchestrator< BackgroundSolid, unsigned int >
        {
        public:
            explicit BackgroundSolidOrchestrator(
                std::unique_ptr< BackgroundSolidEditContext >& context );
            ~BackgroundSolidOrchestrator() override;

        protected:
            [[nodiscard]] BackgroundSolidEditContext& edit_context();

            // The edits of the edit context; in a retry step they also track
            // the edge or facet that they remove, so that no later edit of
            // the run brings it back.
            std::vector< index_t > swap_edge_and_track(
                const PolyhedronFacetEdge& edge, index_t apex );
            std::vector< index_t > swap_facet_and_track(
                const PolyhedronFacet& facet );
            BackgroundSolidVertexEdit split_edge_at_vertex_and_track(
                const PolyhedronFacetEdge& edge, index_t vertex );
            BackgroundSolidVertexEdit split_facet_at_vertex_and_track(
                const PolyhedronFacet& facet, index_t vertex );

        private:
            /// Drops a tetrahedron that is no longer active or that has no
            /// problem; is_tetrahedron_valid records the problems of the one
            /// about to be processed.
            bool skip_element( const Entry& entry ) override;

            virtual bool is_tetrahedron_valid( index_t tetrahedron ) = 0;

        private:
            class Impl;
            std::unique_ptr< Impl > impl_;
        };

        /// Processes a queued tetrahedron by the fixes of the kind of its
        /// first problem.
        class BackgroundSolidInternalDistanceOptimizer
            : public BackgroundSolidOrchestrator
        {
        public:
            explicit BackgroundSolidInternalDistanceOptimizer(
                std::unique_ptr< BackgroundSolidEditContext >& context );
            ~BackgroundSolidInternalDistanceOptimizer() override;

            using FixResult = std::optional< Result >;

        protected:
            /// The problems that the last is_tetrahedron_valid found.
            [[nodiscard]] InternalDistanceProblems& candidates()
            {
                return candidates_;
            }

            /// A successful fix whose edit made or modified the tetrahedra.
            [[nodiscard]] static Result fixed( std::vector< index_t > tetrahedra );

        private:
            Result process_element( const Entry& entry ) override;

            // Each fix returns nothing when it does not apply, else the
            // result of its edit, `created` listing the tetrahedra the edit
            // made or modified.
            virtual FixResult fix_short_edge(
                index_t tetrahedron, const InternalDistanceProblem& problem ) = 0;
            virtual FixResult fix_vertex_triple_adjacency(
                index_t tetrahedron, const InternalDistanceProblem& problem ) = 0;
            virtual FixResult fix_edge_double_adjacency(
                index_t tetrahedron, const InternalDistanceProblem& problem ) = 0;
            virtual FixResult fix_vertex_near_edge(
                index_t tetrahedron, const InternalDistanceProblem& problem ) = 0;
            virtual FixResult fix_vertex_near_facet(
                index_t tetrahedron, const InternalDistanceProblem& problem ) = 0;
            virtual FixResult fix_edge_near_edge(
                index_t tetrahedron, const InternalDistanceProblem& problem ) = 0;

            /// The result of a tetrahedron that no fix helped: not done, the
            /// tetrahedron itself touched, so that it waits for a retry step.
            virtual Result unfixed_result( index_t tetrahedron );

            FixResult fix( index_t tetrahedron, const InternalDistanceProblem& problem );

        private:
            InternalDistanceProblems candidates_;
        };
    } // namespace internal
} // namespace orvane
