#include <simplex/block/tetgen_mesher.hpp>

#include <algorithm>
#include <array>
#include <cmath>
#include <mutex>

#include <absl/container/flat_hash_map.h>
#include <absl/container/inlined_vector.h>
#include <absl/strings/str_cat.h>

#include <tetgen.h>

#include <openorvane/basic/async.hpp>
#include <openorvane/basic/exception.hpp>
#include <openorvane/geometry/predicates.hpp>
#include <openorvane/mesh/tetrahedral_solid.hpp>
#include <openorvane/model/brep.hpp>
#include <openorvane/model/brep_builder.hpp>

#include <simplex/block/block_vertices.hpp>

namespace
{
    using namespace orvane;

    /// The tetrahedraliser re-initialises its predicates' process-wide
    /// constants and filters from each run's bounding box: two runs at once
    /// could read each other's settings and take wrong orientation signs.
    std::mutex& tetrahedralize_mutex()
    {
        static std::mutex mutex;
        return mutex;
    }

    std::unique_ptr< TetrahedralSolidBuilder< 3 > > create_block_builder(
        BRepBuilder& builder, const uuid& block )
    {
        auto& mesh = dynamic_cast< TetrahedralSolid< 3 >& >(
            builder.modifiable_block( block ).get_modifiable_mesh() );
        return TetrahedralSolidBuilder< 3 >::create( mesh );
    }
} // namespace

namespace orvane
{
    namespace detail
    {
        std::string tetgen_error_message( int code )
        {
            switch( code )
            {
            case 1:
                return "[TetgenMesher] Out of memory";
            case 2:
                return "[TetgenMesher] Internal Error";
            case 3:
                return "[TetgenMesher] A self-intersection was detected";
            case 4:
                return "[TetgenMesher] A very small input feature size was detected";
            case 5:
                return "[TetgenMesher] Two very close input polygons were detected";
            case 10:
                return "[TetgenMesher] An input error was detected";
            case 200:
                return "[TetgenMesher] Boundary contains Steiner points";
            default:
                return absl::StrCat( "[TetgenMesher] Tetrahedralize failed (", code, ")" );
            }
        }

        std::vector< index_t > unique_vertices_of_markers( absl::Span< const int > markers,
            absl::Span< const double > coordinates,
            absl::FunctionRef< const Point< 3 >*( index_t ) > model_point )
        {
            std::vector< index_t > unique_vertices( markers.size(), NO_ID );
            for( std::size_t i = 0; i < markers.size(); i++ )
            {
                if( markers[i] < 1 )
                {
                    continue;
                }
                const auto unique_vertex = static_cast< index_t >( markers[i] - 1 );
                const auto* expected = model_point( unique_vertex );
                const Point< 3 > point{ { coordinates[3 * i], coordinates[3 * i + 1],
                    coordinates[3 * i + 2] } };
                // Model points come out with the very coordinates they went
                // in with; a point elsewhere carrying a positive marker was
                // added on a facet or a segment.
                if( expected == nullptr || *expected != point )
                {
                    throw OpenOrvaneException{ detail::tetgen_error_message( 200 ) };
                }
                unique_vertices[i] = unique_vertex;
            }
            return unique_vertices;
        }
    } // namespace detail

    namespace internal
    {
        class TetgenMesher::Impl
        {
        public:
            Impl( BRepBuilder& model_builder, const uuid& block, absl::Span< const Point< 3 > > extra )
                : builder( create_block_builder( model_builder, block ) ), points( extra )
            {
                behavior.plc = 1;
                behavior.nobisect = 1;
                behavior.regionattrib = 1;
                behavior.neighout = 1;
                behavior.nofacewritten = 1;
                behavior.quiet = 1;
                if( points.empty() )
                {
                    behavior.quality = 1;
                    behavior.minratio = 1.0;
                }
            }

            ~Impl()
            {
                // The facets' polygons live in the two arrays below, not in
                // per-facet blocks that the record would release.
                delete[] in.facetlist;
                in.facetlist = nullptr;
                in.numberoffacets = 0;
                delete[] polygon_vertices;
                delete[] polygons;
            }

