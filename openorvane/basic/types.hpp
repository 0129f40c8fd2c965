#pragma once

#include <cstdint>
#include <limits>
#include <vector>

namespace orvane
{
    /// Index of an element (vertex, edge, polygon, facet, polyhedron, cell).
    using index_t = std::uint32_t;
    /// Index of a vertex, edge or facet inside one element (0 to 3).
    using local_index_t = std::uint8_t;
    using signed_index_t = std::int32_t;

    /// The unset element index.
    inline constexpr index_t NO_ID = std::numeric_limits< index_t >::max();
    /// The unset local index.
    inline constexpr local_index_t NO_LID =
        std::numeric_limits< local_index_t >::max();

    /// Tolerance on lengths, distances, areas and volumes (merging,
    /// degeneracy, contact).
    inline constexpr double GLOBAL_EPSILON = 1e-6;
    /// Tolerance on squared distances (point equality).
    inline constexpr double GLOBAL_EPSILON2 = 1e-12;
    /// Guard under which a magnitude is treated as zero in a division.
    inline constexpr double DIVISION_EPSILON = 1e-30;
    /// The largest double: "no size yet" or "best so far".
    inline constexpr double MAX_DOUBLE = std::numeric_limits< double >::max();

    /// Maps each old element index to its new index, or NO_ID when the
    /// element was deleted.
    using OldToNew = std::vector< index_t >;
} // namespace orvane
