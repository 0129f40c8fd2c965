#include <openorvane/model/mesh_conversion.hpp>

#include <openorvane/basic/exception.hpp>
#include <openorvane/mesh/tetrahedral_solid.hpp>
#include <openorvane/mesh/triangulated_surface.hpp>
#include <openorvane/model/brep.hpp>

namespace orvane
{
    void convert_surface_meshes_into_triangulated_surfaces(
        const BRep& model, BRepBuilder& /*builder*/ )
    {
        for( const auto& surface : model.surfaces() )
        {
            ORVANE_EXCEPTION(
                dynamic_cast< const TriangulatedSurface< 3 >* >( &surface.mesh() )
                    != nullptr,
                "[convert_surface_meshes_into_triangulated_surfaces] The mesh of "
                "surface ",
                surface.id().string(), " (", surface.mesh().impl_name().get(),
                ") is not a triangulated surface" );
        }
    }

    void convert_block_meshes_into_tetrahedral_solids(
        const BRep& model, BRepBuilder& /*builder*/ )
    {
        for( const auto& block : model.blocks() )
        {
            ORVANE_EXCEPTION(
                dynamic_cast< const TetrahedralSolid< 3 >* >( &block.mesh() ) != nullptr,
                "[convert_block_meshes_into_tetrahedral_solids] The mesh of block ",
                block.id().string(), " (", block.mesh().impl_name().get(),
                ") is not a tetrahedral solid" );
        }
    }
} // namespace orvane
