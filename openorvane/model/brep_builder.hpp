#pragma once

#include <memory>
#include <string_view>

#include <openorvane/basic/mapping.hpp>
#include <openorvane/model/brep.hpp>

namespace orvane
{
    /// The only way to edit a BRep: components, their names and meshes, the
    /// relationships and the unique vertices.
    ///
    /// Adding a component registers it in the relationships and creates its
    /// unique-vertex link table; removing it, or replacing its mesh, drops
    /// what refers to it so the model stays consistent. Mesh builders of
    /// different components may be created and used from different threads
    /// (making one writes nothing shared).
    class BRepBuilder : public CornersBuilder< 3 >,
                        public LinesBuilder< 3 >,
                        public SurfacesBuilder< 3 >,
                        public BlocksBuilder< 3 >,
                        public RelationshipsBuilder,
                        public VertexIdentifierBuilder
    {
    public:
        explicit BRepBuilder( BRep& brep );
        ~BRepBuilder() override;

        /// New components with a fresh uuid, or with the given one (which
        /// must not be used yet in the model, OpenOrvaneException
        /// otherwise), and an empty mesh of the default implementation of
        /// their mesh type or of the given implementation. Each returns the
        /// component's uuid.
        uuid add_corner();
        uuid add_corner( const MeshImpl& impl );
        uuid add_corner( const uuid& id );
        uuid add_corner( const uuid& id, const MeshImpl& impl );

        uuid add_line();
        uuid add_line( const MeshImpl& impl );
        uuid add_line( const uuid& id );
        uuid add_line( const uuid& id, const MeshImpl& impl );

        uuid add_surface();
        uuid add_surface( const MeshImpl& impl );
        uuid add_surface( const uuid& id );
        uuid add_surface( const uuid& id, const MeshImpl& impl );

        uuid add_block();
        uuid add_block( const MeshImpl& impl );
        uuid add_block( const uuid& id );
        uuid add_block( const uuid& id, const MeshImpl& impl );

        /// Removes the component with its relationships and the links of its
        /// mesh vertices (unique vertices left empty stay until
        /// delete_isolated_vertices).
        void remove_corner( const Corner< 3 >& corner );
        void remove_line( const Line< 3 >& line );
        void remove_surface( const Surface< 3 >& surface );
        void remove_block( const Block< 3 >& block );

        /// Replace the component's mesh. The links of the former mesh's
        /// vertices are dropped: the caller links the new vertices. Throws
        /// OpenOrvaneException for a null mesh.
        void update_corner_mesh( const Corner< 3 >& corner,
            std::unique_ptr< PointSet< 3 > > mesh );
        void update_line_mesh(
            const Line< 3 >& line, std::unique_ptr< EdgedCurve< 3 > > mesh );
        void update_surface_mesh( const Surface< 3 >& surface,
            std::unique_ptr< SurfaceMesh< 3 > > mesh );
        void update_block_mesh(
            const Block< 3 >& block, std::unique_ptr< SolidMesh< 3 > > mesh );

        // Relationships. Both components must be in the model
        // (std::out_of_range otherwise); a relationship is recorded once.

        void add_corner_line_boundary_relationship(
            const Corner< 3 >& corner, const Line< 3 >& line );
        void add_line_surface_boundary_relationship(
            const Line< 3 >& line, const Surface< 3 >& surface );
        void add_line_surface_internal_relationship(
            const Line< 3 >& line, const Surface< 3 >& surface );
        void add_corner_surface_internal_relationship(
            const Corner< 3 >& corner, const Surface< 3 >& surface );
        void add_surface_block_boundary_relationship(
            const Surface< 3 >& surface, const Block< 3 >& block );
        void add_surface_block_internal_relationship(
            const Surface< 3 >& surface, const Block< 3 >& block );
        void add_line_block_internal_relationship(
            const Line< 3 >& line, const Block< 3 >& block );
        void add_corner_block_internal_relationship(
            const Corner< 3 >& corner, const Block< 3 >& block );

        /// Adds a copy of every component of `model`, in its order, each
        /// with a fresh uuid, its name and an empty mesh of the same
        /// implementation. Returns, under "Corner", "Line", "Surface" and
        /// "Block", the mapping from the uuids of `model` to the new ones.
        /// Reads only the registry of `model`, never its meshes' contents or
        /// unique vertices.
        ModelMapping< BijectiveMapping< uuid, uuid > > copy_components(
            const BRep& model );

        /// Adds the relationships of `model` between the images of its
        /// components under `mapping` (as copy_components returns it).
        /// Relationships whose ends are not both mapped are skipped. The
        /// boundary and internal lists keep their order; the incidence and
        /// embedding lists follow the model order of the components. Reads
        /// only the relationships of `model`.
        void copy_relationships(
            const ModelMapping< BijectiveMapping< uuid, uuid > >& mapping,
            const BRep& model );

    private:
        BRep& brep_;
    };
} // namespace orvane
