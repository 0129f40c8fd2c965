#include <tests/support/brep_checks.hpp>

#include <algorithm>
#include <cmath>
#include <array>

#include <absl/container/flat_hash_map.h>
#include <absl/strings/str_cat.h>

#include <openorvane/geometry/mensuration.hpp>

#include <openorvane/mesh/tetrahedral_solid.hpp>
#include <openorvane/mesh/triangulated_surface.hpp>
#include <openorvane/model/model_component_mesh_edges.hpp>
#include <openorvane/model/model_component_mesh_polygons.hpp>
#include <tests/support/solid_checks.hpp>
#include <tests/support/surface_checks.hpp>

namespace orvane
{
    namespace test
    {
        namespace
        {
            const ComponentType CORNER{ "Corner" };
            const ComponentType LINE{ "Line" };
            const ComponentType SURFACE{ "Surface" };
            const ComponentType BLOCK{ "Block" };

            bool has_typed_component( const BRep& model, const ComponentID& id )
            {
                const auto& type = id.type();
                return ( type == CORNER && model.has_corner( id.id() ) )
                       || ( type == LINE && model.has_line( id.id() ) )
                       || ( type == SURFACE && model.has_surface( id.id() ) )
                       || ( type == BLOCK && model.has_block( id.id() ) );
            }

            index_t nb_mesh_vertices( const BRep& model, const ComponentID& id )
            {
                const auto& type = id.type();
                if( type == CORNER )
                {
                    return model.corner( id.id() ).mesh().nb_vertices();
                }
                if( type == LINE )
                {
                    return model.line( id.id() ).mesh().nb_vertices();
                }
                if( type == SURFACE )
                {
                    return model.surface( id.id() ).mesh().nb_vertices();
                }
                return model.block( id.id() ).mesh().nb_vertices();
            }

            const Point< 3 >& mesh_point( const BRep& model, const ComponentMeshVertex& cmv )
            {
                const auto& type = cmv.component_id.type();
                const auto& id = cmv.component_id.id();
                if( type == CORNER )
                {
                    return model.corner( id ).mesh().point( cmv.vertex );
                }
                if( type == LINE )
                {
                    return model.line( id ).mesh().point( cmv.vertex );
                }
                if( type == SURFACE )
                {
                    return model.surface( id ).mesh().point( cmv.vertex );
                }
                return model.block( id ).mesh().point( cmv.vertex );
            }

            std::vector< ComponentID > all_components( const BRep& model )
            {
                std::vector< ComponentID > ids;
                for( const auto& corner : model.corners() )
                {
                    ids.push_back( corner.component_id() );
                }
                for( const auto& line : model.lines() )
                {
                    ids.push_back( line.component_id() );
                }
                for( const auto& surface : model.surfaces() )
                {
                    ids.push_back( surface.component_id() );
                }
                for( const auto& block : model.blocks() )
                {
                    ids.push_back( block.component_id() );
                }
                return ids;
            }

            bool listed( const std::vector< ComponentID >& list, const ComponentID& id )
            {
                return std::find( list.begin(), list.end(), id ) != list.end();
            }

            /// The allowed types on the other side of each relationship kind.
            std::vector< ComponentType > allowed_boundaries( const ComponentType& type )
            {
                if( type == LINE )
                {
                    return { CORNER };
                }
                if( type == SURFACE )
                {
                    return { LINE };
                }
                if( type == BLOCK )
                {
                    return { SURFACE };
                }
                return {};
            }

            std::vector< ComponentType > allowed_internals( const ComponentType& type )
            {
                if( type == SURFACE )
                {
                    return { LINE, CORNER };
                }
                if( type == BLOCK )
                {
                    return { SURFACE, LINE, CORNER };
                }
                return {};
            }

            bool allowed( const std::vector< ComponentType >& types, const ComponentType& type )
            {
                return std::find( types.begin(), types.end(), type ) != types.end();
            }

