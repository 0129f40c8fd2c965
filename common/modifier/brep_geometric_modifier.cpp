#include <common/modifier/brep_geometric_modifier.hpp>

#include <typeinfo>
#include <utility>

#include <openorvane/basic/exception.hpp>
#include <openorvane/basic/logger.hpp>
#include <openorvane/model/brep.hpp>
#include <openorvane/model/brep_builder.hpp>

#include <common/modifier/mesh_modifier_factory.hpp>

namespace orvane
{
    namespace
    {
        constexpr const char* SURFACE_SPLIT_WARNING =
            "[BRepGeometricModifier::split_edge] Invalid split edge on brep non "
            "manifold surface edge with meshed Blocks. Operation will probably "
            "remove mesh conformity.";
        constexpr const char* LINE_SPLIT_WARNING =
            "[BRepGeometricModifier::split_edge] Invalid split edge on brep non "
            "manifold line edge. Operation will probably remove mesh conformity.";
        constexpr const char* SWAP_WARNING =
            "[BRepGeometricModifier::swap_edge] Invalid swap edge on brep non "
            "manifold surface edge with meshed Blocks. Operation probably will "
            "remove mesh conformity.";

        /// Every block mesh must be a tetrahedral solid: the block modifiers
        /// work on nothing else.
        void check_tetrahedral_block_meshes( const BRep& model )
        {
            for( const auto& block : model.blocks() )
            {
                if( dynamic_cast< const TetrahedralSolid< 3 >* >( &block.mesh() )
                    == nullptr )
                {
                    throw OpenOrvaneException{ "[BRepGeometricModifier] Block ",
                        block.id().string(), " mesh is not a TetrahedralSolid" };
                }
            }
        }

        const TetrahedralSolid< 3 >& block_solid( const Block< 3 >& block )
        {
            return dynamic_cast< const TetrahedralSolid< 3 >& >( block.mesh() );
        }

        /// The vertices of the apex unique vertex in the block's mesh, in the
        /// unique-vertex table's order; empty for an apex without unique
        /// vertex.
        std::vector< index_t > apex_candidates(
            const BRep& model, index_t apex_unique_vertex, const uuid& block )
        {
            if( apex_unique_vertex == NO_ID )
            {
                return {};
            }
            return model.mesh_component_vertices( apex_unique_vertex, block );
        }
    } // namespace

    BRepGeometricModifier::Impl::Impl( BRep& model, BRepBuilder& builder )
        : internal::ModelGeometricModifier< BRep >( model, builder )
    {
        block_builders_.reserve( model_.nb_blocks() );
        block_modifiers_.reserve( model_.nb_blocks() );
        check_tetrahedral_block_meshes( model_ );
    }

    BRepGeometricModifier::Impl::~Impl()
    {
        block_modifiers_.clear();
        block_builders_.clear();
    }

    TetrahedralSolidModifier& BRepGeometricModifier::Impl::block_modifier(
        const Block< 3 >& block )
    {
        const auto& id = block.id();
        if( const auto found = block_modifiers_.find( id );
            found != block_modifiers_.end() )
        {
            return *found->second;
        }
        if( !block_builders_.contains( id ) )
        {
            auto& mesh = dynamic_cast< TetrahedralSolid< 3 >& >(
                builder_.modifiable_block( id ).get_modifiable_mesh() );
            block_builders_.emplace( id, TetrahedralSolidBuilder< 3 >::create( mesh ) );
        }
        auto modifier = MeshModifierFactory::create< TetrahedralSolidModifier >(
            block.mesh(), *block_builders_.at( id ) );
        return *block_modifiers_.emplace( id, std::move( modifier ) ).first->second;
    }

    void BRepGeometricModifier::Impl::forget_block_modifiers()
    {
        // Modifiers first: they hold references to their builders.
        block_modifiers_.clear();
        block_builders_.clear();
    }

    const Point< 3 >& BRepGeometricModifier::Impl::component_vertex_point(
        const ComponentMeshVertex& component_vertex )
    {
        if( component_vertex.component_id.type() == Block< 3 >::component_type_static() )
        {
            return model_.block( component_vertex.component_id.id() )
                .mesh()
                .point( component_vertex.vertex );
        }
        return ModelGeometricModifier< BRep >::component_vertex_point( component_vertex );
    }

