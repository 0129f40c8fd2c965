#pragma once

namespace orvane
{
    class BRep;
    class BRepBuilder;

    /// Makes sure every surface mesh of the model is a TriangulatedSurface<3>.
    /// This library's surfaces hold triangles only and every surface
    /// implementation it registers is triangulated, so the call changes
    /// nothing; a surface mesh of another class throws OpenOrvaneException.
    void convert_surface_meshes_into_triangulated_surfaces(
        const BRep& model, BRepBuilder& builder );

    /// The same for the block meshes and TetrahedralSolid<3>.
    void convert_block_meshes_into_tetrahedral_solids(
        const BRep& model, BRepBuilder& builder );
} // namespace orvane
