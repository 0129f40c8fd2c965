#include <tests/explicit/provenance_scenes.hpp>

#include <algorithm>

#include <openorvane/basic/attribute_manager.hpp>
#include <openorvane/basic/exception.hpp>
#include <openorvane/mesh/edges.hpp>
#include <openorvane/mesh/facets.hpp>
#include <openorvane/mesh/surface_mesh.hpp>
#include <openorvane/mesh/grid_conversion.hpp>
#include <openorvane/mesh/light_regular_grid.hpp>
#include <openorvane/mesh/triangulated_surface_builder.hpp>

namespace orvane
{
    namespace test
    {
        namespace
        {
            template < typename Record >
            void add_unique( VariableAttribute< std::vector< Record > >& attribute,
                index_t element,
                const Record& record )
            {
                attribute.modify_value( element, [&record]( std::vector< Record >& list ) {
                    if( std::find( list.begin(), list.end(), record ) == list.end() )
                    {
                        list.push_back( record );
                    }
                } );
            }
        } // namespace

        ProvenanceSolid::ProvenanceSolid(
            std::unique_ptr< TetrahedralSolid< 3 > > mesh )
            : solid( std::move( mesh ) )
        {
            solid->enable_edges();
            solid->enable_facets();
            auto& vertices = solid->vertex_attribute_manager();
            vertex_init_vertex = vertices.find_or_create_attribute< VariableAttribute,
                std::vector< MeshVertex > >( "init_vertex_id", {} );
            vertex_init_edge = vertices.find_or_create_attribute< VariableAttribute,
                std::vector< MeshEdge > >( "init_edge_id", {} );
            vertex_init_facet = vertices.find_or_create_attribute< VariableAttribute,
                std::vector< MeshPolygon > >( "init_facet_id", {} );
            edge_init_edge = solid->edges()
                                 .edge_attribute_manager()
                                 .find_or_create_attribute< VariableAttribute,
                                     std::vector< MeshEdge > >( "init_edge_id", {} );
            facet_init_facet = solid->facets()
                                   .facet_attribute_manager()
                                   .find_or_create_attribute< VariableAttribute,
                                       std::vector< MeshPolygon > >(
                                       "init_facet_id", {} );
        }

        void ProvenanceSolid::add_vertex_record(
            index_t vertex, const MeshVertex& record )
        {
            add_unique( *vertex_init_vertex, vertex, record );
        }

        void ProvenanceSolid::add_edge_record( index_t edge, const MeshEdge& record )
        {
            add_unique( *edge_init_edge, edge, record );
            for( const auto vertex : solid->edges().edge_vertices( edge ) )
            {
                add_unique( *vertex_init_edge, vertex, record );
            }
        }

        void ProvenanceSolid::add_facet_record(
            index_t facet, const MeshPolygon& record )
        {
            add_unique( *facet_init_facet, facet, record );
            for( const auto vertex : solid->facets().facet_vertices( facet ) )
            {
                add_unique( *vertex_init_facet, vertex, record );
            }
        }

        index_t ProvenanceSolid::vertex_at( const Point< 3 >& point ) const
        {
            for( index_t v = 0; v < solid->nb_vertices(); ++v )
            {
                if( solid->point( v ) == point )
                {
                    return v;
                }
            }
            throw OpenOrvaneException{ "No solid vertex at ", point.string() };
        }

        void ProvenanceSolid::mark_planar_facets( const uuid& surface,
            local_index_t axis,
            double value,
            const std::function< index_t( const Point< 3 >& ) >& polygon )
        {
            const auto& facets = solid->facets();
            for( index_t f = 0; f < facets.nb_facets(); ++f )
            {
                const auto& vertices = facets.facet_vertices( f );
                Point< 3 > barycenter;
                bool in_plane{ true };
                for( const auto vertex : vertices )
                {
                    const auto& point = solid->point( vertex );
                    in_plane = in_plane && point.value( axis ) == value;
                    barycenter += point / 3.;
                }
                if( !in_plane )
                {
                    continue;
                }
                const auto index = polygon( barycenter );
                if( index != NO_ID )
                {
                    add_facet_record( f, { surface, index } );
                }
            }
        }

        void ProvenanceSolid::mark_input_vertices( const SurfaceMesh< 3 >& surface )
        {
            for( index_t v = 0; v < surface.nb_vertices(); ++v )
            {
                add_vertex_record(
                    vertex_at( surface.point( v ) ), { surface.id(), v } );
            }
        }