    void BRepGeometricModifier::Impl::move_component_vertex(
        const ComponentMeshVertex& component_vertex, const Point< 3 >& point )
    {
        if( component_vertex.component_id.type() == Block< 3 >::component_type_static() )
        {
            block_modifier( model_.block( component_vertex.component_id.id() ) )
                .move_vertex( component_vertex.vertex, point );
            return;
        }
        ModelGeometricModifier< BRep >::move_component_vertex( component_vertex, point );
    }

    namespace
    {
        using Impl = BRepGeometricModifier::Impl;

        /// Leaves in the uuid-keyed map only the entry of the component, if
        /// it has one.
        template < typename Map >
        void keep_only_component( Map& map, const uuid& id )
        {
            auto own = map.extract( id );
            map.clear();
            if( !own.empty() )
            {
                map.insert( std::move( own ) );
            }
        }

        /// Splits the model edge in every listed component: lines, then
        /// surfaces, then blocks, each entry only while its element is
        /// active.
        BRepSplitEdgeInfo split_model_edge(
            Impl& impl, const BRepComponentMeshEdges& edges, const Point< 3 >& point )
        {
            auto& model = impl.model();
            auto& builder = impl.builder();
            BRepSplitEdgeInfo result;
            // Created first, so that a split that edits nothing still
            // reports (and leaves for clean-up) one unique vertex.
            result.new_unique_vertex = builder.create_unique_vertex();
            impl.split_line_edges( edges.lines, point, result.new_unique_vertex, result.lines );
            impl.split_surface_edges(
                edges.surfaces, point, result.new_unique_vertex, result.surfaces );
            for( const auto& id : detail::sorted_component_ids( edges.blocks ) )
            {
                const auto& block = model.block( id );
                auto& modifier = impl.block_modifier( block );
                for( const auto& edge : edges.blocks.at( id ) )
                {
                    if( !modifier.is_polyhedron_active( edge.polyhedron_facet.polyhedron_id ) )
                    {
                        continue;
                    }
                    auto info = modifier.split_edge( edge, point );
                    builder.set_unique_vertex(
                        { block.component_id(), info.new_vertex }, result.new_unique_vertex );
                    result.blocks[id].push_back( std::move( info ) );
                }
            }
            return result;
        }

        /// Throws, before anything is edited, when a block holding an active
        /// element of the edge has no vertex of the apex: the swap could not
        /// be repeated there and the model would lose its conformity.
        void check_apex_in_blocks( Impl& impl,
            const absl::flat_hash_map< uuid, BlockFacetEdges >& blocks,
            index_t apex_unique_vertex )
        {
            const auto& model = impl.model();
            for( const auto& id : detail::sorted_component_ids( blocks ) )
            {
                const auto& block = model.block( id );
                auto& modifier = impl.block_modifier( block );
                bool has_active_entry{ false };
                for( const auto& edge : blocks.at( id ) )
                {
                    has_active_entry = has_active_entry
                                       || modifier.is_polyhedron_active(
                                           edge.polyhedron_facet.polyhedron_id );
                }
                if( has_active_entry
                    && apex_candidates( model, apex_unique_vertex, id ).empty() )
                {
                    throw OpenOrvaneException{ "[BRepGeometricModifier::swap_edge] "
                                               "The apex is not a vertex of Block ",
                        id.string(), " which holds the edge: swap refused" };
                }
            }
        }

        /// Swaps the edge in every block from a vertex of the apex: for each
        /// active entry, the first polyhedron around the edge (in turning
        /// order) holding a candidate gives the apex vertex.
        void swap_in_blocks( Impl& impl,
            const absl::flat_hash_map< uuid, BlockFacetEdges >& blocks,
            index_t apex_unique_vertex,
            BRepSwapEdgeInfo& result )
        {
            const auto& model = impl.model();
            for( const auto& id : detail::sorted_component_ids( blocks ) )
            {
                const auto& block = model.block( id );
                const auto& solid = block_solid( block );
                const auto candidates = apex_candidates( model, apex_unique_vertex, id );
                auto& modifier = impl.block_modifier( block );
                for( const auto& edge : blocks.at( id ) )
                {
                    if( !modifier.is_polyhedron_active( edge.polyhedron_facet.polyhedron_id ) )
                    {
                        continue;
                    }
                    index_t apex{ NO_ID };
                    for( const auto polyhedron : solid.polyhedra_around_edge( edge ) )
                    {
                        for( const auto candidate : candidates )
                        {
                            if( solid.vertex_in_polyhedron( polyhedron, candidate ) )
                            {
                                apex = candidate;
                                break;
                            }
                        }
                        if( apex != NO_ID )
                        {
                            break;
                        }
                    }
                    if( apex == NO_ID )
                    {
                        continue;
                    }
                    result.blocks[id].push_back( modifier.swap_edge( edge, apex ) );
                }
            }
        }
    } // namespace

