#include <openorvane/model/split_along_borders.hpp>

#include <optional>

#include <openorvane/basic/attribute_manager.hpp>
#include <openorvane/mesh/solid_mesh.hpp>
#include <openorvane/mesh/solid_mesh_builder.hpp>
#include <openorvane/mesh/surface_mesh.hpp>
#include <openorvane/mesh/surface_mesh_builder.hpp>
#include <openorvane/model/brep.hpp>
#include <openorvane/model/brep_builder.hpp>

namespace
{
    /// Copies every attribute value of one vertex to another, whatever the
    /// attributes' properties.
    void copy_vertex_values(
        orvane::AttributeManager& manager, orvane::index_t from, orvane::index_t to )
    {
        for( const auto name : manager.attribute_names() )
        {
            manager.find_attribute_base( name )->assign_element_value( from, to );
        }
    }

    /// The corners (cell, local vertex) of every vertex, in cell order.
    template < typename Corner >
    struct CornerLists
    {
        std::vector< orvane::index_t > offsets;
        std::vector< Corner > corners;
    };

    /// How one kind of mesh is read and edited by the split.
    struct SurfaceAccess
    {
        using Corner = orvane::PolygonVertex;
        using Mesh = orvane::SurfaceMesh< 3 >;
        using Builder = orvane::SurfaceMeshBuilder< 3 >;

        static orvane::index_t nb_cells( const Mesh& mesh )
        {
            return mesh.nb_polygons();
        }
        static orvane::local_index_t nb_corners( const Mesh& mesh, orvane::index_t cell )
        {
            return mesh.nb_polygon_vertices( cell );
        }
        static orvane::index_t vertex( const Mesh& mesh, const Corner& corner )
        {
            return mesh.polygon_vertex( corner );
        }
        static std::optional< Corner > stored( const Mesh& mesh, orvane::index_t v )
        {
            return mesh.polygon_around_vertex( v );
        }
        static auto fan( const Mesh& mesh, orvane::index_t v )
        {
            return mesh.polygons_around_vertex( v );
        }
        static void associate( Builder& builder, const Corner& corner, orvane::index_t v )
        {
            builder.associate_polygon_vertex_to_vertex( corner, v );
        }
        static void set_vertex( Builder& builder, const Corner& corner, orvane::index_t v )
        {
            builder.set_polygon_vertex( corner, v );
        }
        static orvane::AttributeManager& vertex_attributes( const Mesh& mesh )
        {
            return mesh.vertex_attribute_manager();
        }
    };

    struct SolidAccess
    {
        using Corner = orvane::PolyhedronVertex;
        using Mesh = orvane::SolidMesh< 3 >;
        using Builder = orvane::SolidMeshBuilder< 3 >;

        static orvane::index_t nb_cells( const Mesh& mesh )
        {
            return mesh.nb_polyhedra();
        }
        static orvane::local_index_t nb_corners( const Mesh& mesh, orvane::index_t cell )
        {
            return mesh.nb_polyhedron_vertices( cell );
        }
        static orvane::index_t vertex( const Mesh& mesh, const Corner& corner )
        {
            return mesh.polyhedron_vertex( corner );
        }
        static std::optional< Corner > stored( const Mesh& mesh, orvane::index_t v )
        {
            return mesh.polyhedron_around_vertex( v );
        }
        static auto fan( const Mesh& mesh, orvane::index_t v )
        {
            return mesh.polyhedra_around_vertex( v );
        }
        static void associate( Builder& builder, const Corner& corner, orvane::index_t v )
        {
            builder.associate_polyhedron_vertex_to_vertex( corner, v );
        }
        static void set_vertex( Builder& builder, const Corner& corner, orvane::index_t v )
        {
            builder.set_polyhedron_vertex( corner, v );
        }
        static orvane::AttributeManager& vertex_attributes( const Mesh& mesh )
        {
            return mesh.vertex_attribute_manager();
        }
    };

