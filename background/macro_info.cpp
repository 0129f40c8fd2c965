#include <background/macro_info.hpp>

#include <algorithm>

#include <openorvane/basic/attribute_manager.hpp>
#include <openorvane/basic/variable_attribute.hpp>

#include <common/modifier/tetrahedron_preview.hpp>

#include <background/background_solid.hpp>

namespace
{
    template < typename Record >
    using ListAttribute = orvane::VariableAttribute< std::vector< Record > >;

    template < typename Record >
    std::shared_ptr< ListAttribute< Record > > find_or_create_list(
        orvane::AttributeManager& manager,
        const char* name,
        orvane::AttributeProperties properties = {} )
    {
        return manager.find_or_create_attribute< orvane::VariableAttribute,
            std::vector< Record > >( name, {}, properties );
    }

    template < typename Record >
    bool contains( const std::vector< Record >& list, const Record& record )
    {
        return std::find( list.begin(), list.end(), record ) != list.end();
    }

    /// Appends the record to the element's list unless an equal one is in.
    template < typename Record >
    void add_unique( ListAttribute< Record >& attribute,
        orvane::index_t element,
        const Record& record )
    {
        attribute.modify_value( element, [&record]( std::vector< Record >& list ) {
            if( !contains( list, record ) )
            {
                list.push_back( record );
            }
        } );
    }

    /// Adds every record of element `from`'s list to element `to`'s list
    /// (which may belong to another attribute); nothing when both are the
    /// same element of the same attribute.
    template < typename Record >
    void add_all( const ListAttribute< Record >& from_attribute,
        orvane::index_t from,
        ListAttribute< Record >& to_attribute,
        orvane::index_t to )
    {
        if( &from_attribute == &to_attribute && from == to )
        {
            return;
        }
        for( const auto& record : from_attribute.value( from ) )
        {
            add_unique( to_attribute, to, record );
        }
    }

    template < typename Record >
    void remove_record( ListAttribute< Record >& attribute,
        orvane::index_t element,
        const Record& record )
    {
        attribute.modify_value( element, [&record]( std::vector< Record >& list ) {
            const auto found = std::find( list.begin(), list.end(), record );
            if( found != list.end() )
            {
                list.erase( found );
            }
        } );
    }
} // namespace

namespace orvane
{
    namespace internal
    {
        template < index_t dimension >
        class MacroInfo< dimension >::Impl
        {
        public:
            std::shared_ptr< ListAttribute< MeshVertex > > vertex_init_vertex;
            std::shared_ptr< ListAttribute< MeshEdge > > edge_init_edge;
            std::shared_ptr< ListAttribute< MeshEdge > > vertex_init_edge;

            ~Impl()
            {
                vertex_init_edge.reset();
                edge_init_edge.reset();
                vertex_init_vertex.reset();
            }
        };

        class MacroInfo3D::Impl
        {
        public:
            std::shared_ptr< ListAttribute< MeshPolygon > > facet_init_facet;
            std::shared_ptr< ListAttribute< MeshPolygon > > vertex_init_facet;
            std::shared_ptr< ListAttribute< uuid > > polyhedron_blocks;

            ~Impl()
            {
                polyhedron_blocks.reset();
                vertex_init_facet.reset();
                facet_init_facet.reset();
            }
        };

        template < index_t dimension >
        MacroInfo< dimension >::MacroInfo() : impl_( std::make_unique< Impl >() )
        {
        }

        template < index_t dimension >
        MacroInfo< dimension >::~MacroInfo() = default;

        template < index_t dimension >
        void MacroInfo< dimension >::create_macro_info_attributes(
            const TetrahedralSolid< dimension >& solid )
        {
            impl_->vertex_init_vertex = find_or_create_list< MeshVertex >(
                solid.vertex_attribute_manager(), INIT_VERTEX_ID_ATTRIBUTE );
            impl_->edge_init_edge = find_or_create_list< MeshEdge >(
                solid.edges().edge_attribute_manager(), INIT_EDGE_ID_ATTRIBUTE );
            impl_->vertex_init_edge = find_or_create_list< MeshEdge >(
                solid.vertex_attribute_manager(), INIT_EDGE_ID_ATTRIBUTE );
        }

        template < index_t dimension >
        const std::vector< MeshVertex >& MacroInfo< dimension >::init_vertex_ids(
            index_t vertex ) const
        {
            return impl_->vertex_init_vertex->value( vertex );
        }