            void add_points( const BRep& model, const Block< 3 >& block )
            {
                index_t nb_reserved = 0;
                for( const auto& surface : model.boundaries( block ) )
                {
                    nb_reserved += surface.mesh().nb_vertices();
                }
                point_indices.reserve( nb_reserved );
                model_points.reserve( nb_reserved );
                detail::visit_block_vertices( model, block,
                    [this]( index_t unique_vertex, const Point< 3 >& point ) {
                        const auto index = static_cast< int >( model_points.size() );
                        if( point_indices.try_emplace( unique_vertex, index ).second )
                        {
                            model_points.push_back( point );
                        }
                    } );
                const auto nb_model_points = model_points.size();
                const auto nb_points = nb_model_points + points.size();
                in.numberofpoints = static_cast< int >( nb_points );
                in.pointlist = new REAL[3 * nb_points];
                in.pointmarkerlist = new int[nb_points];
                for( std::size_t j = 0; j < points.size(); j++ )
                {
                    write_point( nb_model_points + j, points[j], -static_cast< int >( j + 1 ) );
                }
                for( const auto& [unique_vertex, index] : point_indices )
                {
                    write_point( static_cast< std::size_t >( index ), model_points[index],
                        static_cast< int >( unique_vertex + 1 ) );
                }
            }

            void add_facets( const BRep& model, const Block< 3 >& block )
            {
                std::size_t nb_facets = 0;
                for( const auto& surface : model.boundaries( block ) )
                {
                    nb_facets += surface.mesh().nb_polygons();
                }
                for( const auto& surface : model.internal_surfaces( block ) )
                {
                    nb_facets += surface.mesh().nb_polygons();
                }
                in.numberoffacets = static_cast< int >( nb_facets );
                in.facetlist = new tetgenio::facet[nb_facets];
                polygons = new tetgenio::polygon[nb_facets];
                polygon_vertices = new int[3 * nb_facets];
                std::size_t facet = 0;
                const auto add_surface = [&]( const Surface< 3 >& surface ) {
                    const auto& mesh = surface.mesh();
                    for( index_t p = 0; p < mesh.nb_polygons(); p++ )
                    {
                        auto& record = in.facetlist[facet];
                        tetgenio::init( &record );
                        record.numberofpolygons = 1;
                        record.polygonlist = &polygons[facet];
                        polygons[facet].numberofvertices = 3;
                        polygons[facet].vertexlist = &polygon_vertices[3 * facet];
                        for( const local_index_t v : { 0, 1, 2 } )
                        {
                            polygon_vertices[3 * facet + v] = point_indices.at( model.unique_vertex(
                                { surface.component_id(), mesh.polygon_vertex( { p, v } ) } ) );
                        }
                        facet++;
                    }
                };
                for( const auto& surface : model.boundaries( block ) )
                {
                    add_surface( surface );
                }
                for( const auto& surface : model.internal_surfaces( block ) )
                {
                    add_surface( surface );
                }
            }

            void add_edges( const BRep& model, const Block< 3 >& block )
            {
                std::size_t nb_edges = 0;
                for( const auto& line : model.internal_lines( block ) )
                {
                    nb_edges += line.mesh().nb_edges();
                }
                if( nb_edges == 0 )
                {
                    return;
                }
                in.numberofedges = static_cast< int >( nb_edges );
                in.edgelist = new int[2 * nb_edges];
                std::size_t edge = 0;
                for( const auto& line : model.internal_lines( block ) )
                {
                    const auto& mesh = line.mesh();
                    for( index_t e = 0; e < mesh.nb_edges(); e++ )
                    {
                        for( const local_index_t v : { 0, 1 } )
                        {
                            in.edgelist[2 * edge + v] = point_indices.at( model.unique_vertex(
                                { line.component_id(), mesh.edge_vertex( { e, v } ) } ) );
                        }
                        edge++;
                    }
                }
            }

