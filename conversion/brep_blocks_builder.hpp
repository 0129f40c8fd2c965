#pragma once

#include <array>
#include <utility>
#include <vector>

#include <absl/container/flat_hash_map.h>

#include <openorvane/basic/uuid.hpp>
#include <openorvane/geometry/basic_objects.hpp>
#include <openorvane/model/brep.hpp>
#include <openorvane/model/brep_builder.hpp>
#include <openorvane/model/surface_radial_sort.hpp>

namespace orvane
{
    /// Gives a model that has surfaces but no block its blocks: the closed
    /// volumes its surfaces enclose, with their boundary surfaces, the
    /// surfaces inside them, and the free lines and corners inside them.
    ///
    /// Logs a warning and changes nothing when the model has no surface or
    /// already has blocks; logs "[BRepBlocksBuilder::build_blocks] No Block
    /// were built" when no volume is closed. Throws OpenOrvaneException when
    /// a shell has no polygon to cast a ray from.
    void build_blocks( BRep& model );

    /// The work of build_blocks, for one call.
    ///
    /// Each surface has two sides, side 0 the one its normals point to. The
    /// sides are flooded into blocks following the radial order of the
    /// surfaces around each line; blocks of non-positive volume are shells
    /// seen from outside, removed and then placed by ray casting: a shell
    /// inside a kept block becomes a cavity of it.
    class BRepBlocksBuilder
    {
    public:
        explicit BRepBlocksBuilder( BRep& model );

        void build_blocks();

        /// The surface a block's ray starts on, and the ray: from the
        /// barycenter of the first polygon with a normal over the block's
        /// sided surfaces, along the normal on side 0 and against it on
        /// side 1.
        std::pair< uuid, Ray< 3 > > get_ray( const uuid& block ) const;

    private:
        void flood( const SidedSurface& seed, const uuid& block );

        double signed_volume( const uuid& block ) const;

        void place_removed_shells( const std::vector< uuid >& removed );

        void add_relationships( const std::vector< uuid >& removed );

        void place_free_lines_and_corners();

        bool is_inside( const Point< 3 >& point, const Block< 3 >& block ) const;

        uuid& side_block( const SidedSurface& sided );

    private:
        BRep& model_;
        BRepBuilder builder_;
        absl::flat_hash_map< uuid, std::array< uuid, 2 > > sides_;
        absl::flat_hash_map< uuid, std::vector< SidedSurface > > block_sides_;
        absl::flat_hash_map< uuid, SortedSurfaces > radial_orders_;
    };
} // namespace orvane