    BRepGeometricModifier::BRepGeometricModifier( BRep& model, BRepBuilder& builder )
        : impl_( std::make_unique< Impl >( model, builder ) )
    {
    }

    BRepGeometricModifier::~BRepGeometricModifier() = default;

    BRepSplitEdgeInfo BRepGeometricModifier::split_edge(
        const Surface< 3 >& surface, const PolygonEdge& edge, const Point< 3 >& point )
    {
        auto edges = component_mesh_edges( impl_->model(), surface, edge );
        if( edges.surfaces.size() >= 2 && !surface.mesh().is_edge_on_border( edge ) )
        {
            // An inner edge of this surface that other surfaces also hold:
            // only this surface is split among them.
            keep_only_component( edges.surfaces, surface.id() );
            if( !edges.blocks.empty() )
            {
                Logger::log_warn( SURFACE_SPLIT_WARNING );
            }
        }
        return split_model_edge( *impl_, edges, point );
    }

    BRepSplitEdgeInfo BRepGeometricModifier::split_edge(
        const Line< 3 >& line, index_t edge, const Point< 3 >& point )
    {
        auto edges = component_mesh_edges( impl_->model(), line, edge );
        if( edges.lines.size() >= 2 )
        {
            keep_only_component( edges.lines, line.id() );
            if( !edges.surfaces.empty() || !edges.blocks.empty() )
            {
                Logger::log_warn( LINE_SPLIT_WARNING );
            }
        }
        return split_model_edge( *impl_, edges, point );
    }

    BRepSplitTriangleInfo BRepGeometricModifier::split_triangle(
        const BRepComponentMeshPolygons& polygons, const Point< 3 >& point )
    {
        auto& model = impl_->model();
        auto& builder = impl_->builder();
        BRepSplitTriangleInfo result;
        result.new_unique_vertex = builder.create_unique_vertex();
        impl_->split_surface_triangles(
            polygons.surfaces, point, result.new_unique_vertex, result.surfaces );
        for( const auto& id : detail::sorted_component_ids( polygons.blocks ) )
        {
            const auto& block = model.block( id );
            auto& modifier = impl_->block_modifier( block );
            for( const auto& facet : polygons.blocks.at( id ) )
            {
                if( !modifier.is_polyhedron_active( facet.polyhedron_id ) )
                {
                    continue;
                }
                auto info = modifier.split_facet( facet, point );
                builder.set_unique_vertex(
                    { block.component_id(), info.new_vertex }, result.new_unique_vertex );
                result.blocks[id].push_back( std::move( info ) );
            }
        }
        return result;
    }

    BRepSplitTetrahedronInfo BRepGeometricModifier::split_tetrahedron(
        const Block< 3 >& block, index_t tetrahedron, const Point< 3 >& point )
    {
        BRepSplitTetrahedronInfo result;
        auto& modifier = impl_->block_modifier( block );
        if( !modifier.is_polyhedron_active( tetrahedron ) )
        {
            return result;
        }
        result.new_unique_vertex = impl_->builder().create_unique_vertex();
        auto info = modifier.split_tetrahedron( tetrahedron, point );
        impl_->builder().set_unique_vertex(
            { block.component_id(), info.new_vertex }, result.new_unique_vertex );
        result.blocks[block.id()].push_back( std::move( info ) );
        return result;
    }

    BRepSwapEdgeInfo BRepGeometricModifier::swap_edge(
        const Surface< 3 >& surface, const PolygonEdge& edge )
    {
        const auto& model = impl_->model();
        const auto& mesh = surface.mesh();
        // The apex starts the polygon edge before the swapped one.
        const auto apex =
            mesh.polygon_vertex( PolygonVertex{ mesh.previous_polygon_edge( edge ) } );
        const auto apex_unique = model.unique_vertex( { surface.component_id(), apex } );
        const auto edges = component_mesh_edges( model, surface, edge );
        if( edges.surfaces.size() >= 2 && !edges.blocks.empty() )
        {
            Logger::log_warn( SWAP_WARNING );
        }
        check_apex_in_blocks( *impl_, edges.blocks, apex_unique );
        BRepSwapEdgeInfo result;
        impl_->swap_surface_edge( surface, edge, result.surfaces );
        swap_in_blocks( *impl_, edges.blocks, apex_unique, result );
        return result;
    }

