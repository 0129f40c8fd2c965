#pragma once

#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

#include <absl/container/flat_hash_map.h>
#include <absl/container/inlined_vector.h>
#include <absl/types/span.h>

#include <openorvane/basic/types.hpp>
#include <openorvane/basic/uuid.hpp>
#include <openorvane/geometry/point.hpp>
#include <openorvane/mesh/edged_curve.hpp>
#include <openorvane/mesh/triangulated_surface_builder.hpp>
#include <openorvane/model/component.hpp>
#include <openorvane/model/model_component_mesh_edges.hpp>

#include <common/modifier/edged_curve_modifier.hpp>
#include <common/modifier/triangulated_surface_modifier.hpp>

namespace orvane
{
    class BRep;
    class BRepBuilder;
    template < index_t dimension >
    class Line;
    template < index_t dimension >
    class Surface;

    /// Component uuid to the results of the edits made in that component,
    /// in edit order. A component is present only when at least one of its
    /// elements was edited.
    template < typename Result, std::size_t inline_size = 1 >
    using ComponentEditResults =
        absl::flat_hash_map< uuid, absl::InlinedVector< Result, inline_size > >;

    /// Component uuid to an old-to-new index vector (NO_ID for a deleted
    /// index).
    using ComponentOldToNew = absl::flat_hash_map< uuid, std::vector< index_t > >;

    namespace internal
    {
        template < typename Model >
        class ModelGeometricModifier;

        /// The line and surface halves of the model-wide edits of a BRep,
        /// with the builders and modifiers of the component meshes they
        /// touch.
        ///
        /// Builders and modifiers are created on first use, one per
        /// component, and kept until this object is destroyed; their
        /// destruction removes the "orvane_active" flags from the meshes.
        /// Every edit that creates or merges component vertices keeps the
        /// model's unique-vertex table in step.
        ///
        /// Used by one thread at a time: the stores are not synchronised.
        /// Only the clean-up batches run work on the thread pool, and they
        /// create every builder and modifier they need on the calling thread
        /// before any task starts.
        template <>
        class ModelGeometricModifier< BRep >
        {
        public:
            ModelGeometricModifier( BRep& model, BRepBuilder& builder );
            ModelGeometricModifier( const ModelGeometricModifier& ) = delete;
            ModelGeometricModifier& operator=(
                const ModelGeometricModifier& ) = delete;
            virtual ~ModelGeometricModifier();

            /// The modifier of the line's mesh, created with its builder on
            /// first use. Throws OpenOrvaneException when the mesh-modifier
            /// factory has no modifier of the right class for the mesh.
            EdgedCurveModifier< 3 >& line_modifier( const Line< 3 >& line );

            /// The modifier of the surface's mesh, created with its builder
            /// on first use (same failures as line_modifier, plus those of
            /// the builder creation).
            TriangulatedSurfaceModifier< 3 >& surface_modifier(
                const Surface< 3 >& surface );

            /// The point of the vertex in its component's mesh. Component
            /// types other than "Surface" and "Line" are read as corners.
            virtual const Point< 3 >& component_vertex_point(
                const ComponentMeshVertex& component_vertex );

            /// Moves the vertex in its component's mesh: through the
            /// component's modifier for lines and surfaces, directly for
            /// corners; other types are left alone here.
            virtual void move_component_vertex(
                const ComponentMeshVertex& component_vertex,
                const Point< 3 >& point );

            /// Moves every component vertex of the unique vertex to the
            /// point. The unique-vertex table is not changed.
            void move_unique_vertex(
                index_t unique_vertex, const Point< 3 >& point );

            /// Splits every active listed line edge at the point and links
            /// each new line vertex to the new unique vertex.
            void split_line_edges(
                const absl::flat_hash_map< uuid, LineEdges >& lines,
                const Point< 3 >& point,
                index_t new_unique_vertex,
                ComponentEditResults< index_t, 4 >& output );

            /// Splits every listed polygon edge whose polygon is still active
            /// and links each new surface vertex to the new unique vertex.
            void split_surface_edges(
                const absl::flat_hash_map< uuid, SurfacePolygonEdges >& surfaces,
                const Point< 3 >& point,
                index_t new_unique_vertex,
                ComponentEditResults< SurfaceSplitEdgeInfo >& output );

            /// Splits every active listed polygon at the point and links
            /// each new surface vertex to the new unique vertex.
            void split_surface_triangles(
                const absl::flat_hash_map< uuid, absl::InlinedVector< index_t, 1 > >&
                    surfaces,
                const Point< 3 >& point,
                index_t new_unique_vertex,
                ComponentEditResults< SurfaceSplitTriangleInfo >& output );

            /// Swaps the edge in the surface when its polygon is active. No
            /// unique vertex changes.
            void swap_surface_edge( const Surface< 3 >& surface,
                const PolygonEdge& edge,
                ComponentEditResults< SurfaceSwapEdgeInfo >& output );