        template < index_t dimension >
        const std::vector< MeshEdge >& MacroInfo< dimension >::init_edge_ids(
            index_t edge ) const
        {
            return impl_->edge_init_edge->value( edge );
        }

        template < index_t dimension >
        const std::vector< MeshEdge >& MacroInfo< dimension >::vertex_init_edge_ids(
            index_t vertex ) const
        {
            return impl_->vertex_init_edge->value( vertex );
        }

        template < index_t dimension >
        bool MacroInfo< dimension >::has_init_vertex_component(
            index_t vertex, const uuid& component ) const
        {
            const auto& list = init_vertex_ids( vertex );
            return std::any_of( list.begin(), list.end(),
                [&component]( const MeshVertex& record ) {
                    return record.mesh_id == component;
                } );
        }

        MacroInfo3D::MacroInfo3D() : impl_( std::make_unique< Impl >() ) {}

        MacroInfo3D::~MacroInfo3D() = default;

        void MacroInfo3D::create_macro_info_attributes(
            const TetrahedralSolid< 3 >& solid )
        {
            MacroInfo< 3 >::create_macro_info_attributes( solid );
            impl_->facet_init_facet = find_or_create_list< MeshPolygon >(
                solid.facets().facet_attribute_manager(), INIT_FACET_ID_ATTRIBUTE );
            impl_->vertex_init_facet = find_or_create_list< MeshPolygon >(
                solid.vertex_attribute_manager(), INIT_FACET_ID_ATTRIBUTE );
            impl_->polyhedron_blocks = find_or_create_list< uuid >(
                solid.polyhedron_attribute_manager(), MACRO_BLOCK_ID_ATTRIBUTE,
                AttributeProperties{ true, false } );
        }

        const std::vector< MeshPolygon >& MacroInfo3D::init_facet_ids(
            index_t facet ) const
        {
            return impl_->facet_init_facet->value( facet );
        }

        const std::vector< MeshPolygon >& MacroInfo3D::vertex_init_facet_ids(
            index_t vertex ) const
        {
            return impl_->vertex_init_facet->value( vertex );
        }

        const std::vector< uuid >& MacroInfo3D::macro_block_ids(
            index_t tetrahedron ) const
        {
            return impl_->polyhedron_blocks->value( tetrahedron );
        }

        absl::flat_hash_map< index_t, std::vector< MeshPolygon > >
            MacroInfo3D::init_facet_ids_around_edge(
                const EdgeVertices& edge_vertices,
                const TetrahedralSolid< 3 >& solid ) const
        {
            absl::flat_hash_map< index_t, std::vector< MeshPolygon > > result;
            for( const auto tetrahedron : solid.polyhedra_around_edge( edge_vertices ) )
            {
                for( const auto& facet :
                    solid.edge_incident_facets( tetrahedron, edge_vertices ) )
                {
                    const auto index =
                        solid.facets()
                            .facet_from_vertices(
                                solid.polyhedron_facet_vertices( facet ) )
                            .value();
                    const auto& list = init_facet_ids( index );
                    if( !list.empty() )
                    {
                        result.try_emplace( index, list );
                    }
                }
            }
            return result;
        }

        bool MacroInfo3D::has_init_facet_around_edge( index_t tetrahedron,
            const EdgeVertices& edge_vertices,
            const TetrahedralSolid< 3 >& solid ) const
        {
            const auto& first = vertex_init_facet_ids( edge_vertices[0] );
            const auto& second = vertex_init_facet_ids( edge_vertices[1] );
            if( first.empty() || second.empty() )
            {
                return false;
            }
            std::vector< MeshPolygon > common;
            for( const auto& record : first )
            {
                if( contains( second, record ) )
                {
                    common.push_back( record );
                }
            }
            if( common.empty() )
            {
                return false;
            }
            const auto around = vertices_around_edge( solid, edge_vertices,
                solid.polyhedra_around_edge( edge_vertices, tetrahedron ) );
            for( const auto vertex : around )
            {
                const auto& list = vertex_init_facet_ids( vertex );
                const auto shares = std::any_of( common.begin(), common.end(),
                    [&list]( const MeshPolygon& record ) {
                        return contains( list, record );
                    } );
                if( !shares )
                {
                    continue;
                }
                const auto facet =
                    solid.facets()
                        .facet_from_vertices(
                            { edge_vertices[0], edge_vertices[1], vertex } )
                        .value();
                if( !init_facet_ids( facet ).empty() )
                {
                    return true;
                }
            }
            return false;
        }

