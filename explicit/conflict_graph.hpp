#pragma once

#include <memory>

#include <absl/types/span.h>

#include <openorvane/basic/variable_attribute.hpp>
#include <openorvane/mesh/graph.hpp>
#include <openorvane/model/component.hpp>

#include <explicit/modeler_meshes.hpp>
#include <explicit/problematic_elements.hpp>

namespace orvane
{
    namespace internal
    {
        /// A graph whose vertices are elements of the current meshes
        /// ("Surface" polygons, "Line" edges, "Corner" vertices, named by
        /// mesh uuid and index) and whose edges join conflicting elements.
        /// An element has a vertex exactly when its table entry is not
        /// NO_ID; no two edges join the same pair.
        class ConflictGraph
        {
        public:
            explicit ConflictGraph( const ModelerMeshes& meshes );
            ~ConflictGraph();

            /// The element's graph vertex, or NO_ID.
            index_t element_vertex( const ComponentMeshElement& element ) const;

            index_t find_or_create_vertex( const ComponentMeshElement& element );

            void add_conflict(
                const ComponentMeshElement& first, const ComponentMeshElement& second );

            /// Carries the other graph's edges over; true when the other
            /// graph had at least one vertex.
            bool merge( const ConflictGraph& other );

            /// The elements of the listed vertices, per kind and mesh uuid,
            /// in list order.
            ProblematicElements component_elements(
                absl::Span< const index_t > vertices ) const;

            const Graph& graph() const
            {
                return *graph_;
            }

            const ComponentMeshElement& element( index_t vertex ) const
            {
                return cme_->value( vertex );
            }

        private:
            std::vector< index_t >& table( const ComponentMeshElement& element );

        private:
            ProblematicElements element_vertices_;
            std::unique_ptr< Graph > graph_;
            std::unique_ptr< GraphBuilder > builder_;
            std::shared_ptr< VariableAttribute< ComponentMeshElement > > cme_;
        };
    } // namespace internal
} // namespace orvane