            void check_relationships( const BRep& model, std::vector< std::string >& problems )
            {
                for( const auto& id : all_components( model ) )
                {
                    if( !model.is_registered( id.id() ) )
                    {
                        problems.push_back(
                            absl::StrCat( id.string(), " has no relationship entry" ) );
                        continue;
                    }
                    const auto check_side = [&]( const std::vector< ComponentID >& list,
                                                const std::vector< ComponentType >& types,
                                                const char* kind,
                                                auto reverse ) {
                        for( const auto& other : list )
                        {
                            if( !has_typed_component( model, other ) )
                            {
                                problems.push_back( absl::StrCat( id.string(), " lists ",
                                    kind, " ", other.string(), " missing from the model" ) );
                                continue;
                            }
                            if( !allowed( types, other.type() ) )
                            {
                                problems.push_back( absl::StrCat( id.string(),
                                    " has ", kind, " component of type ", other.type().get() ) );
                            }
                            if( !listed( reverse( other.id() ), id ) )
                            {
                                problems.push_back( absl::StrCat( id.string(), " lists ",
                                    kind, " ", other.string(),
                                    " which does not list it back" ) );
                            }
                        }
                    };
                    check_side( model.Relationships::boundaries( id.id() ),
                        allowed_boundaries( id.type() ), "boundary",
                        [&model]( const uuid& other ) -> const std::vector< ComponentID >& {
                            return model.Relationships::incidences( other );
                        } );
                    check_side( model.internals( id.id() ), allowed_internals( id.type() ),
                        "internal",
                        [&model]( const uuid& other ) -> const std::vector< ComponentID >& {
                            return model.embeddings( other );
                        } );
                    // The reverse lists must only name components that list
                    // this one: checked from the other side, except for
                    // entries naming components that are gone.
                    for( const auto& other : model.Relationships::incidences( id.id() ) )
                    {
                        if( !has_typed_component( model, other ) )
                        {
                            problems.push_back( absl::StrCat( id.string(),
                                " lists incidence ", other.string(), " missing from the model" ) );
                        }
                        else if( !listed( model.Relationships::boundaries( other.id() ), id ) )
                        {
                            problems.push_back( absl::StrCat( id.string(), " lists incidence ",
                                other.string(), " which does not list it back" ) );
                        }
                    }
                    for( const auto& other : model.embeddings( id.id() ) )
                    {
                        if( !has_typed_component( model, other ) )
                        {
                            problems.push_back( absl::StrCat( id.string(),
                                " lists embedding ", other.string(), " missing from the model" ) );
                        }
                        else if( !listed( model.internals( other.id() ), id ) )
                        {
                            problems.push_back( absl::StrCat( id.string(), " lists embedding ",
                                other.string(), " which does not list it back" ) );
                        }
                    }
                }
            }

            void check_unique_vertices( const BRep& model,
                const BRepCheckOptions& options,
                std::vector< std::string >& problems )
            {
                const auto nb_unique = model.nb_unique_vertices();
                for( const auto& id : all_components( model ) )
                {
                    const auto nb_vertices = nb_mesh_vertices( model, id );
                    for( index_t v = 0; v < nb_vertices; v++ )
                    {
                        const ComponentMeshVertex cmv{ id, v };
                        const auto unique = model.unique_vertex( cmv );
                        if( unique == NO_ID )
                        {
                            if( options.require_linked_vertices )
                            {
                                problems.push_back(
                                    absl::StrCat( cmv.string(), " has no unique vertex" ) );
                            }
                            continue;
                        }
                        if( unique >= nb_unique )
                        {
                            problems.push_back( absl::StrCat( cmv.string(),
                                " is linked to unique vertex ", unique, " out of range" ) );
                            continue;
                        }
                        const auto& list = model.component_mesh_vertices( unique );
                        const auto count = std::count( list.begin(), list.end(), cmv );
                        if( count != 1 )
                        {
                            problems.push_back( absl::StrCat( cmv.string(),
                                " is listed ", count, " times by its unique vertex ", unique ) );
                        }
                    }
                }
                add_unique_vertex_problems(
                    model, options.allow_empty_unique_vertices, problems );
            }

            void check_meshes( const BRep& model, std::vector< std::string >& problems )
            {
                const auto add = [&problems]( const ComponentID& id,
                                     const std::vector< std::string >& found ) {
                    for( const auto& problem : found )
                    {
                        problems.push_back( absl::StrCat( id.string(), ": ", problem ) );
                    }
                };
                for( const auto& line : model.lines() )
                {
                    add( line.component_id(), graph_problems( line.mesh() ) );
                }
                for( const auto& surface : model.surfaces() )
                {
                    if( const auto* triangulated = dynamic_cast< const TriangulatedSurface< 3 >* >(
                            &surface.mesh() ) )
                    {
                        add( surface.component_id(), triangulated_surface_problems( *triangulated ) );
                    }
                }
                for( const auto& block : model.blocks() )
                {
                    if( const auto* solid =
                            dynamic_cast< const TetrahedralSolid< 3 >* >( &block.mesh() ) )
                    {
                        add( block.component_id(), tetrahedral_solid_problems( *solid ) );
                    }
                }
            }

