#pragma once

#include <vector>

#include <absl/container/inlined_vector.h>

#include <openorvane/basic/types.hpp>
#include <openorvane/basic/uuid.hpp>

namespace orvane
{
    class BRep;
    template < index_t dimension >
    class Line;

    /// A surface with one of its two sides: side 0 is the side its polygon
    /// normals point to, side 1 the other.
    struct SidedSurface
    {
        bool operator==( const SidedSurface& other ) const = default;

        uuid id;
        local_index_t side{ 0 };
    };

    /// The sided surfaces around a line in turning order. Each polygon met
    /// around the line gives two positions, one per side; two positions are
    /// `next` to each other when their sides face the same angular sector
    /// between two consecutive polygons. A surface that holds the line
    /// inside it has a polygon on each side of the line, so it appears
    /// twice.
    class SortedSurfaces
    {
    public:
        /// The positions of the sided surface (none when it does not touch
        /// the line).
        absl::InlinedVector< index_t, 2 > find( const SidedSurface& surface ) const;

        /// The position whose side faces the same sector as `position`.
        /// Throws OpenOrvaneException for a position past the end.
        index_t next( index_t position ) const;

        /// The sided surface at each position: positions 2k and 2k + 1 are
        /// the two sides of the k-th polygon in turning order, 2k facing the
        /// previous polygon and 2k + 1 the next one.
        std::vector< SidedSurface > surfaces;
    };

    /// Sorts the surfaces around the line by the angle of their polygons on
    /// one line edge (the first edge whose polygons all stand clear of the
    /// line). The polygons are found through the unique vertices of the
    /// edge's ends, among all surfaces of the model, in model order. Empty
    /// when the line has no edge or its ends have no unique vertex.
    SortedSurfaces surface_radial_sort( const BRep& model, const Line< 3 >& line );
} // namespace orvane
