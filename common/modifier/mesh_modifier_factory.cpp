#include <common/modifier/mesh_modifier_factory.hpp>

#include <absl/strings/str_cat.h>

namespace orvane
{
    MeshModifierFactory::Key MeshModifierFactory::key(
        std::string_view family, unsigned int dimension )
    {
        return Key{ absl::StrCat(
            absl::string_view{ family.data(), family.size() }, dimension,
            "D" ) };
    }
} // namespace orvane
