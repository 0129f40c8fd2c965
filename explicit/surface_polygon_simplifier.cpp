#include <explicit/surface_polygon_simplifier.hpp>

#include <openorvane/basic/exception.hpp>

#include <common/modifier/triangulated_surface_modifier.hpp>

#include <explicit/extracted_meshes.hpp>
#include <explicit/surface_simplifier.hpp>

namespace orvane
{
    namespace internal
    {
        namespace
        {
            /// Cleans the patch when the simplification leaves, normally or
            /// by an exception, so that no inactive cell survives it, and
            /// renumbers the patch's map from background vertices.
            class CleanOnExit
            {
            public:
                CleanOnExit( TriangulatedSurfaceModifier< 3 >& modifier,
                    ExtractedSurface& patch )
                    : modifier_( modifier ), patch_( patch )
                {
                }
                CleanOnExit( const CleanOnExit& ) = delete;
                CleanOnExit& operator=( const CleanOnExit& ) = delete;

                ~CleanOnExit() noexcept( false )
                {
                    if( std::uncaught_exceptions() > exceptions_ )
                    {
                        try
                        {
                            clean();
                        }
                        catch( ... )
                        {
                            // The exception in flight is the one to report.
                        }
                        return;
                    }
                    clean();
                }

            private:
                void clean()
                {
                    const auto info = modifier_.clean();
                    detail::renumber_vertex_map( patch_.vertex_map, info.vertices );
                }

                TriangulatedSurfaceModifier< 3 >& modifier_;
                ExtractedSurface& patch_;
                int exceptions_{ std::uncaught_exceptions() };
            };
        } // namespace

        index_t SurfacePolygonSimplifier::simplify_patch(
            const BackgroundProvenance& provenance,
            ExtractedSurface& patch,
            index_t max_cycles )
        {
            TriangulatedSurfaceModifier< 3 > modifier{ *patch.mesh, *patch.builder };
            CleanOnExit clean{ modifier, patch };
            SurfaceSimplifier simplifier{ provenance, patch, modifier };
            index_t cycle{ 0 };
            bool changed{ true };
            while( cycle < max_cycles && changed )
            {
                ++cycle;
                simplifier.collect_collapsible_edges();
                changed = simplifier.collapse_edges();
                simplifier.remove_degenerate_polygons();
            }
            simplifier.swap_edges();
            // Reaching the limit is a failure only when the last cycle still
            // asked for another one: a patch that settles in the last
            // allowed cycle is simplified.
            if( changed )
            {
                throw OpenOrvaneException{ OpenOrvaneException::no_stack,
                    "[SurfacePolygonSimplifier::apply] Max safety count reached" };
            }
            return cycle;
        }

        void SurfacePolygonSimplifier::apply(
            const BackgroundProvenance& provenance, ExtractedMeshes& meshes )
        {
            for( const auto& surface : detail::sorted_keys( meshes.surfaces ) )
            {
                auto& patches = meshes.surfaces.at( surface );
                for( const auto polygon : detail::sorted_keys( patches ) )
                {
                    simplify_patch( provenance, patches.at( polygon ) );
                }
            }
        }

        void SurfacePolygonSimplifier::apply(
            MeshesExtracterfromBackgroundSolid& extracter )
        {
            apply( extracter.provenance(), extracter.extracted_meshes() );
        }
    } // namespace internal
} // namespace orvane