            void check_line_ends( const BRep& model, std::vector< std::string >& problems )
            {
                for( const auto& line : model.lines() )
                {
                    const auto& mesh = line.mesh();
                    const auto corners = model.boundaries( line );
                    for( index_t v = 0; v < mesh.nb_vertices(); v++ )
                    {
                        if( mesh.edges_around_vertex( v ).size() != 1 )
                        {
                            continue;
                        }
                        const auto unique = model.unique_vertex( { line.component_id(), v } );
                        const auto on_corner =
                            unique != NO_ID
                            && std::any_of( corners.begin(), corners.end(),
                                [&]( const Corner< 3 >& corner ) {
                                    return !model
                                                .mesh_component_vertices( unique, corner.id() )
                                                .empty();
                                } );
                        if( !on_corner )
                        {
                            problems.push_back( absl::StrCat( line.component_id().string(),
                                " ends at vertex ", v, " which is on no bounding corner" ) );
                        }
                    }
                    for( const auto& corner : corners )
                    {
                        for( index_t v = 0; v < corner.mesh().nb_vertices(); v++ )
                        {
                            const auto unique =
                                model.unique_vertex( { corner.component_id(), v } );
                            if( unique == NO_ID
                                || model.mesh_component_vertices( unique, line.id() ).empty() )
                            {
                                problems.push_back( absl::StrCat( corner.component_id().string(),
                                    " bounds ", line.component_id().string(),
                                    " but is not on it" ) );
                            }
                        }
                    }
                }
            }

            void check_surface_borders( const BRep& model, std::vector< std::string >& problems )
            {
                for( const auto& surface : model.surfaces() )
                {
                    std::vector< const Line< 3 >* > lines;
                    for( const auto& line : model.boundaries( surface ) )
                    {
                        lines.push_back( &line );
                    }
                    for( const auto& line : model.internal_lines( surface ) )
                    {
                        lines.push_back( &line );
                    }
                    for( const auto* line : lines )
                    {
                        for( index_t e = 0; e < line->mesh().nb_edges(); e++ )
                        {
                            if( !component_mesh_edges( model, *line, e )
                                     .surfaces.contains( surface.id() ) )
                            {
                                problems.push_back( absl::StrCat(
                                    line->component_id().string(), " edge ", e,
                                    " is not an edge of ", surface.component_id().string() ) );
                            }
                        }
                    }
                    const auto& mesh = surface.mesh();
                    for( index_t p = 0; p < mesh.nb_polygons(); p++ )
                    {
                        for( local_index_t e = 0; e < mesh.nb_polygon_vertices( p ); e++ )
                        {
                            const PolygonEdge edge{ p, e };
                            if( !mesh.is_edge_on_border( edge ) )
                            {
                                continue;
                            }
                            const auto found = component_mesh_edges( model, surface, edge );
                            const auto on_line = std::any_of( lines.begin(), lines.end(),
                                [&found]( const Line< 3 >* line ) {
                                    return found.lines.contains( line->id() );
                                } );
                            if( !on_line )
                            {
                                problems.push_back( absl::StrCat(
                                    surface.component_id().string(), " border edge ",
                                    edge.string(), " lies on no line of the surface" ) );
                            }
                        }
                    }
                }
            }