            /// Collapses every active listed line edge at the point: the new
            /// line vertex is linked to the new unique vertex and the merged
            /// ones are unlinked.
            void collapse_line_edges(
                const absl::flat_hash_map< uuid, LineEdges >& lines,
                const Point< 3 >& point,
                index_t new_unique_vertex,
                ComponentEditResults< EdgedCurveCollapseEdgeInfo >& output );

            /// The same for the listed polygon edges of surfaces.
            void collapse_surface_edges(
                const absl::flat_hash_map< uuid, SurfacePolygonEdges >& surfaces,
                const Point< 3 >& point,
                index_t new_unique_vertex,
                ComponentEditResults< SurfaceCollapsePolygonEdgeInfo >& output );

            /// Ties the vertex made by a collapse in the component to the new
            /// unique vertex and unlinks the vertices it merged.
            void relink_collapsed_vertices( const ComponentID& component,
                index_t new_vertex,
                absl::Span< const index_t > merged_vertices,
                index_t new_unique_vertex );

            /// Clean-up batches: one pool task per component that needs the
            /// deletion, results taken in the model's component order. When
            /// tasks fail, the results of all the others are still taken
            /// (and the unique-vertex table updated for them) before the
            /// first failure, in component order, is rethrown.
            ComponentOldToNew delete_inactive_line_edges();
            ComponentOldToNew delete_inactive_surface_polygons();
            ComponentOldToNew delete_isolated_line_vertices();
            ComponentOldToNew delete_isolated_surface_vertices();

        protected:
            /// One job of a clean-up batch: the component and the deletion to
            /// run on the pool. The job must reach only its own component's
            /// mesh, builder and modifier, through pointers taken on the
            /// calling thread.
            struct CleanJob
            {
                uuid component;
                std::function< std::vector< index_t >() > run;
            };

            /// What a clean-up batch does, on the calling thread, with each
            /// successful result of a component.
            using CleanFollowUp =
                std::function< void( const uuid&, const std::vector< index_t >& ) >;

            /// Runs the jobs as pool tasks and joins them all. Then, in job
            /// order, hands every successful result to `follow_up` (on the
            /// calling thread) and stores it in the returned map; finally
            /// rethrows the first failure, if any.
            static ComponentOldToNew run_clean_batch(
                std::vector< CleanJob > jobs, const CleanFollowUp& follow_up );

            /// The job deleting the isolated vertices of a component mesh
            /// through its builder. The modifier's vertex map names vertices
            /// of the old numbering afterwards, so it is cleared.
            template < typename Builder, typename Modifier >
            static CleanJob isolated_vertices_job(
                const uuid& component, Builder& builder, Modifier& modifier )
            {
                return { component, [builder = &builder, modifier = &modifier] {
                            auto old2new = builder->delete_isolated_vertices();
                            modifier->clear_vertex_map();
                            return old2new;
                        } };
            }

            /// The follow-up renumbering the unique-vertex links of the
            /// cleaned components of the given type.
            CleanFollowUp unique_vertex_update( ComponentType type );

        protected:
            BRep& model_;
            BRepBuilder& builder_;
            absl::flat_hash_map< uuid, std::unique_ptr< EdgedCurveBuilder< 3 > > >
                line_builders_;
            absl::flat_hash_map< uuid, std::unique_ptr< EdgedCurveModifier< 3 > > >
                line_modifiers_;
            absl::flat_hash_map< uuid,
                std::unique_ptr< TriangulatedSurfaceBuilder< 3 > > >
                surface_builders_;
            absl::flat_hash_map< uuid,
                std::unique_ptr< TriangulatedSurfaceModifier< 3 > > >
                surface_modifiers_;
        };
    } // namespace internal

    namespace detail
    {
        /// Whether some index in [0, count) satisfies the predicate.
        template < typename Predicate >
        bool any_index( index_t count, const Predicate& predicate )
        {
            for( index_t i = 0; i < count; i++ )
            {
                if( predicate( i ) )
                {
                    return true;
                }
            }
            return false;
        }

        /// Whether the mesh has a vertex that no element uses.
        template < typename Mesh >
        bool has_isolated_vertex( const Mesh& mesh )
        {
            return any_index( mesh.nb_vertices(),
                [&mesh]( index_t v ) { return mesh.is_vertex_isolated( v ); } );
        }

        /// The keys of a uuid-keyed map in increasing order: the fixed order
        /// in which the model-wide edits visit components.
        template < typename Map >
        std::vector< uuid > sorted_component_ids( const Map& map )
        {
            std::vector< uuid > ids;
            ids.reserve( map.size() );
            for( const auto& entry : map )
            {
                ids.push_back( entry.first );
            }
            std::sort( ids.begin(), ids.end() );
            return ids;
        }
    } // namespace detail
} // namespace orvane
