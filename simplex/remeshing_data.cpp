#include <simplex/remeshing_data.hpp>

#include <openorvane/geometry/mensuration.hpp>
#include <openorvane/mesh/surface_mesh.hpp>

#include <simplex/metric/metric.hpp>

namespace
{
    constexpr double DEGENERACY_THRESHOLD = orvane::GLOBAL_EPSILON;
} // namespace

namespace orvane
{
    RemeshingData< BRep >::RemeshingData(
        BRep&& input_model, BRep& output_model, const Metric< 3 >& run_metric )
        : input( std::move( input_model ) ),
          input_builder( input ),
          input_modifier( input, input_builder ),
          output( &output_model ),
          output_builder( output_model ),
          output_modifier( output_model, output_builder ),
          metric( &run_metric )
    {
    }

    RemeshingData< BRep >::~RemeshingData() = default;

    namespace internal
    {
        uuid output_component_id(
            const RemeshingData< BRep >& data, const ComponentID& input_component )
        {
            return data.mappings.at( input_component.type() )
                .in2out( input_component.id() );
        }

        uuid input_component_id(
            const RemeshingData< BRep >& data, const ComponentID& output_component )
        {
            return data.mappings.at( output_component.type() )
                .out2in( output_component.id() );
        }

        bool has_degenerate_elements(
            const BRep& model, const ElementsAfterCollapseEdge& preview )
        {
            for( const auto& [surface_id, triangles] : preview.surfaces )
            {
                const auto& mesh = model.surface( surface_id ).mesh();
                for( const auto& entry : triangles )
                {
                    if( triangle_area( entry.triangle ) < DEGENERACY_THRESHOLD )
                    {
                        return true;
                    }
                    const auto normal = entry.triangle.normal();
                    if( !normal )
                    {
                        return true;
                    }
                    const auto old_normal = mesh.polygon_normal( entry.polygon );
                    if( !old_normal || normal->dot( *old_normal ) < 0 )
                    {
                        return true;
                    }
                }
            }
            for( const auto& [block_id, tetrahedra] : preview.blocks )
            {
                for( const auto& entry : tetrahedra )
                {
                    if( tetrahedron_volume( entry.tetrahedron ) < DEGENERACY_THRESHOLD )
                    {
                        return true;
                    }
                }
            }
            return false;
        }
    } // namespace internal
} // namespace orvane