            /// A block without mesh: its boundary surfaces must close a
            /// shell (every edge of their triangles, in unique vertices, used
            /// an even number of times), the surfaces must be orientable
            /// together (across an edge used twice the two triangles run
            /// opposite ways once each surface takes its sign), and the
            /// shell so oriented must enclose a non-zero volume, which is
            /// then positive for the orientation that bounds the block.
            void check_block_shell(
                const BRep& model, const Block< 3 >& block, std::vector< std::string >& problems )
            {
                struct Use
                {
                    index_t surface;
                    bool forward;
                };
                std::vector< const Surface< 3 >* > surfaces;
                for( const auto& surface : model.boundaries( block ) )
                {
                    surfaces.push_back( &surface );
                }
                // A block record without boundary, or bounded by surfaces
                // without polygons (component skeletons), has no shell yet.
                const auto has_polygons = std::any_of( surfaces.begin(), surfaces.end(),
                    []( const Surface< 3 >* surface ) { return surface->mesh().nb_polygons() != 0; } );
                if( !has_polygons )
                {
                    return;
                }
                absl::flat_hash_map< std::array< index_t, 2 >, std::vector< Use > > edges;
                std::vector< double > volumes( surfaces.size(), 0. );
                Point< 3 > reference;
                for( const auto* surface : surfaces )
                {
                    if( surface->mesh().nb_vertices() != 0 )
                    {
                        reference = surface->mesh().point( 0 );
                        break;
                    }
                }
                for( index_t s = 0; s < surfaces.size(); s++ )
                {
                    const auto& mesh = surfaces[s]->mesh();
                    const auto id = surfaces[s]->component_id();
                    for( index_t p = 0; p < mesh.nb_polygons(); p++ )
                    {
                        const auto vertices = mesh.polygon_vertices( p );
                        for( std::size_t e = 0; e < vertices.size(); e++ )
                        {
                            const auto u0 = model.unique_vertex( { id, vertices[e] } );
                            const auto u1 = model.unique_vertex(
                                { id, vertices[( e + 1 ) % vertices.size()] } );
                            edges[{ std::min( u0, u1 ), std::max( u0, u1 ) }].push_back(
                                { s, u0 < u1 } );
                        }
                        volumes[s] += tetrahedron_signed_volume( { mesh.point( vertices[0] ),
                            mesh.point( vertices[1] ), mesh.point( vertices[2] ), reference } );
                    }
                }
                std::vector< int > signs( surfaces.size(), 0 );
                signs[0] = 1;
                bool changed = true;
                bool consistent = true;
                while( changed )
                {
                    changed = false;
                    for( const auto& [edge, uses] : edges )
                    {
                        if( uses.size() % 2 != 0 )
                        {
                            problems.push_back( absl::StrCat( block.component_id().string(),
                                " is not closed: edge of unique vertices ", edge[0], "-",
                                edge[1], " is used ", uses.size(), " times" ) );
                            return;
                        }
                        if( uses.size() != 2 )
                        {
                            continue;
                        }
                        const auto& a = uses[0];
                        const auto& b = uses[1];
                        // Opposite directions after signing: same sign when
                        // the raw directions differ.
                        const int relation = a.forward != b.forward ? 1 : -1;
                        if( signs[a.surface] != 0 && signs[b.surface] == 0 )
                        {
                            signs[b.surface] = signs[a.surface] * relation;
                            changed = true;
                        }
                        else if( signs[b.surface] != 0 && signs[a.surface] == 0 )
                        {
                            signs[a.surface] = signs[b.surface] * relation;
                            changed = true;
                        }
                        else if( signs[a.surface] != 0
                                 && signs[a.surface] != signs[b.surface] * relation )
                        {
                            consistent = false;
                        }
                    }
                }
                if( !consistent )
                {
                    problems.push_back( absl::StrCat(
                        block.component_id().string(), " boundary cannot be oriented consistently" ) );
                    return;
                }
                double volume{ 0. };
                for( index_t s = 0; s < surfaces.size(); s++ )
                {
                    volume += signs[s] * volumes[s];
                }
                if( std::abs( volume ) <= 1e-12 )
                {
                    problems.push_back( absl::StrCat(
                        block.component_id().string(), " encloses no volume" ) );
                }
            }

            void check_block_boundaries( const BRep& model, std::vector< std::string >& problems )
            {
                // Sorted unique-vertex triple of each surface polygon -> the
                // surfaces holding it.
                absl::flat_hash_map< std::array< index_t, 3 >, std::vector< uuid > > triangles;
                for( const auto& surface : model.surfaces() )
                {
                    const auto& mesh = surface.mesh();
                    for( index_t p = 0; p < mesh.nb_polygons(); p++ )
                    {
                        const auto vertices = mesh.polygon_vertices( p );
                        if( vertices.size() != 3 )
                        {
                            continue;
                        }
                        std::array< index_t, 3 > key;
                        for( std::size_t i = 0; i < 3; i++ )
                        {
                            key[i] = model.unique_vertex( { surface.component_id(), vertices[i] } );
                        }
                        std::sort( key.begin(), key.end() );
                        triangles[key].push_back( surface.id() );
                    }
                }
                for( const auto& block : model.blocks() )
                {
                    if( block.mesh().nb_polyhedra() == 0 )
                    {
                        check_block_shell( model, block, problems );
                        continue;
                    }
                    std::vector< const Surface< 3 >* > surfaces;
                    for( const auto& surface : model.boundaries( block ) )
                    {
                        surfaces.push_back( &surface );
                    }
                    for( const auto& surface : model.internal_surfaces( block ) )
                    {
                        surfaces.push_back( &surface );
                    }
                    for( const auto* surface : surfaces )
                    {
                        for( index_t p = 0; p < surface->mesh().nb_polygons(); p++ )
                        {
                            if( !component_mesh_polygons( model, *surface, p )
                                     .blocks.contains( block.id() ) )
                            {
                                problems.push_back( absl::StrCat(
                                    surface->component_id().string(), " polygon ", p,
                                    " is not a facet of ", block.component_id().string() ) );
                            }
                        }
                    }
                    const auto& mesh = block.mesh();
                    for( index_t p = 0; p < mesh.nb_polyhedra(); p++ )
                    {
                        for( local_index_t f = 0; f < mesh.nb_polyhedron_facets( p ); f++ )
                        {
                            const PolyhedronFacet facet{ p, f };
                            if( !mesh.is_polyhedron_facet_on_border( facet ) )
                            {
                                continue;
                            }
                            const auto vertices = mesh.polyhedron_facet_vertices( facet );
                            std::array< index_t, 3 > key;
                            for( std::size_t i = 0; i < 3; i++ )
                            {
                                key[i] = model.unique_vertex( { block.component_id(), vertices[i] } );
                            }
                            std::sort( key.begin(), key.end() );
                            const auto found = triangles.find( key );
                            const auto on_surface =
                                found != triangles.end()
                                && std::any_of( found->second.begin(), found->second.end(),
                                    [&surfaces]( const uuid& id ) {
                                        return std::any_of( surfaces.begin(), surfaces.end(),
                                            [&id]( const Surface< 3 >* surface ) {
                                                return surface->id() == id;
                                            } );
                                    } );
                            if( !on_surface )
                            {
                                problems.push_back( absl::StrCat(
                                    block.component_id().string(), " border facet ",
                                    facet.string(), " lies on no surface of the block" ) );
                            }
                        }
                    }
                }
            }
        } // namespace

