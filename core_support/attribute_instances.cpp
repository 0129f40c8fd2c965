// The attribute classes of every value type this library stores, compiled
// once here so that each combination of storage and value type is checked
// and its code shared by the whole library.

#include <array>
#include <vector>

#include <absl/container/flat_hash_map.h>
#include <absl/container/inlined_vector.h>

#include <openorvane/basic/mapping.hpp>
#include <openorvane/basic/sparse_attribute.hpp>
#include <openorvane/basic/uuid.hpp>
#include <openorvane/basic/variable_attribute.hpp>
#include <openorvane/geometry/point.hpp>
#include <openorvane/model/component.hpp>

#include <core_support/solid_patch.hpp>

namespace orvane
{
    template class VariableAttribute< bool >;
    template class VariableAttribute< unsigned int >;
    template class VariableAttribute< double >;
    template class VariableAttribute< Point< 2 > >;
    template class VariableAttribute< Point< 3 > >;
    template class VariableAttribute< uuid >;
    template class SparseAttribute< uuid >;
    template class VariableAttribute< absl::flat_hash_map< uuid, unsigned int > >;
    template class VariableAttribute< absl::InlinedVector< index_t, 1 > >;
    template class VariableAttribute< absl::InlinedVector< Point< 3 >, 1 > >;
    template class VariableAttribute<
        std::array< absl::InlinedVector< index_t, 1 >, 3 > >;
    template class VariableAttribute< std::vector< uuid > >;
    template class VariableAttribute< std::vector< MeshVertex > >;
    template class VariableAttribute< std::vector< MeshEdge > >;
    template class VariableAttribute< std::vector< MeshPolygon > >;
    template class VariableAttribute< std::vector< std::vector< MeshPolygon > > >;
    template class VariableAttribute< ComponentMeshElement >;
    template class VariableAttribute< SolidPatch >;
} // namespace orvane