            /// Inputs on which the tetrahedraliser stops the process instead
            /// of reporting a failure: too few points, a non-finite
            /// coordinate, points without extent along an axis, a facet
            /// whose three points are collinear.
            void check_input() const
            {
                const auto refuse = [] {
                    throw OpenOrvaneException{ detail::tetgen_error_message( 10 ) };
                };
                if( in.numberofpoints < 4 )
                {
                    refuse();
                }
                std::array< double, 3 > low{ in.pointlist[0], in.pointlist[1], in.pointlist[2] };
                auto high = low;
                for( int p = 0; p < in.numberofpoints; p++ )
                {
                    for( const int c : { 0, 1, 2 } )
                    {
                        const auto value = in.pointlist[3 * p + c];
                        if( !std::isfinite( value ) )
                        {
                            refuse();
                        }
                        low[c] = std::min( low[c], value );
                        high[c] = std::max( high[c], value );
                    }
                }
                for( const int c : { 0, 1, 2 } )
                {
                    if( !( high[c] > low[c] ) )
                    {
                        refuse();
                    }
                }
                const auto point = [this]( int index ) {
                    return Point< 3 >{ { in.pointlist[3 * index], in.pointlist[3 * index + 1],
                        in.pointlist[3 * index + 2] } };
                };
                for( int f = 0; f < in.numberoffacets; f++ )
                {
                    const auto* vertices = in.facetlist[f].polygonlist[0].vertexlist;
                    const orvane::Triangle< 3 > triangle{ point( vertices[0] ),
                        point( vertices[1] ), point( vertices[2] ) };
                    if( triangle_area_sign( triangle, 0 ) == SIDE::zero
                        && triangle_area_sign( triangle, 1 ) == SIDE::zero
                        && triangle_area_sign( triangle, 2 ) == SIDE::zero )
                    {
                        refuse();
                    }
                }
            }

            void run_tetgen()
            {
                check_input();
                try
                {
                    const std::lock_guard< std::mutex > lock{ tetrahedralize_mutex() };
                    tetrahedralize( &behavior, &in, &out, nullptr, nullptr );
                }
                catch( const int code )
                {
                    throw OpenOrvaneException{ detail::tetgen_error_message( code ) };
                }
            }

            void assign_points()
            {
                async::parallel_for( 0, static_cast< index_t >( out.numberofpoints ), [this]( index_t i ) {
                    builder->set_point( i, Point< 3 >{ { out.pointlist[3 * i],
                                               out.pointlist[3 * i + 1], out.pointlist[3 * i + 2] } } );
                } );
            }

            std::vector< index_t > assign_vertices() const
            {
                return detail::unique_vertices_of_markers(
                    { out.pointmarkerlist, static_cast< std::size_t >( out.numberofpoints ) },
                    { out.pointlist, 3 * static_cast< std::size_t >( out.numberofpoints ) },
                    [this]( index_t unique_vertex ) -> const Point< 3 >* {
                        const auto found = point_indices.find( unique_vertex );
                        if( found == point_indices.end() )
                        {
                            return nullptr;
                        }
                        return &model_points[static_cast< std::size_t >( found->second )];
                    } );
            }

            void assign_tetrahedra()
            {
                const auto nb_tetrahedra = static_cast< index_t >( out.numberoftetrahedra );
                // Regions that have a facet on the border of the
                // tetrahedralisation; enclosed regions are dropped.
                absl::InlinedVector< double, 2 > border_regions;
                for( index_t t = 0; t < nb_tetrahedra; t++ )
                {
                    for( const local_index_t f : { 0, 1, 2, 3 } )
                    {
                        if( out.neighborlist[4 * t + f] != -1 )
                        {
                            continue;
                        }
                        const auto region = region_of( t );
                        if( std::find( border_regions.begin(), border_regions.end(), region )
                            == border_regions.end() )
                        {
                            border_regions.push_back( region );
                        }
                        break;
                    }
                }
                new_indices.assign( nb_tetrahedra, NO_ID );
                for( index_t t = 0; t < nb_tetrahedra; t++ )
                {
                    if( std::find( border_regions.begin(), border_regions.end(), region_of( t ) )
                        == border_regions.end() )
                    {
                        continue;
                    }
                    new_indices[t] = builder->create_tetrahedron( { static_cast< index_t >(
                                                                        out.tetrahedronlist[4 * t] ),
                        static_cast< index_t >( out.tetrahedronlist[4 * t + 1] ),
                        static_cast< index_t >( out.tetrahedronlist[4 * t + 2] ),
                        static_cast< index_t >( out.tetrahedronlist[4 * t + 3] ) } );
                }
            }

