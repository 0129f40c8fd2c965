#include <openorvane/model/brep_builder.hpp>

#include <optional>

#include <openorvane/mesh/mesh_factory.hpp>

namespace orvane
{
    BRepBuilder::BRepBuilder( BRep& brep )
        : CornersBuilder< 3 >( brep ),
          LinesBuilder< 3 >( brep ),
          SurfacesBuilder< 3 >( brep ),
          BlocksBuilder< 3 >( brep ),
          RelationshipsBuilder( brep ),
          VertexIdentifierBuilder( brep ),
          brep_( brep )
    {
    }

    BRepBuilder::~BRepBuilder() = default;

    namespace
    {
        template < typename Mesh >
        MeshImpl default_impl()
        {
            return MeshFactory::default_impl( Mesh::type_name_static() );
        }
    } // namespace

#define ORVANE_BREP_ADD( TYPE, NAME, MESH )                                         \
    uuid BRepBuilder::add_##NAME()                                            \
    {                                                                                \
        return add_##NAME( uuid{}, default_impl< MESH< 3 > >() );                    \
    }                                                                                \
    uuid BRepBuilder::add_##NAME( const MeshImpl& impl )                      \
    {                                                                                \
        return add_##NAME( uuid{}, impl );                                           \
    }                                                                                \
    uuid BRepBuilder::add_##NAME( const uuid& id )                            \
    {                                                                                \
        return add_##NAME( id, default_impl< MESH< 3 > >() );                        \
    }                                                                                \
    uuid BRepBuilder::add_##NAME( const uuid& id, const MeshImpl& impl )      \
    {                                                                                \
        if( brep_.has_component( id ) )                                              \
        {                                                                            \
            throw OpenOrvaneException{ "[BRepBuilder::add_" #NAME                    \
                                       "] The model already has a component "       \
                                       "with the uuid ",                             \
                id.string() };                                                       \
        }                                                                            \
        const auto& component = create_##NAME( id, impl );                           \
        RelationshipsBuilder::register_component( component.component_id() );       \
        register_mesh_component( component.component_id() );                        \
        return component.id();                                                       \
    }                                                                                \
    void BRepBuilder::remove_##NAME( const TYPE< 3 >& component )                    \
    {                                                                                \
        const auto id = component.id();                                              \
        unregister_mesh_component( id );                                             \
        RelationshipsBuilder::unregister_component( id );                            \
        delete_##NAME( id );                                                         \
    }                                                                                \
    void BRepBuilder::update_##NAME##_mesh(                                          \
        const TYPE< 3 >& component, std::unique_ptr< MESH< 3 > > mesh )              \
    {                                                                                \
        const auto id = component.id();                                              \
        set_##NAME##_mesh( id, std::move( mesh ) );                                  \
        unlink_component_mesh_vertices( id );                                        \
    }

    ORVANE_BREP_ADD( Corner, corner, PointSet )
    ORVANE_BREP_ADD( Line, line, EdgedCurve )
    ORVANE_BREP_ADD( Surface, surface, SurfaceMesh )
    ORVANE_BREP_ADD( Block, block, SolidMesh )

