#include <core_support/sentinels.hpp>

namespace orvane
{
    const uuid no_block_id{};

    const uuid no_component_id{};

    const Tetrahedron default_tetrahedron{ Point< 3 >{}, Point< 3 >{}, Point< 3 >{},
        Point< 3 >{} };
} // namespace orvane
