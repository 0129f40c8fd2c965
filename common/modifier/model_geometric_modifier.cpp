#include <common/modifier/model_geometric_modifier.hpp>

#include <exception>
#include <typeinfo>
#include <utility>

#include <openorvane/basic/async.hpp>
#include <openorvane/basic/exception.hpp>
#include <openorvane/mesh/point_set.hpp>
#include <openorvane/model/brep.hpp>
#include <openorvane/model/brep_builder.hpp>

#include <common/modifier/mesh_modifier_factory.hpp>

namespace orvane
{
    namespace
    {
        /// Every surface mesh must be a triangulated surface: the surface
        /// modifiers work on nothing else.
        void check_triangulated_surface_meshes( const BRep& model )
        {
            for( const auto& surface : model.surfaces() )
            {
                if( dynamic_cast< const TriangulatedSurface< 3 >* >( &surface.mesh() )
                    == nullptr )
                {
                    throw OpenOrvaneException{ "[ModelGeometricModifier] Surface ",
                        surface.id().string(), " mesh is not a TriangulatedSurface" };
                }
            }
        }

        template < typename Store >
        auto& stored( Store& store, const uuid& id )
        {
            return *store.at( id );
        }
    } // namespace

    namespace internal
    {
        ModelGeometricModifier< BRep >::ModelGeometricModifier(
            BRep& model, BRepBuilder& builder )
            : model_( model ), builder_( builder )
        {
            line_builders_.reserve( model_.nb_lines() );
            line_modifiers_.reserve( model_.nb_lines() );
            surface_builders_.reserve( model_.nb_surfaces() );
            surface_modifiers_.reserve( model_.nb_surfaces() );
            check_triangulated_surface_meshes( model_ );
        }

        ModelGeometricModifier< BRep >::~ModelGeometricModifier()
        {
            // Modifiers go before the builders they were built on.
            surface_modifiers_.clear();
            surface_builders_.clear();
            line_modifiers_.clear();
            line_builders_.clear();
        }

        EdgedCurveModifier< 3 >& ModelGeometricModifier< BRep >::line_modifier(
            const Line< 3 >& line )
        {
            const auto& id = line.id();
            if( const auto found = line_modifiers_.find( id );
                found != line_modifiers_.end() )
            {
                return *found->second;
            }
            auto& line_builder = line_builders_[id];
            if( !line_builder )
            {
                line_builder = builder_.line_mesh_builder( id );
            }
            auto modifier = MeshModifierFactory::create< EdgedCurveModifier< 3 > >(
                line.mesh(), *line_builder );
            return *line_modifiers_.emplace( id, std::move( modifier ) )
                        .first->second;
        }

        TriangulatedSurfaceModifier< 3 >&
            ModelGeometricModifier< BRep >::surface_modifier(
                const Surface< 3 >& surface )
        {
            const auto& id = surface.id();
            if( const auto found = surface_modifiers_.find( id );
                found != surface_modifiers_.end() )
            {
                return *found->second;
            }
            if( !surface_builders_.contains( id ) )
            {
                auto& mesh = dynamic_cast< TriangulatedSurface< 3 >& >(
                    builder_.modifiable_surface( id ).get_modifiable_mesh() );
                surface_builders_.emplace(
                    id, TriangulatedSurfaceBuilder< 3 >::create( mesh ) );
            }
            auto modifier =
                MeshModifierFactory::create< TriangulatedSurfaceModifier< 3 > >(
                    surface.mesh(), *surface_builders_.at( id ) );
            return *surface_modifiers_.emplace( id, std::move( modifier ) )
                        .first->second;
        }

        const Point< 3 >& ModelGeometricModifier< BRep >::component_vertex_point(
            const ComponentMeshVertex& component_vertex )
        {
            const auto& type = component_vertex.component_id.type();
            const auto& id = component_vertex.component_id.id();
            if( type == Surface< 3 >::component_type_static() )
            {
                return model_.surface( id ).mesh().point( component_vertex.vertex );
            }
            if( type == Line< 3 >::component_type_static() )
            {
                return model_.line( id ).mesh().point( component_vertex.vertex );
            }
            return model_.corner( id ).mesh().point( component_vertex.vertex );
        }

        void ModelGeometricModifier< BRep >::move_component_vertex(
            const ComponentMeshVertex& component_vertex, const Point< 3 >& point )
        {
            const auto& type = component_vertex.component_id.type();
            const auto& id = component_vertex.component_id.id();
            if( type == Surface< 3 >::component_type_static() )
            {
                surface_modifier( model_.surface( id ) )
                    .move_vertex( component_vertex.vertex, point );
            }
            else if( type == Line< 3 >::component_type_static() )
            {
                line_modifier( model_.line( id ) )
                    .move_vertex( component_vertex.vertex, point );
            }
            else if( type == Corner< 3 >::component_type_static() )
            {
                builder_.corner_mesh_builder( id )->set_point(
                    component_vertex.vertex, point );
            }
        }

