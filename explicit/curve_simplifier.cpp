#include <explicit/curve_simplifier.hpp>

#include <deque>

#include <openorvane/mesh/edged_curve.hpp>

#include <common/modifier/edged_curve_modifier.hpp>

#include <explicit/background_provenance.hpp>
#include <explicit/extracted_meshes.hpp>

namespace orvane
{
    namespace internal
    {
        namespace
        {
            void collapse_edges( const BackgroundProvenance& provenance,
                ExtractedCurve& curve,
                EdgedCurveModifier< 3 >& modifier )
            {
                const auto& mesh = *curve.mesh;
                std::deque< index_t > queue;
                for( index_t e = 0; e < mesh.nb_edges(); ++e )
                {
                    if( !modifier.is_edge_active( e ) )
                    {
                        continue;
                    }
                    const auto fixed =
                        CurveSimplifier::fixed_ends( provenance, curve, e );
                    if( !fixed[0] || !fixed[1] )
                    {
                        queue.push_back( e );
                    }
                }
                while( !queue.empty() )
                {
                    const auto edge = queue.front();
                    queue.pop_front();
                    if( !modifier.is_edge_active( edge ) )
                    {
                        continue;
                    }
                    const auto fixed =
                        CurveSimplifier::fixed_ends( provenance, curve, edge );
                    if( fixed[0] && fixed[1] )
                    {
                        continue;
                    }
                    const local_index_t kept_end = fixed[0] ? 1 : 0;
                    const auto kept = mesh.edge_vertex( { edge, kept_end } );
                    const auto origin = curve.vertex_origin->value( kept );
                    auto components = curve.component_vertices->value( kept );
                    // A copy: the collapse appends a vertex, which may move
                    // the stored points.
                    const auto position = mesh.point( kept );
                    const auto info = modifier.collapse_edge( edge, position );
                    curve.vertex_origin->set_value( info.new_vertex, origin );
                    curve.component_vertices->set_value(
                        info.new_vertex, std::move( components ) );
                    curve.vertex_map.at( origin ) = info.new_vertex;
                }
            }

            void clean( ExtractedCurve& curve, EdgedCurveModifier< 3 >& modifier )
            {
                modifier.delete_inactive_edges();
                const auto old2new = curve.builder->delete_isolated_vertices();
                modifier.clear_vertex_map();
                detail::renumber_vertex_map( curve.vertex_map, old2new );
            }
        } // namespace

        std::array< bool, 2 > CurveSimplifier::fixed_ends(
            const BackgroundProvenance& provenance,
            const ExtractedCurve& curve,
            index_t edge )
        {
            const auto& mesh = *curve.mesh;
            std::array< bool, 2 > fixed{ false, false };
            for( const local_index_t i : { 0, 1 } )
            {
                const auto moved = mesh.edge_vertex( { edge, static_cast< local_index_t >( 1 - i ) } );
                const auto kept = mesh.edge_vertex( { edge, i } );
                const auto moved_origin = curve.vertex_origin->value( moved );
                fixed[i] =
                    !provenance.init_vertex_ids( moved_origin ).empty()
                    || mesh.edges_around_vertex( moved ).size() == 1
                    || !provenance.is_provenance_included(
                        moved_origin, curve.vertex_origin->value( kept ) );
            }
            return fixed;
        }

        void CurveSimplifier::apply(
            const BackgroundProvenance& provenance, ExtractedCurve& curve )
        {
            EdgedCurveModifier< 3 > modifier{ *curve.mesh, *curve.builder };
            try
            {
                collapse_edges( provenance, curve, modifier );
            }
            catch( ... )
            {
                clean( curve, modifier );
                throw;
            }
            clean( curve, modifier );
        }

        void CurveSimplifier::apply(
            MeshesExtracterfromBackgroundSolid& extracter, ExtractedCurve& curve )
        {
            apply( extracter.provenance(), curve );
        }
    } // namespace internal
} // namespace orvane