    template < typename Access >
    CornerLists< typename Access::Corner > corner_lists(
        const typename Access::Mesh& mesh )
    {
        using Corner = typename Access::Corner;
        CornerLists< Corner > lists;
        const auto nb_vertices = mesh.nb_vertices();
        lists.offsets.assign( static_cast< std::size_t >( nb_vertices ) + 1, 0 );
        const auto nb_cells = Access::nb_cells( mesh );
        for( orvane::index_t c = 0; c < nb_cells; c++ )
        {
            for( orvane::local_index_t k = 0; k < Access::nb_corners( mesh, c ); k++ )
            {
                const auto v = Access::vertex( mesh, Corner{ c, k } );
                if( v < nb_vertices )
                {
                    lists.offsets[v + 1]++;
                }
            }
        }
        for( orvane::index_t v = 0; v < nb_vertices; v++ )
        {
            lists.offsets[v + 1] += lists.offsets[v];
        }
        lists.corners.resize( lists.offsets.back() );
        auto fill = lists.offsets;
        for( orvane::index_t c = 0; c < nb_cells; c++ )
        {
            for( orvane::local_index_t k = 0; k < Access::nb_corners( mesh, c ); k++ )
            {
                const auto v = Access::vertex( mesh, Corner{ c, k } );
                if( v < nb_vertices )
                {
                    lists.corners[fill[v]++] = Corner{ c, k };
                }
            }
        }
        return lists;
    }

    /// Splits one component mesh; see SplitAlongSurfaceMeshBorders.
    template < typename Access >
    void split_component( const orvane::BRep& model,
        orvane::BRepBuilder& builder,
        const orvane::ComponentID& component,
        const typename Access::Mesh& mesh,
        typename Access::Builder& mesh_builder,
        orvane::detail::SplitVertices& result )
    {
        using Corner = typename Access::Corner;
        const auto lists = corner_lists< Access >( mesh );
        const auto nb_vertices = mesh.nb_vertices();
        for( orvane::index_t v = 0; v < nb_vertices; v++ )
        {
            const auto begin = lists.offsets[v];
            const auto nb = lists.offsets[v + 1] - begin;
            if( nb <= 1 )
            {
                continue;
            }
            auto kept = Access::stored( mesh, v );
            if( !kept )
            {
                kept = lists.corners[begin];
                Access::associate( mesh_builder, kept.value(), v );
            }
            std::vector< bool > done( nb, false );
            const auto index_of = [&]( const Corner& corner ) {
                for( orvane::index_t i = 0; i < nb; i++ )
                {
                    if( lists.corners[begin + i] == corner )
                    {
                        return i;
                    }
                }
                return orvane::NO_ID;
            };
            const auto mark = [&]( const auto& fan ) {
                std::vector< Corner > marked;
                for( const auto& corner : fan )
                {
                    const auto i = index_of( corner );
                    if( i != orvane::NO_ID && !done[i] )
                    {
                        done[i] = true;
                        marked.push_back( corner );
                    }
                }
                return marked;
            };
            if( mark( Access::fan( mesh, v ) ).size() == nb )
            {
                continue;
            }
            const auto unique = model.unique_vertex( { component, v } );
            for( orvane::index_t i = 0; i < nb; i++ )
            {
                if( done[i] )
                {
                    continue;
                }
                Access::associate( mesh_builder, lists.corners[begin + i], v );
                const auto moved = mark( Access::fan( mesh, v ) );
                // Copied first: creating a vertex may move the points.
                const auto at = mesh.point( v );
                const auto copy = mesh_builder.create_point( at );
                copy_vertex_values( Access::vertex_attributes( mesh ), v, copy );
                for( const auto& corner : moved )
                {
                    Access::set_vertex( mesh_builder, corner, copy );
                }
                if( unique != orvane::NO_ID )
                {
                    builder.set_unique_vertex( { component, copy }, unique );
                }
                result.emplace_back( orvane::ComponentMeshVertex{ component, v },
                    orvane::ComponentMeshVertex{ component, copy } );
            }
            Access::associate( mesh_builder, kept.value(), v );
        }
    }