        void ModelGeometricModifier< BRep >::move_unique_vertex(
            index_t unique_vertex, const Point< 3 >& point )
        {
            // A copy: moving never relinks, but the list must not be read
            // through a reference while derived overrides run.
            const auto component_vertices =
                model_.component_mesh_vertices( unique_vertex );
            for( const auto& component_vertex : component_vertices )
            {
                move_component_vertex( component_vertex, point );
            }
        }

        void ModelGeometricModifier< BRep >::split_line_edges(
            const absl::flat_hash_map< uuid, LineEdges >& lines,
            const Point< 3 >& point,
            index_t new_unique_vertex,
            ComponentEditResults< index_t, 4 >& output )
        {
            for( const auto& id : detail::sorted_component_ids( lines ) )
            {
                const auto& line = model_.line( id );
                auto& modifier = line_modifier( line );
                for( const auto edge : lines.at( id ) )
                {
                    if( !modifier.is_edge_active( edge ) )
                    {
                        continue;
                    }
                    const auto new_vertex = modifier.split_edge( edge, point );
                    builder_.set_unique_vertex(
                        { line.component_id(), new_vertex }, new_unique_vertex );
                    output[id].push_back( new_vertex );
                }
            }
        }

        void ModelGeometricModifier< BRep >::split_surface_edges(
            const absl::flat_hash_map< uuid, SurfacePolygonEdges >& surfaces,
            const Point< 3 >& point,
            index_t new_unique_vertex,
            ComponentEditResults< SurfaceSplitEdgeInfo >& output )
        {
            for( const auto& id : detail::sorted_component_ids( surfaces ) )
            {
                const auto& surface = model_.surface( id );
                auto& modifier = surface_modifier( surface );
                for( const auto& edge : surfaces.at( id ) )
                {
                    if( !modifier.is_polygon_active( edge.polygon_id ) )
                    {
                        continue;
                    }
                    auto info = modifier.split_edge( edge, point );
                    builder_.set_unique_vertex(
                        { surface.component_id(), info.new_vertex },
                        new_unique_vertex );
                    output[id].push_back( std::move( info ) );
                }
            }
        }

        void ModelGeometricModifier< BRep >::split_surface_triangles(
            const absl::flat_hash_map< uuid, absl::InlinedVector< index_t, 1 > >&
                surfaces,
            const Point< 3 >& point,
            index_t new_unique_vertex,
            ComponentEditResults< SurfaceSplitTriangleInfo >& output )
        {
            for( const auto& id : detail::sorted_component_ids( surfaces ) )
            {
                const auto& surface = model_.surface( id );
                for( const auto polygon : surfaces.at( id ) )
                {
                    auto& modifier = surface_modifier( surface );
                    if( !modifier.is_polygon_active( polygon ) )
                    {
                        continue;
                    }
                    auto info = modifier.split_triangle( polygon, point );
                    builder_.set_unique_vertex(
                        { surface.component_id(), info.new_vertex },
                        new_unique_vertex );
                    output[id].push_back( std::move( info ) );
                }
            }
        }

        void ModelGeometricModifier< BRep >::swap_surface_edge(
            const Surface< 3 >& surface,
            const PolygonEdge& edge,
            ComponentEditResults< SurfaceSwapEdgeInfo >& output )
        {
            auto& modifier = surface_modifier( surface );
            if( !modifier.is_polygon_active( edge.polygon_id ) )
            {
                return;
            }
            output[surface.id()].push_back( modifier.swap_edge( edge ) );
        }

        void ModelGeometricModifier< BRep >::relink_collapsed_vertices(
            const ComponentID& component,
            index_t new_vertex,
            absl::Span< const index_t > merged_vertices,
            index_t new_unique_vertex )
        {
            builder_.set_unique_vertex( { component, new_vertex }, new_unique_vertex );
            for( const auto merged : merged_vertices )
            {
                const ComponentMeshVertex component_vertex{ component, merged };
                const auto unique = model_.unique_vertex( component_vertex );
                if( unique != NO_ID )
                {
                    builder_.unset_unique_vertex( component_vertex, unique );
                }
            }
        }

        void ModelGeometricModifier< BRep >::collapse_line_edges(
            const absl::flat_hash_map< uuid, LineEdges >& lines,
            const Point< 3 >& point,
            index_t new_unique_vertex,
            ComponentEditResults< EdgedCurveCollapseEdgeInfo >& output )
        {
            for( const auto& id : detail::sorted_component_ids( lines ) )
            {
                const auto& line = model_.line( id );
                auto& modifier = line_modifier( line );
                for( const auto edge : lines.at( id ) )
                {
                    if( !modifier.is_edge_active( edge ) )
                    {
                        continue;
                    }
                    auto info = modifier.collapse_edge( edge, point );
                    relink_collapsed_vertices( line.component_id(), info.new_vertex,
                        info.merged_vertices, new_unique_vertex );
                    output[id].push_back( std::move( info ) );
                }
            }
        }