        void ProvenanceSolid::mark_input_edges( const SurfaceMesh< 3 >& surface )
        {
            surface.enable_edges();
            const auto& input_edges = surface.edges();
            const auto& edges = solid->edges();
            // Exact tests: the scenes use coordinates that are sums of powers
            // of two.
            const auto on_segment = []( const Point< 3 >& point, const Point< 3 >& a,
                                        const Point< 3 >& b ) {
                const Vector< 3 > ab{ a, b };
                const Vector< 3 > ap{ a, point };
                const auto cross = ab.cross( ap );
                if( cross.value( 0 ) != 0. || cross.value( 1 ) != 0.
                    || cross.value( 2 ) != 0. )
                {
                    return false;
                }
                const auto along = ab.dot( ap );
                return along >= 0. && along <= ab.dot( ab );
            };
            for( index_t e = 0; e < input_edges.nb_edges(); ++e )
            {
                const auto& ends = input_edges.edge_vertices( e );
                const auto& a = surface.point( ends[0] );
                const auto& b = surface.point( ends[1] );
                for( index_t s = 0; s < edges.nb_edges(); ++s )
                {
                    const auto& vertices = edges.edge_vertices( s );
                    if( on_segment( solid->point( vertices[0] ), a, b )
                        && on_segment( solid->point( vertices[1] ), a, b ) )
                    {
                        add_edge_record( s, { surface.id(), e } );
                    }
                }
            }
        }

        void ProvenanceSolid::mark_input( const SurfaceMesh< 3 >& surface )
        {
            mark_input_vertices( surface );
            mark_input_edges( surface );
        }

        std::unique_ptr< TetrahedralSolid< 3 > > grid_solid( const Point< 3 >& origin,
            const std::array< index_t, 3 >& cells,
            double length )
        {
            const LightRegularGrid< 3 > grid{ origin, cells,
                { length, length, length } };
            return convert_grid_into_tetrahedral_solid( grid );
        }

        std::unique_ptr< TriangulatedSurface< 3 > > surface_of(
            const std::vector< Point< 3 > >& points,
            const std::vector< std::array< index_t, 3 > >& triangles )
        {
            auto surface = TriangulatedSurface< 3 >::create();
            auto builder = TriangulatedSurfaceBuilder< 3 >::create( *surface );
            for( const auto& point : points )
            {
                builder->create_point( point );
            }
            for( const auto& triangle : triangles )
            {
                builder->create_triangle( triangle );
            }
            builder->compute_polygon_adjacencies();
            return surface;
        }

        CrossingQuads::CrossingQuads( double length, bool crossing )
            : background( grid_solid(
                Point< 3 >{ { 0., 0., crossing ? -2. : -length } },
                { static_cast< index_t >( 4. / length ),
                    static_cast< index_t >( 4. / length ),
                    crossing ? static_cast< index_t >( 4. / length ) : 2 },
                length ) )
        {
            surfaces.push_back( surface_of( { Point< 3 >{ { 0., 0., 0. } },
                                                Point< 3 >{ { 4., 0., 0. } },
                                                Point< 3 >{ { 4., 4., 0. } },
                                                Point< 3 >{ { 0., 4., 0. } } },
                { { 0, 1, 2 }, { 0, 2, 3 } } ) );
            surfaces.push_back( surface_of( { Point< 3 >{ { 2., 0., -2. } },
                                                Point< 3 >{ { 2., 4., -2. } },
                                                Point< 3 >{ { 2., 4., 2. } },
                                                Point< 3 >{ { 2., 0., 2. } } },
                { { 0, 1, 2 }, { 0, 2, 3 } } ) );
            background.mark_planar_facets(
                surfaces[0]->id(), 2, 0., []( const Point< 3 >& center ) {
                    return center.value( 0 ) > center.value( 1 ) ? index_t{ 0 }
                                                                  : index_t{ 1 };
                } );
            if( crossing )
            {
                mark_vertical_quad();
            }
            background.mark_input( *surfaces[0] );
            if( crossing )
            {
                background.mark_input( *surfaces[1] );
            }
        }

        void CrossingQuads::mark_vertical_quad()
        {
            background.mark_planar_facets(
                surfaces[1]->id(), 0, 2., []( const Point< 3 >& center ) {
                    const auto y = center.value( 1 );
                    const auto z = center.value( 2 );
                    if( z < -2. || z > 2. )
                    {
                        return NO_ID;
                    }
                    return y > z + 2. ? index_t{ 0 } : index_t{ 1 };
                } );
        }
    } // namespace test
} // namespace orvane