        BRepCheckOptions open_surfaces()
        {
            BRepCheckOptions options;
            options.check_surface_borders = false;
            return options;
        }

        void add_unique_vertex_problems(
            const BRep& model, bool allow_empty, std::vector< std::string >& problems )
        {
            for( index_t unique = 0; unique < model.nb_unique_vertices(); unique++ )
            {
                const auto& list = model.component_mesh_vertices( unique );
                if( list.empty() && !allow_empty )
                {
                    problems.push_back(
                        absl::StrCat( "Unique vertex ", unique, " has no component vertex" ) );
                }
                const Point< 3 >* first_point{ nullptr };
                for( const auto& cmv : list )
                {
                    if( !has_typed_component( model, cmv.component_id ) )
                    {
                        problems.push_back( absl::StrCat( "Unique vertex ", unique,
                            " lists ", cmv.string(), " of a component missing from the model" ) );
                        continue;
                    }
                    if( cmv.vertex >= nb_mesh_vertices( model, cmv.component_id ) )
                    {
                        problems.push_back( absl::StrCat( "Unique vertex ", unique,
                            " lists ", cmv.string(), " beyond the mesh vertices" ) );
                        continue;
                    }
                    if( model.unique_vertex( cmv ) != unique )
                    {
                        problems.push_back( absl::StrCat( "Unique vertex ", unique,
                            " lists ", cmv.string(), " which is linked to ",
                            model.unique_vertex( cmv ) ) );
                    }
                    const auto& point = mesh_point( model, cmv );
                    if( first_point == nullptr )
                    {
                        first_point = &point;
                    }
                    else if( !first_point->inexact_equal( point ) )
                    {
                        problems.push_back( absl::StrCat( "Unique vertex ", unique,
                            " ties distinct points ", first_point->string(), " and ",
                            point.string(), " (", cmv.string(), ")" ) );
                    }
                }
            }
        }

        std::vector< std::string > brep_problems(
            const BRep& model, const BRepCheckOptions& options )
        {
            std::vector< std::string > problems;
            check_relationships( model, problems );
            check_unique_vertices( model, options, problems );
            if( options.check_meshes )
            {
                check_meshes( model, problems );
            }
            if( options.check_line_ends )
            {
                check_line_ends( model, problems );
            }
            if( options.check_surface_borders )
            {
                check_surface_borders( model, problems );
            }
            if( options.check_block_boundaries )
            {
                check_block_boundaries( model, problems );
            }
            return problems;
        }

        ::testing::AssertionResult is_valid_brep(
            const BRep& model, const BRepCheckOptions& options )
        {
            const auto problems = brep_problems( model, options );
            if( problems.empty() )
            {
                return ::testing::AssertionSuccess();
            }
            auto result = ::testing::AssertionFailure();
            result << problems.size() << " problem(s) in the model:";
            for( std::size_t i = 0; i < std::min< std::size_t >( problems.size(), 20 ); i++ )
            {
                result << "\n  " << problems[i];
            }
            return result;
        }
    } // namespace test
} // namespace orvane