        void ModelGeometricModifier< BRep >::collapse_surface_edges(
            const absl::flat_hash_map< uuid, SurfacePolygonEdges >& surfaces,
            const Point< 3 >& point,
            index_t new_unique_vertex,
            ComponentEditResults< SurfaceCollapsePolygonEdgeInfo >& output )
        {
            for( const auto& id : detail::sorted_component_ids( surfaces ) )
            {
                const auto& surface = model_.surface( id );
                auto& modifier = surface_modifier( surface );
                for( const auto& edge : surfaces.at( id ) )
                {
                    if( !modifier.is_polygon_active( edge.polygon_id ) )
                    {
                        continue;
                    }
                    auto info = modifier.collapse_edge( edge, point );
                    relink_collapsed_vertices( surface.component_id(),
                        info.new_vertex, info.merged_vertices, new_unique_vertex );
                    output[id].push_back( std::move( info ) );
                }
            }
        }

        ComponentOldToNew ModelGeometricModifier< BRep >::run_clean_batch(
            std::vector< CleanJob > jobs, const CleanFollowUp& follow_up )
        {
            ComponentOldToNew result;
            if( jobs.empty() )
            {
                return result;
            }
            std::vector< async::Task< std::vector< index_t > > > tasks;
            tasks.reserve( jobs.size() );
            for( auto& job : jobs )
            {
                tasks.push_back( async::spawn( std::move( job.run ) ) );
            }
            for( auto& task : tasks )
            {
                task.wait();
            }
            // Every task has run: each successful compaction must reach the
            // caller (and the unique-vertex table) even when another failed,
            // otherwise the table would keep indices of meshes that changed.
            std::exception_ptr first_failure;
            for( std::size_t t = 0; t < tasks.size(); t++ )
            {
                std::vector< index_t > old2new;
                try
                {
                    old2new = tasks[t].get();
                }
                catch( ... )
                {
                    if( !first_failure )
                    {
                        first_failure = std::current_exception();
                    }
                    continue;
                }
                if( follow_up )
                {
                    follow_up( jobs[t].component, old2new );
                }
                result.emplace( jobs[t].component, std::move( old2new ) );
            }
            if( first_failure )
            {
                std::rethrow_exception( first_failure );
            }
            return result;
        }

        ModelGeometricModifier< BRep >::CleanFollowUp
            ModelGeometricModifier< BRep >::unique_vertex_update( ComponentType type )
        {
            return [this, type = std::move( type )](
                       const uuid& id, const std::vector< index_t >& old2new ) {
                builder_.update_unique_vertices( { type, id }, old2new );
            };
        }

        ComponentOldToNew ModelGeometricModifier< BRep >::delete_inactive_line_edges()
        {
            std::vector< CleanJob > jobs;
            for( const auto& line : model_.lines() )
            {
                auto* modifier = &line_modifier( line );
                if( detail::any_index( line.mesh().nb_edges(),
                        [modifier]( index_t e ) {
                            return !modifier->is_edge_active( e );
                        } ) )
                {
                    jobs.push_back( { line.id(),
                        [modifier] { return modifier->delete_inactive_edges(); } } );
                }
            }
            return run_clean_batch( std::move( jobs ), {} );
        }

        ComponentOldToNew
            ModelGeometricModifier< BRep >::delete_inactive_surface_polygons()
        {
            std::vector< CleanJob > jobs;
            for( const auto& surface : model_.surfaces() )
            {
                auto* modifier = &surface_modifier( surface );
                if( detail::any_index( surface.mesh().nb_polygons(),
                        [modifier]( index_t p ) {
                            return !modifier->is_polygon_active( p );
                        } ) )
                {
                    jobs.push_back( { surface.id(), [modifier] {
                                         return modifier->delete_inactive_polygons();
                                     } } );
                }
            }
            return run_clean_batch( std::move( jobs ), {} );
        }

        ComponentOldToNew ModelGeometricModifier< BRep >::delete_isolated_line_vertices()
        {
            std::vector< CleanJob > jobs;
            for( const auto& line : model_.lines() )
            {
                if( detail::has_isolated_vertex( line.mesh() ) )
                {
                    // Taken here, on the calling thread: the task must not
                    // touch the stores. The modifier first: it creates the
                    // builder.
                    auto& modifier = line_modifier( line );
                    jobs.push_back( isolated_vertices_job(
                        line.id(), stored( line_builders_, line.id() ), modifier ) );
                }
            }
            return run_clean_batch( std::move( jobs ),
                unique_vertex_update( Line< 3 >::component_type_static() ) );
        }

        ComponentOldToNew
            ModelGeometricModifier< BRep >::delete_isolated_surface_vertices()
        {
            std::vector< CleanJob > jobs;
            for( const auto& surface : model_.surfaces() )
            {
                if( detail::has_isolated_vertex( surface.mesh() ) )
                {
                    auto& modifier = surface_modifier( surface );
                    jobs.push_back( isolated_vertices_job( surface.id(),
                        stored( surface_builders_, surface.id() ), modifier ) );
                }
            }
            return run_clean_batch( std::move( jobs ),
                unique_vertex_update( Surface< 3 >::component_type_static() ) );
        }
    } // namespace internal
} // namespace orvane