    /// Holds the builder the split writes through: the caller's, or one
    /// made for the model.
    class BuilderHolder
    {
    public:
        explicit BuilderHolder( orvane::BRep& model )
            : owned_( std::make_unique< orvane::BRepBuilder >( model ) ),
              builder_( *owned_ )
        {
        }
        explicit BuilderHolder( orvane::BRepBuilder& builder ) : builder_( builder ) {}

        orvane::BRepBuilder& get()
        {
            return builder_;
        }

    private:
        std::unique_ptr< orvane::BRepBuilder > owned_;
        orvane::BRepBuilder& builder_;
    };
} // namespace

namespace orvane
{
    namespace detail
    {
        template < typename Model >
        class SplitAlongSurfaceMeshBorders< Model >::Impl
        {
        public:
            explicit Impl( Model& model ) : model_( model ), builder_( model ) {}
            Impl( Model& model, BRepBuilder& builder )
                : model_( model ), builder_( builder )
            {
            }

            SplitVertices split_all_surfaces()
            {
                SplitVertices result;
                for( const auto& surface : model_.surfaces() )
                {
                    auto mesh_builder =
                        builder_.get().surface_mesh_builder( surface.id() );
                    split_component< SurfaceAccess >( model_, builder_.get(),
                        surface.component_id(), surface.mesh(), *mesh_builder, result );
                }
                return result;
            }

        private:
            Model& model_;
            BuilderHolder builder_;
        };

        template < typename Model >
        SplitAlongSurfaceMeshBorders< Model >::SplitAlongSurfaceMeshBorders(
            Model& model )
            : impl_( std::make_unique< Impl >( model ) )
        {
        }

        template < typename Model >
        SplitAlongSurfaceMeshBorders< Model >::SplitAlongSurfaceMeshBorders(
            Model& model, BRepBuilder& builder )
            : impl_( std::make_unique< Impl >( model, builder ) )
        {
        }

        template < typename Model >
        SplitAlongSurfaceMeshBorders< Model >::~SplitAlongSurfaceMeshBorders() = default;

        template < typename Model >
        SplitVertices SplitAlongSurfaceMeshBorders< Model >::split_all_surfaces()
        {
            return impl_->split_all_surfaces();
        }

        template class SplitAlongSurfaceMeshBorders< BRep >;

        class SplitAlongBlockMeshBorders::Impl
        {
        public:
            explicit Impl( BRep& model ) : model_( model ), builder_( model ) {}
            Impl( BRep& model, BRepBuilder& builder )
                : model_( model ), builder_( builder )
            {
            }

            SplitVertices split_all_blocks()
            {
                SplitVertices result;
                for( const auto& block : model_.blocks() )
                {
                    auto mesh_builder = builder_.get().block_mesh_builder( block.id() );
                    split_component< SolidAccess >( model_, builder_.get(),
                        block.component_id(), block.mesh(), *mesh_builder, result );
                }
                return result;
            }

        private:
            BRep& model_;
            BuilderHolder builder_;
        };

        SplitAlongBlockMeshBorders::SplitAlongBlockMeshBorders( BRep& model )
            : impl_( std::make_unique< Impl >( model ) )
        {
        }

        SplitAlongBlockMeshBorders::SplitAlongBlockMeshBorders(
            BRep& model, BRepBuilder& builder )
            : impl_( std::make_unique< Impl >( model, builder ) )
        {
        }

        SplitAlongBlockMeshBorders::~SplitAlongBlockMeshBorders() = default;

        SplitVertices SplitAlongBlockMeshBorders::split_all_blocks()
        {
            return impl_->split_all_blocks();
        }
    } // namespace detail
} // namespace orvane
