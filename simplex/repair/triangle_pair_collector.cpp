#include <simplex/repair/triangle_pair_collector.hpp>

#include <openorvane/geometry/intersection_detection.hpp>
#include <openorvane/geometry/position.hpp>
#include <openorvane/mesh/triangulated_surface.hpp>
#include <openorvane/model/brep.hpp>
#include <openorvane/model/surface.hpp>

#include <simplex/repair/repair_brep_surfaces.hpp>
#include <simplex/repair/repair_geometry.hpp>

namespace
{
    using namespace orvane;

    const TriangulatedSurface< 3 >& triangulated( const Surface< 3 >& surface )
    {
        return dynamic_cast< const TriangulatedSurface< 3 >& >( surface.mesh() );
    }
} // namespace

namespace orvane::internal
{
    TrianglePairCollector::TrianglePairCollector( RepairBRepSurfaces& repair,
        const Surface< 3 >& surface_d,
        const Surface< 3 >& surface_m )
        : repairer( repair ),
          d( surface_d ),
          m( surface_m ),
          mesh_d( triangulated( surface_d ) ),
          mesh_m( triangulated( surface_m ) )
    {
    }

    bool TrianglePairCollector::operator()( index_t triangle_d, index_t triangle_m )
    {
        const auto triangle = mesh_m.triangle( triangle_m );
        for( const local_index_t c : { 0, 1, 2 } )
        {
            const PolygonEdge edge{ triangle_d, c };
            const auto adjacent = mesh_d.polygon_adjacent( edge );
            if( adjacent && *adjacent > triangle_d )
            {
                continue;
            }
            const auto [on_segment, on_triangle] =
                segment_triangle_intersection_detection( mesh_d.segment( edge ), triangle );
            if( on_segment == POSITION::inside || on_triangle == POSITION::inside )
            {
                crossing_edges.push_back( { edge, triangle_m } );
                continue;
            }
            if( on_segment != POSITION::parallel )
            {
                continue;
            }
            const auto uniques = sorted_unique_vertices( repairer.output(), d, edge );
            if( uniques[1] == NO_ID )
            {
                // An end without unique vertex names no model edge.
                continue;
            }
            for( const local_index_t i : { 0, 1, 2 } )
            {
                const PolygonEdge other{ triangle_m, i };
                if( sorted_unique_vertices( repairer.output(), m, other ) != uniques )
                {
                    continue;
                }
                // An edge on the border of both surfaces lies on a line: the
                // model allows it.
                if( adjacent || !mesh_m.is_edge_on_border( other ) )
                {
                    shared_edges.push_back( { edge, other } );
                }
            }
        }
        return false;
    }
} // namespace orvane::internal