        template < index_t dimension >
        MacroInfoBuilder< dimension >::MacroInfoBuilder(
            MacroInfo< dimension >& macro_info )
            : macro_info_( macro_info )
        {
        }

        template < index_t dimension >
        MacroInfoBuilder< dimension >::~MacroInfoBuilder() = default;

        template < index_t dimension >
        void MacroInfoBuilder< dimension >::add_init_vertex_id(
            const uuid& component, index_t component_vertex, index_t vertex )
        {
            add_unique( *macro_info_.impl_->vertex_init_vertex, vertex,
                MeshVertex{ component, component_vertex } );
        }

        template < index_t dimension >
        void MacroInfoBuilder< dimension >::add_init_edge_id(
            const uuid& component, index_t component_edge, index_t edge )
        {
            add_unique( *macro_info_.impl_->edge_init_edge, edge,
                MeshEdge{ component, component_edge } );
        }

        template < index_t dimension >
        void MacroInfoBuilder< dimension >::add_vertices_init_edge_id(
            const uuid& component,
            index_t component_edge,
            absl::Span< const index_t > vertices )
        {
            const MeshEdge record{ component, component_edge };
            for( const auto vertex : vertices )
            {
                add_unique( *macro_info_.impl_->vertex_init_edge, vertex, record );
            }
        }

        template < index_t dimension >
        void MacroInfoBuilder< dimension >::transfer_vertex_init_ids(
            const ElementEntry& vertices )
        {
            auto& impl = *macro_info_.impl_;
            for( const auto old_vertex : vertices.origins )
            {
                if( old_vertex == NO_ID )
                {
                    continue;
                }
                add_all( *impl.vertex_init_vertex, old_vertex,
                    *impl.vertex_init_vertex, vertices.element );
                add_all( *impl.vertex_init_edge, old_vertex,
                    *impl.vertex_init_edge, vertices.element );
            }
        }

        MacroInfoBuilder3D::MacroInfoBuilder3D(
            MacroInfo3D& macro_info, const BackgroundSolid& solid )
            : MacroInfoBuilder< 3 >( macro_info ),
              macro_info_3d_( macro_info ),
              solid_( solid )
        {
        }

        MacroInfoBuilder3D::~MacroInfoBuilder3D() = default;

        void MacroInfoBuilder3D::add_edges_init_edge_id( const uuid& component,
            index_t component_edge,
            absl::Span< const index_t > edges )
        {
            for( const auto edge : edges )
            {
                const auto vertices = solid_.edges().edge_vertices( edge );
                add_vertices_init_edge_id( component, component_edge, vertices );
            }
            for( const auto edge : edges )
            {
                add_init_edge_id( component, component_edge, edge );
            }
        }

        void MacroInfoBuilder3D::add_init_facet_id( const uuid& component,
            index_t component_polygon,
            absl::Span< const index_t > facets )
        {
            auto& impl = *macro_info_3d_.impl_;
            const MeshPolygon record{ component, component_polygon };
            for( const auto facet : facets )
            {
                add_unique( *impl.facet_init_facet, facet, record );
                for( const auto vertex : solid_.facets().facet_vertices( facet ) )
                {
                    add_unique( *impl.vertex_init_facet, vertex, record );
                }
            }
        }

        void MacroInfoBuilder3D::remove_init_facet_id( const uuid& component,
            index_t component_polygon,
            index_t facet )
        {
            auto& impl = *macro_info_3d_.impl_;
            const MeshPolygon record{ component, component_polygon };
            remove_record( *impl.facet_init_facet, facet, record );
            for( const auto vertex : solid_.facets().facet_vertices( facet ) )
            {
                remove_record( *impl.vertex_init_facet, vertex, record );
            }
        }

        void MacroInfoBuilder3D::update_vertex( const ElementEntry& vertices )
        {
            transfer_vertex_init_ids( vertices );
            auto& attribute = *macro_info_3d_.impl_->vertex_init_facet;
            for( const auto old_vertex : vertices.origins )
            {
                if( old_vertex != NO_ID )
                {
                    add_all(
                        attribute, old_vertex, attribute, vertices.element );
                }
            }
        }

