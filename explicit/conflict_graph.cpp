#include <explicit/conflict_graph.hpp>

#include <openorvane/basic/attribute_manager.hpp>
#include <openorvane/mesh/edged_curve.hpp>
#include <openorvane/mesh/point_set.hpp>
#include <openorvane/mesh/triangulated_surface.hpp>

namespace
{
    const std::string SURFACE{ "Surface" };
    const std::string LINE{ "Line" };
    const std::string CORNER{ "Corner" };
} // namespace

namespace orvane
{
    namespace internal
    {
        ConflictGraph::ConflictGraph( const ModelerMeshes& meshes )
            : graph_( Graph::create() ),
              builder_( GraphBuilder::create( *graph_ ) ),
              cme_( graph_->vertex_attribute_manager()
                        .find_or_create_attribute< VariableAttribute,
                            ComponentMeshElement >( "cme_attribute",
                            ComponentMeshElement{
                                ComponentID{ ComponentType{ "undefined" }, uuid{} },
                                NO_ID } ) )
        {
            for( const auto* surface : meshes.surfaces )
            {
                element_vertices_.surfaces[surface->id()].assign(
                    surface->nb_polygons(), NO_ID );
            }
            for( const auto* curve : meshes.curves )
            {
                element_vertices_.lines[curve->id()].assign( curve->nb_edges(), NO_ID );
            }
            for( const auto* points : meshes.point_sets )
            {
                element_vertices_.corners[points->id()].assign(
                    points->nb_vertices(), NO_ID );
            }
        }

        ConflictGraph::~ConflictGraph() = default;

        std::vector< index_t >& ConflictGraph::table( const ComponentMeshElement& element )
        {
            const auto& type = element.component_id.type().get();
            auto& lists = type == SURFACE ? element_vertices_.surfaces
                          : type == LINE  ? element_vertices_.lines
                                          : element_vertices_.corners;
            return lists.at( element.component_id.id() );
        }

        index_t ConflictGraph::element_vertex( const ComponentMeshElement& element ) const
        {
            return const_cast< ConflictGraph* >( this )->table( element ).at(
                element.element );
        }

        index_t ConflictGraph::find_or_create_vertex( const ComponentMeshElement& element )
        {
            auto& entry = table( element ).at( element.element );
            if( entry == NO_ID )
            {
                entry = builder_->create_vertex();
                cme_->set_value( entry, element );
            }
            return entry;
        }

        void ConflictGraph::add_conflict(
            const ComponentMeshElement& first, const ComponentMeshElement& second )
        {
            const auto v0 = find_or_create_vertex( first );
            const auto v1 = find_or_create_vertex( second );
            if( v0 == v1 || graph_->edge_from_vertices( { v0, v1 } ) )
            {
                return;
            }
            builder_->create_edge( v0, v1 );
        }

        bool ConflictGraph::merge( const ConflictGraph& other )
        {
            for( index_t edge = 0; edge < other.graph_->nb_edges(); edge++ )
            {
                const auto vertices = other.graph_->edge_vertices( edge );
                add_conflict(
                    other.element( vertices[0] ), other.element( vertices[1] ) );
            }
            return other.graph_->nb_vertices() > 0;
        }

        ProblematicElements ConflictGraph::component_elements(
            absl::Span< const index_t > vertices ) const
        {
            ProblematicElements elements;
            for( const auto vertex : vertices )
            {
                const auto& element = this->element( vertex );
                const auto& type = element.component_id.type().get();
                if( type == SURFACE )
                {
                    elements.surfaces[element.component_id.id()].push_back(
                        element.element );
                }
                else if( type == LINE )
                {
                    elements.lines[element.component_id.id()].push_back(
                        element.element );
                }
                else if( type == CORNER )
                {
                    elements.corners[element.component_id.id()].push_back(
                        element.element );
                }
            }
            return elements;
        }
    } // namespace internal
} // namespace orvane
