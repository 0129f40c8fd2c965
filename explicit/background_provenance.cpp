#include <explicit/background_provenance.hpp>

#include <openorvane/basic/attribute_manager.hpp>
#include <openorvane/mesh/edges.hpp>
#include <openorvane/mesh/facets.hpp>
#include <openorvane/mesh/tetrahedral_solid.hpp>

namespace orvane
{
    namespace internal
    {
        namespace
        {
            constexpr const char* INIT_VERTEX = "init_vertex_id";
            constexpr const char* INIT_EDGE = "init_edge_id";
            constexpr const char* INIT_FACET = "init_facet_id";
        } // namespace

        BackgroundProvenance::BackgroundProvenance(
            const TetrahedralSolid< 3 >& solid )
            : solid_( solid )
        {
            auto& vertices = solid.vertex_attribute_manager();
            vertex_init_vertex_ =
                vertices.find_attribute< std::vector< MeshVertex > >( INIT_VERTEX );
            vertex_init_edge_ =
                vertices.find_attribute< std::vector< MeshEdge > >( INIT_EDGE );
            vertex_init_facet_ =
                vertices.find_attribute< std::vector< MeshPolygon > >( INIT_FACET );
            edge_init_edge_ =
                solid.edges().edge_attribute_manager().find_attribute<
                    std::vector< MeshEdge > >( INIT_EDGE );
            facet_init_facet_ =
                solid.facets().facet_attribute_manager().find_attribute<
                    std::vector< MeshPolygon > >( INIT_FACET );
        }

        BackgroundProvenance::~BackgroundProvenance() = default;

        const std::vector< MeshVertex >& BackgroundProvenance::init_vertex_ids(
            index_t vertex ) const
        {
            return vertex_init_vertex_->value( vertex );
        }

        const std::vector< MeshEdge >& BackgroundProvenance::vertex_init_edge_ids(
            index_t vertex ) const
        {
            return vertex_init_edge_->value( vertex );
        }

        const std::vector< MeshPolygon >&
            BackgroundProvenance::vertex_init_facet_ids( index_t vertex ) const
        {
            return vertex_init_facet_->value( vertex );
        }

        const std::vector< MeshEdge >& BackgroundProvenance::init_edge_ids(
            index_t edge ) const
        {
            return edge_init_edge_->value( edge );
        }

        const std::vector< MeshPolygon >& BackgroundProvenance::init_facet_ids(
            index_t facet ) const
        {
            return facet_init_facet_->value( facet );
        }

        std::optional< index_t > BackgroundProvenance::edge_from_vertices(
            const std::array< index_t, 2 >& vertices ) const
        {
            return solid_.edges().edge_from_vertices( { vertices[0], vertices[1] } );
        }

        bool BackgroundProvenance::is_provenance_included(
            index_t moved, index_t kept ) const
        {
            return detail::are_records_included(
                       init_vertex_ids( moved ), init_vertex_ids( kept ) )
                   && detail::are_records_included( vertex_init_edge_ids( moved ),
                       vertex_init_edge_ids( kept ) )
                   && detail::are_records_included( vertex_init_facet_ids( moved ),
                       vertex_init_facet_ids( kept ) );
        }

        std::vector< index_t > BackgroundProvenance::facets_around_edge(
            const std::array< index_t, 2 >& edge ) const
        {
            std::vector< index_t > result;
            const auto& facets = solid_.facets();
            for( const auto tetrahedron :
                solid_.polyhedra_around_edge( { edge[0], edge[1] } ) )
            {
                for( const auto& facet : solid_.edge_incident_facets(
                         tetrahedron, { edge[0], edge[1] } ) )
                {
                    const auto index =
                        facets
                            .facet_from_vertices(
                                solid_.polyhedron_facet_vertices( facet ) )
                            .value();
                    if( !facet_init_facet_->value( index ).empty() )
                    {
                        result.push_back( index );
                    }
                }
            }
            std::sort( result.begin(), result.end() );
            result.erase( std::unique( result.begin(), result.end() ), result.end() );
            return result;
        }
    } // namespace internal
} // namespace orvane