        void MacroInfoBuilder3D::update_vertices(
            absl::Span< const ElementEntry > vertices )
        {
            for( const auto& origins : vertices )
            {
                update_vertex( origins );
            }
        }

        void MacroInfoBuilder3D::update_edge( const ElementOrigin& edge )
        {
            if( edge.old_element == NO_ID || edge.old_element == edge.new_element )
            {
                return;
            }
            auto& impl = *macro_info().impl_;
            const auto vertices = solid_.edges().edge_vertices( edge.new_element );
            // Copied first: the additions below may be to the same list.
            const auto records = impl.edge_init_edge->value( edge.old_element );
            for( const auto& record : records )
            {
                add_unique( *impl.edge_init_edge, edge.new_element, record );
                add_unique( *impl.vertex_init_edge, vertices[0], record );
                add_unique( *impl.vertex_init_edge, vertices[1], record );
            }
        }

        void MacroInfoBuilder3D::update_edges( absl::Span< const ElementOrigin > edges )
        {
            for( const auto& origin : edges )
            {
                update_edge( origin );
            }
        }

        void MacroInfoBuilder3D::update_edges(
            absl::Span< const ElementEntry > edges )
        {
            for( const auto& origins : edges )
            {
                for( const auto old_edge : origins.origins )
                {
                    if( old_edge == NO_ID )
                    {
                        break;
                    }
                    update_edge( { origins.element, old_edge } );
                }
            }
        }

        void MacroInfoBuilder3D::update_facet( const ElementOrigin& facet )
        {
            if( facet.old_element == NO_ID
                || facet.old_element == facet.new_element )
            {
                return;
            }
            auto& impl = *macro_info_3d_.impl_;
            const auto& records = impl.facet_init_facet->value( facet.old_element );
            if( records.empty() )
            {
                return;
            }
            const auto vertices = solid_.facets().facet_vertices( facet.new_element );
            for( const auto& record : records )
            {
                add_unique( *impl.facet_init_facet, facet.new_element, record );
                for( const auto vertex : vertices )
                {
                    add_unique( *impl.vertex_init_facet, vertex, record );
                }
            }
        }

        void MacroInfoBuilder3D::update_facets(
            absl::Span< const ElementOrigin > facets )
        {
            for( const auto& origin : facets )
            {
                update_facet( origin );
            }
        }

        void MacroInfoBuilder3D::update_facets(
            absl::Span< const ElementEntry > facets )
        {
            for( const auto& origins : facets )
            {
                for( const auto old_facet : origins.origins )
                {
                    update_facet( { origins.element, old_facet } );
                }
            }
        }

        void MacroInfoBuilder3D::update_macro_block_ids(
            const ElementOrigin& tetrahedra )
        {
            if( tetrahedra.old_element == NO_ID
                || tetrahedra.old_element == tetrahedra.new_element )
            {
                return;
            }
            auto& attribute = *macro_info_3d_.impl_->polyhedron_blocks;
            add_all( attribute, tetrahedra.old_element, attribute,
                tetrahedra.new_element );
        }

        void MacroInfoBuilder3D::update_after_split(
            const SolidSplitTetrahedronInfo& split )
        {
            update_facets( split.facets );
            update_edges( split.edges );
        }

        void MacroInfoBuilder3D::update_after_split(
            const SolidSplitFacetInfo& split )
        {
            update_facets( split.facets );
            update_edges( split.edges );
        }

        void MacroInfoBuilder3D::update_after_split_edge(
            const SolidSplitEdgeInfo& split )
        {
            update_facets( split.first_facets );
            update_facets( split.second_facets );
            update_facets( split.created_facets );
            update_edges( split.first_edges );
            update_edges( split.second_edges );
            update_edges( split.created_edges );
        }

        void MacroInfoBuilder3D::update_after_collapse_edge(
            const SolidCollapseEdgeInfo& collapse )
        {
            update_facets( collapse.facets );
            update_edges( collapse.edges );
            update_vertices( { ElementEntry{
                collapse.new_vertex, collapse.merged_vertices } } );
        }

        template class MacroInfo< 3 >;
        template class MacroInfoBuilder< 3 >;
    } // namespace internal
} // namespace orvane
