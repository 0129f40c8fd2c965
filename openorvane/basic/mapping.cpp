#include <openorvane/basic/mapping.hpp>

namespace orvane
{
    namespace
    {
        /// Gives the image of b in a one-to-one mapping as a list of zero or
        /// one element, so both kinds of second mapping compose alike.
        absl::InlinedVector< uuid, 1 > outputs_list(
            const BijectiveMapping< uuid, uuid >& mapping, const uuid& in )
        {
            absl::InlinedVector< uuid, 1 > outputs;
            const auto found = mapping.in2out().find( in );
            if( found != mapping.in2out().end() )
            {
                outputs.push_back( found->second );
            }
            return outputs;
        }

        template < typename T >
        absl::InlinedVector< T, 1 > outputs_list(
            const GenericMapping< T, T >& mapping, const T& in )
        {
            const auto found = mapping.in2out().find( in );
            if( found == mapping.in2out().end() )
            {
                return {};
            }
            return found->second;
        }

        /// first: A -> B (one to many); second: B -> C (any kind), or none
        /// when the second mapping lacks this component type.
        template < typename T, typename Second >
        GenericMapping< T, T > compose(
            const GenericMapping< T, T >& first, const Second* second )
        {
            GenericMapping< T, T > result;
            result.reserve( first.size_in() );
            // Inputs in increasing order, so that the result's output-to-input
            // lists do not depend on hash-map iteration order.
            for( const auto& in : detail::sorted_keys( first.in2out() ) )
            {
                result.add_input( in );
                if( second == nullptr )
                {
                    continue;
                }
                // A handful of images per input: a linear scan keeps the
                // order of first appearance without a set.
                absl::InlinedVector< T, 1 > images;
                for( const auto& middle : first.in2out( in ) )
                {
                    for( const auto& out : outputs_list( *second, middle ) )
                    {
                        if( std::find( images.begin(), images.end(), out )
                            == images.end() )
                        {
                            images.push_back( out );
                            result.map( in, out );
                        }
                    }
                }
            }
            return result;
        }

        template < typename SecondMapping >
        ModelMapping< GenericMapping< uuid, uuid > > compose_model(
            const ModelMapping< GenericMapping< uuid, uuid > >& first,
            const ModelMapping< SecondMapping >& second )
        {
            ModelMapping< GenericMapping< uuid, uuid > > result;
            for( const auto& type : first.mapping_types() )
            {
                const SecondMapping* second_mapping =
                    second.has_mapping_type( type ) ? &second.at( type ) : nullptr;
                result.emplace( type, compose( first.at( type ), second_mapping ) );
            }
            return result;
        }

        void compose_elements( const MeshElementsMapping& first,
            const MeshElementsMapping& second,
            MeshElementsMapping& result )
        {
            result.corners = compose( first.corners, &second.corners );
            result.lines = compose( first.lines, &second.lines );
            result.surfaces = compose( first.surfaces, &second.surfaces );
        }
    } // namespace

    namespace detail
    {
        ModelMappings merge_mappings(
            const ModelMappings& first, const ModelMappings& second )
        {
            ModelMappings result;
            result.component_mapping =
                compose_model( first.component_mapping, second.component_mapping );
            compose_elements( first.mesh_elements_mapping,
                second.mesh_elements_mapping, result.mesh_elements_mapping );
            compose_elements( first.mesh_vertices_mapping,
                second.mesh_vertices_mapping, result.mesh_vertices_mapping );
            return result;
        }

        ModelMapping< GenericMapping< uuid, uuid > > merge_mappings(
            const ModelMapping< GenericMapping< uuid, uuid > >& first,
            const ModelMapping< BijectiveMapping< uuid, uuid > >& second )
        {
            return compose_model( first, second );
        }
    } // namespace detail
} // namespace orvane
