#pragma once

#include <vector>

#include <absl/container/flat_hash_map.h>

#include <openorvane/basic/exception.hpp>
#include <openorvane/basic/mapping.hpp>
#include <openorvane/basic/uuid.hpp>
#include <openorvane/model/brep.hpp>

namespace orvane
{
    namespace internal
    {
        /// Element indices per mesh (or component) uuid, one map per kind:
        /// polygons of surfaces, edges of lines, vertices of corners. Lists
        /// keep their insertion order and may repeat an index. A moved-from
        /// record holds three empty maps.
        struct ProblematicElements
        {
            using ElementLists = absl::flat_hash_map< uuid, std::vector< index_t > >;

            ProblematicElements() = default;
            ProblematicElements( const ProblematicElements& ) = default;
            ProblematicElements& operator=( const ProblematicElements& ) = default;
            ProblematicElements( ProblematicElements&& other ) noexcept;
            ProblematicElements& operator=( ProblematicElements&& other ) noexcept;
            ~ProblematicElements();

            /// The number of indices in all lists.
            int count() const;

            ElementLists surfaces;
            ElementLists lines;
            ElementLists corners;
        };
    } // namespace internal

    /// Thrown when explicit modeling stops without making the input
    /// conformal. Carries the model built from the meshes as they stood,
    /// its mappings, and the elements still invalid as elements of the
    /// model's components.
    class BRepExplicitModelerRemainingException : public OpenOrvaneException
    {
    public:
        /// `elements` names mesh uuids and element indices as the keys of
        /// the element mappings do; each is converted to the component
        /// elements it maps to. An element the mappings do not know throws
        /// std::out_of_range.
        BRepExplicitModelerRemainingException( BRep&& model,
            ModelMappings&& model_mappings,
            const internal::ProblematicElements& elements );
        BRepExplicitModelerRemainingException(
            BRepExplicitModelerRemainingException&& ) noexcept;
        ~BRepExplicitModelerRemainingException() override;

        BRep brep;
        ModelMappings mappings;
        internal::ProblematicElements remaining;
    };
} // namespace orvane