#undef ORVANE_BREP_ADD

    void BRepBuilder::add_corner_line_boundary_relationship(
        const Corner< 3 >& corner, const Line< 3 >& line )
    {
        add_boundary_relation( brep_.corner( corner.id() ).component_id(),
            brep_.line( line.id() ).component_id() );
    }

    void BRepBuilder::add_line_surface_boundary_relationship(
        const Line< 3 >& line, const Surface< 3 >& surface )
    {
        add_boundary_relation( brep_.line( line.id() ).component_id(),
            brep_.surface( surface.id() ).component_id() );
    }

    void BRepBuilder::add_line_surface_internal_relationship(
        const Line< 3 >& line, const Surface< 3 >& surface )
    {
        add_internal_relation( brep_.line( line.id() ).component_id(),
            brep_.surface( surface.id() ).component_id() );
    }

    void BRepBuilder::add_corner_surface_internal_relationship(
        const Corner< 3 >& corner, const Surface< 3 >& surface )
    {
        add_internal_relation( brep_.corner( corner.id() ).component_id(),
            brep_.surface( surface.id() ).component_id() );
    }

    void BRepBuilder::add_surface_block_boundary_relationship(
        const Surface< 3 >& surface, const Block< 3 >& block )
    {
        add_boundary_relation( brep_.surface( surface.id() ).component_id(),
            brep_.block( block.id() ).component_id() );
    }

    void BRepBuilder::add_surface_block_internal_relationship(
        const Surface< 3 >& surface, const Block< 3 >& block )
    {
        add_internal_relation( brep_.surface( surface.id() ).component_id(),
            brep_.block( block.id() ).component_id() );
    }

    void BRepBuilder::add_line_block_internal_relationship(
        const Line< 3 >& line, const Block< 3 >& block )
    {
        add_internal_relation( brep_.line( line.id() ).component_id(),
            brep_.block( block.id() ).component_id() );
    }

    void BRepBuilder::add_corner_block_internal_relationship(
        const Corner< 3 >& corner, const Block< 3 >& block )
    {
        add_internal_relation( brep_.corner( corner.id() ).component_id(),
            brep_.block( block.id() ).component_id() );
    }

    ModelMapping< BijectiveMapping< uuid, uuid > > BRepBuilder::copy_components(
        const BRep& model )
    {
        ModelMapping< BijectiveMapping< uuid, uuid > > mapping;
        BijectiveMapping< uuid, uuid > corners;
        for( const auto& corner : model.corners() )
        {
            const auto& id = add_corner( corner.mesh().impl_name() );
            set_corner_name( id, corner.name() );
            corners.map( corner.id(), id );
        }
        mapping.emplace( Corner< 3 >::component_type_static(), std::move( corners ) );
        BijectiveMapping< uuid, uuid > lines;
        for( const auto& line : model.lines() )
        {
            const auto& id = add_line( line.mesh().impl_name() );
            set_line_name( id, line.name() );
            lines.map( line.id(), id );
        }
        mapping.emplace( Line< 3 >::component_type_static(), std::move( lines ) );
        BijectiveMapping< uuid, uuid > surfaces;
        for( const auto& surface : model.surfaces() )
        {
            const auto& id = add_surface( surface.mesh().impl_name() );
            set_surface_name( id, surface.name() );
            surfaces.map( surface.id(), id );
        }
        mapping.emplace( Surface< 3 >::component_type_static(), std::move( surfaces ) );
        BijectiveMapping< uuid, uuid > blocks;
        for( const auto& block : model.blocks() )
        {
            const auto& id = add_block( block.mesh().impl_name() );
            set_block_name( id, block.name() );
            blocks.map( block.id(), id );
        }
        mapping.emplace( Block< 3 >::component_type_static(), std::move( blocks ) );
        return mapping;
    }

    void BRepBuilder::copy_relationships(
        const ModelMapping< BijectiveMapping< uuid, uuid > >& mapping, const BRep& model )
    {
        const auto image = [&mapping]( const ComponentID& id ) -> std::optional< uuid > {
            if( !mapping.has_mapping_type( id.type() ) )
            {
                return std::nullopt;
            }
            const auto& typed = mapping.at( id.type() );
            if( !typed.has_mapping_input( id.id() ) )
            {
                return std::nullopt;
            }
            return typed.in2out( id.id() );
        };
        const auto copy = [&]( const ComponentID& source, bool boundaries ) {
            const auto target = image( source );
            if( !target || !brep_.Relationships::is_registered( *target ) )
            {
                return;
            }
            const ComponentID target_id{ source.type(), *target };
            const auto& list = boundaries ? model.Relationships::boundaries( source.id() )
                                          : model.internals( source.id() );
            for( const auto& other : list )
            {
                const auto other_target = image( other );
                if( !other_target || !brep_.Relationships::is_registered( *other_target ) )
                {
                    continue;
                }
                const ComponentID other_id{ other.type(), *other_target };
                if( boundaries )
                {
                    add_boundary_relation( other_id, target_id );
                }
                else
                {
                    add_internal_relation( other_id, target_id );
                }
            }
        };
        // Walk the incidence and embedding side in model order: their
        // boundary and internal lists are then copied in their own order.
        for( const auto& line : model.lines() )
        {
            copy( line.component_id(), true );
        }
        for( const auto& surface : model.surfaces() )
        {
            copy( surface.component_id(), true );
            copy( surface.component_id(), false );
        }
        for( const auto& block : model.blocks() )
        {
            copy( block.component_id(), true );
            copy( block.component_id(), false );
        }
    }
} // namespace orvane
