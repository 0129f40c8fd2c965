#include <openorvane/model/brep.hpp>

#include <utility>

namespace orvane
{
    namespace
    {
        template < typename Component, typename Lookup >
        ComponentRange< Component > resolve(
            const std::vector< ComponentID >& ids, const ComponentType& type, Lookup lookup )
        {
            std::vector< const Component* > components;
            components.reserve( ids.size() );
            for( const auto& id : ids )
            {
                if( id.type() == type )
                {
                    components.push_back( &lookup( id.id() ) );
                }
            }
            return ComponentRange< Component >{ std::move( components ) };
        }
    } // namespace

    BRep::BRep() = default;

    BRep::BRep( BRep&& other ) noexcept = default;

    BRep& BRep::operator=( BRep&& other ) noexcept = default;

    BRep::~BRep() = default;

    BoundingBox< 3 > BRep::bounding_box() const
    {
        BoundingBox< 3 > box;
        for( const auto& corner : corners() )
        {
            box.add_box( corner.mesh().bounding_box() );
        }
        for( const auto& line : lines() )
        {
            box.add_box( line.mesh().bounding_box() );
        }
        for( const auto& surface : surfaces() )
        {
            box.add_box( surface.mesh().bounding_box() );
        }
        for( const auto& block : blocks() )
        {
            box.add_box( block.mesh().bounding_box() );
        }
        return box;
    }

#define ORVANE_BREP_RANGE( RESULT, NAME, ARGUMENT, LIST, LOOKUP )                  \
    ComponentRange< RESULT< 3 > > BRep::NAME( const ARGUMENT< 3 >& component ) const \
    {                                                                               \
        return resolve< RESULT< 3 > >( Relationships::LIST( component.id() ),       \
            RESULT< 3 >::component_type_static(),                                   \
            [this]( const uuid& id ) -> const RESULT< 3 >& { return LOOKUP( id ); } ); \
    }

    ORVANE_BREP_RANGE( Corner, boundaries, Line, boundaries, corner )
    ORVANE_BREP_RANGE( Line, boundaries, Surface, boundaries, line )
    ORVANE_BREP_RANGE( Surface, boundaries, Block, boundaries, surface )
    ORVANE_BREP_RANGE( Line, incidences, Corner, incidences, line )
    ORVANE_BREP_RANGE( Surface, incidences, Line, incidences, surface )
    ORVANE_BREP_RANGE( Block, incidences, Surface, incidences, block )
    ORVANE_BREP_RANGE( Line, internal_lines, Surface, internals, line )
    ORVANE_BREP_RANGE( Corner, internal_corners, Surface, internals, corner )
    ORVANE_BREP_RANGE( Surface, internal_surfaces, Block, internals, surface )
    ORVANE_BREP_RANGE( Line, internal_lines, Block, internals, line )
    ORVANE_BREP_RANGE( Corner, internal_corners, Block, internals, corner )
    ORVANE_BREP_RANGE( Surface, embedding_surfaces, Corner, embeddings, surface )
    ORVANE_BREP_RANGE( Surface, embedding_surfaces, Line, embeddings, surface )
    ORVANE_BREP_RANGE( Block, embedding_blocks, Corner, embeddings, block )
    ORVANE_BREP_RANGE( Block, embedding_blocks, Line, embeddings, block )
    ORVANE_BREP_RANGE( Block, embedding_blocks, Surface, embeddings, block )

#undef ORVANE_BREP_RANGE

    bool BRep::is_closed( const Line< 3 >& line ) const
    {
        const auto& mesh = line.mesh();
        if( mesh.nb_edges() == 0 )
        {
            return false;
        }
        std::vector< index_t > ends;
        for( index_t v = 0; v < mesh.nb_vertices(); v++ )
        {
            const auto degree = mesh.edges_around_vertex( v ).size();
            if( degree == 0 || degree == 2 )
            {
                continue;
            }
            if( degree != 1 )
            {
                // A branching curve is no loop.
                return false;
            }
            ends.push_back( v );
        }
        if( ends.empty() )
        {
            return true;
        }
        if( ends.size() != 2 )
        {
            return false;
        }
        const auto id = line.component_id();
        const auto unique0 = unique_vertex( { id, ends[0] } );
        return unique0 != NO_ID && unique0 == unique_vertex( { id, ends[1] } );
    }

    bool BRep::has_component( const uuid& id ) const
    {
        return has_corner( id ) || has_line( id ) || has_surface( id ) || has_block( id );
    }
} // namespace orvane