    BRepSwapEdgeInfo BRepGeometricModifier::swap_edge(
        const Block< 3 >& block, const PolyhedronFacetEdge& edge, index_t apex )
    {
        const auto& model = impl_->model();
        const auto apex_unique = model.unique_vertex( { block.component_id(), apex } );
        const auto edges = component_mesh_edges( model, block, edge );
        if( edges.surfaces.size() >= 2 && !edges.blocks.empty() )
        {
            Logger::log_warn( SWAP_WARNING );
        }
        check_apex_in_blocks( *impl_, edges.blocks, apex_unique );
        BRepSwapEdgeInfo result;
        if( !edges.surfaces.empty() )
        {
            // Only the first surface: a block edge lies on one surface when
            // the model is manifold there.
            const auto id = detail::sorted_component_ids( edges.surfaces ).front();
            const auto& surface = model.surface( id );
            for( const auto& polygon_edge : edges.surfaces.at( id ) )
            {
                impl_->swap_surface_edge( surface, polygon_edge, result.surfaces );
            }
        }
        swap_in_blocks( *impl_, edges.blocks, apex_unique, result );
        return result;
    }

    BRepCollapseEdgeInfo BRepGeometricModifier::collapse_edge(
        const BRepComponentMeshEdges& edges,
        const std::array< index_t, 2 >& unique_vertices,
        const Point< 3 >& point )
    {
        auto& model = impl_->model();
        auto& builder = impl_->builder();
        BRepCollapseEdgeInfo result;
        result.new_unique_vertex = builder.create_unique_vertex();
        const auto new_unique = result.new_unique_vertex;
        for( std::size_t i = 0; i < 2; i++ )
        {
            result.old_unique_vertices.push_back( unique_vertices[i] );
            if( unique_vertices[i] != NO_ID )
            {
                result.old_component_vertices[i] =
                    model.component_mesh_vertices( unique_vertices[i] );
            }
        }
        impl_->collapse_line_edges( edges.lines, point, new_unique, result.lines );
        impl_->collapse_surface_edges( edges.surfaces, point, new_unique, result.surfaces );
        for( const auto& id : detail::sorted_component_ids( edges.blocks ) )
        {
            const auto& block = model.block( id );
            auto& modifier = impl_->block_modifier( block );
            for( const auto& edge : edges.blocks.at( id ) )
            {
                if( !modifier.is_polyhedron_active( edge.polyhedron_facet.polyhedron_id ) )
                {
                    continue;
                }
                auto info = modifier.collapse_edge( edge, point );
                impl_->relink_collapsed_vertices( block.component_id(), info.new_vertex,
                    info.merged_vertices, new_unique );
                result.blocks[id].push_back( std::move( info ) );
            }
        }
        if( result.lines.empty() && result.surfaces.empty() && result.blocks.empty() )
        {
            // Nothing was collapsed: the two ends stay where and what they
            // are, and only the new (empty) unique vertex remains.
            return result;
        }
        for( const auto old_unique : unique_vertices )
        {
            if( old_unique != NO_ID && old_unique != new_unique )
            {
                update_vertex_map( new_unique, { old_unique } );
            }
        }
        // Component vertices that held no collapsed element (a corner, or a
        // line or surface that only touches an end) follow the collapse.
        for( const auto old_unique : unique_vertices )
        {
            if( old_unique == NO_ID )
            {
                continue;
            }
            const auto remaining = model.component_mesh_vertices( old_unique );
            for( const auto& component_vertex : remaining )
            {
                builder.set_unique_vertex( component_vertex, new_unique );
            }
        }
        impl_->move_unique_vertex( new_unique, point );
        return result;
    }

    void BRepGeometricModifier::move_unique_vertex(
        index_t unique_vertex, const Point< 3 >& point )
    {
        impl_->move_unique_vertex( unique_vertex, point );
    }

    EdgedCurveModifier< 3 >& BRepGeometricModifier::line_modifier( const Line< 3 >& line )
    {
        return impl_->line_modifier( line );
    }

    TriangulatedSurfaceModifier< 3 >& BRepGeometricModifier::surface_modifier(
        const Surface< 3 >& surface )
    {
        return impl_->surface_modifier( surface );
    }

    TetrahedralSolidModifier& BRepGeometricModifier::block_modifier(
        const Block< 3 >& block )
    {
        return impl_->block_modifier( block );
    }

    void BRepGeometricModifier::forget_block_modifiers()
    {
        impl_->forget_block_modifiers();
    }
} // namespace orvane