            void assign_tetrahedra_adjacencies()
            {
                async::parallel_for(
                    0, static_cast< index_t >( out.numberoftetrahedra ), [this]( index_t t ) {
                        if( new_indices[t] == NO_ID )
                        {
                            return;
                        }
                        for( const local_index_t f : { 0, 1, 2, 3 } )
                        {
                            const auto neighbour = out.neighborlist[4 * t + f];
                            if( neighbour == -1 )
                            {
                                continue;
                            }
                            const auto adjacent = new_indices[static_cast< index_t >( neighbour )];
                            if( adjacent == NO_ID )
                            {
                                throw OpenOrvaneException{
                                    "[TetgenMesher::assign_tetrahedra_adjacencies] Wrong "
                                    "adjacent value"
                                };
                            }
                            // Neighbour slot f is across the facet opposite
                            // corner f, as facet f of the block mesh.
                            builder->set_polyhedron_adjacent( { new_indices[t], f }, adjacent );
                        }
                    } );
            }

            std::unique_ptr< TetrahedralSolidBuilder< 3 > > builder;
            absl::Span< const Point< 3 > > points;
            tetgenio in;
            tetgenio out;
            tetgenbehavior behavior;
            tetgenio::polygon* polygons{ nullptr };
            int* polygon_vertices{ nullptr };
            /// Unique vertex to index of its point in the complex, and the
            /// model points in index order; kept through the run to check the
            /// output points that carry a model marker.
            absl::flat_hash_map< index_t, int > point_indices;
            std::vector< Point< 3 > > model_points;
            std::vector< index_t > new_indices;

        private:
            void write_point( std::size_t index, const Point< 3 >& point, int marker )
            {
                for( const local_index_t c : { 0, 1, 2 } )
                {
                    in.pointlist[3 * index + c] = point.value( c );
                }
                in.pointmarkerlist[index] = marker;
            }

            double region_of( index_t tetrahedron ) const
            {
                if( out.tetrahedronattributelist == nullptr || out.numberoftetrahedronattributes < 1 )
                {
                    return 0.;
                }
                return out.tetrahedronattributelist[static_cast< std::size_t >( tetrahedron )
                                                    * out.numberoftetrahedronattributes];
            }
        };

        TetgenMesher::TetgenMesher( const BRep& model,
            BRepBuilder& builder,
            const Block< 3 >& block_to_mesh,
            absl::Span< const Point< 3 > > points )
            : impl( std::make_unique< Impl >( builder, block_to_mesh.id(), points ) ),
              brep( model ),
              block( block_to_mesh )
        {
        }

        TetgenMesher::~TetgenMesher() = default;

        RemeshedComponent TetgenMesher::assign_result()
        {
            impl->add_points( brep, block );
            impl->add_facets( brep, block );
            impl->add_edges( brep, block );
            impl->run_tetgen();
            if( impl->out.numberoftetrahedra == 0 )
            {
                throw OpenOrvaneException{ "[TetgenMesher::assign_result] Generated mesh is empty" };
            }
            impl->builder->create_vertices( static_cast< index_t >( impl->out.numberofpoints ) );
            RemeshedComponent result{ block.component_id() };
            async::parallel_invoke(
                [this, &result] {
                    async::parallel_invoke(
                        [this] {
                            impl->assign_tetrahedra();
                            impl->assign_tetrahedra_adjacencies();
                        },
                        [this, &result] { result.unique_vertices = impl->assign_vertices(); } );
                },
                [this] { impl->assign_points(); } );
            return result;
        }
    } // namespace internal
} // namespace orvane
