#pragma once

#include <openorvane/basic/mapping.hpp>
#include <openorvane/basic/uuid.hpp>
#include <openorvane/model/brep.hpp>
#include <openorvane/model/brep_builder.hpp>

#include <common/modifier/brep_geometric_modifier.hpp>
#include <common/modifier/brep_geometric_modifier_previews.hpp>

namespace orvane
{
    template < index_t dimension >
    class Metric;

    template < typename Model >
    class RemeshingData;

    /// The working state of one whole-model remeshing run: the input model
    /// (owned, and edited by the run), the output model being filled, their
    /// builders and geometric modifiers, the input-to-output component
    /// mapping and the metric.
    ///
    /// Built once per run and used in place by one stage at a time; it
    /// holds no lock. Members are destroyed in reverse order: the mapping,
    /// the output modifier, then the input modifier and the input model.
    /// The output model is not owned and never touched by the destructor.
    template <>
    class RemeshingData< BRep >
    {
    public:
        /// Moves the input in and keeps the addresses of the output model
        /// and of the metric, which must outlive this object.
        RemeshingData( BRep&& input_model, BRep& output_model, const Metric< 3 >& run_metric );
        ~RemeshingData();

        RemeshingData( const RemeshingData& ) = delete;
        RemeshingData& operator=( const RemeshingData& ) = delete;

        BRep input;
        BRepBuilder input_builder;
        BRepGeometricModifier input_modifier;
        BRep* output;
        BRepBuilder output_builder;
        BRepGeometricModifier output_modifier;
        /// Per component type, input component uuid to output component
        /// uuid. Empty until prepare_remeshing.
        ModelMapping< BijectiveMapping< uuid, uuid > > mappings;
        const Metric< 3 >* metric;
    };

    namespace internal
    {
        /// The uuid of the output component of an input component. Throws
        /// std::out_of_range when the mapping holds neither its type nor its
        /// uuid.
        [[nodiscard]] uuid output_component_id(
            const RemeshingData< BRep >& data, const ComponentID& input_component );

        /// The uuid of the input component of an output component; same
        /// failure.
        [[nodiscard]] uuid input_component_id(
            const RemeshingData< BRep >& data, const ComponentID& output_component );

        /// Whether an edge-collapse preview holds a degenerate element: a
        /// triangle of area below 1e-6, a triangle whose normal or whose
        /// replaced polygon's normal is undefined, a triangle turned against
        /// the polygon it replaces, or a tetrahedron of volume below 1e-6.
        [[nodiscard]] bool has_degenerate_elements(
            const BRep& model, const ElementsAfterCollapseEdge& preview );
    } // namespace internal
} // namespace orvane
