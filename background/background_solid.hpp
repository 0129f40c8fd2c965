#pragma once

#include <openorvane/mesh/mesh_factory.hpp>
#include <openorvane/mesh/openorvane_tetrahedral_solid.hpp>

#include <background/element_search.hpp>
#include <background/macro_info.hpp>

namespace orvane
{
    namespace internal
    {
        /// The tetrahedral mesh in which one conflict zone is resolved: a
        /// core tetrahedral solid whose vertices, edges, facets and
        /// tetrahedra record the input elements they stand for (macro_info.hpp),
        /// with a search of the tetrahedron closest to a point.
        ///
        /// The "BackgroundSolid" module must be initialised first: the
        /// search's snapshot is a copy made through the mesh factories.
        /// Facets and edges are always enabled. The element search is a
        /// snapshot taken at construction and rebuilt only by the
        /// background-solid modifier's clean-up. A background solid is used by
        /// one thread at a time.
        class BackgroundSolid : public OpenOrvaneTetrahedralSolid< 3 >,
                                public ElementSearch< TetrahedralSolid< 3 > >,
                                public MacroInfo3D
        {
        public:
            /// The mesh-factory key of the background solid.
            static MeshImpl impl_name_static()
            {
                return MeshImpl{ "BackgroundSolid" };
            }

            /// An empty solid without provenance attributes nor search, for
            /// the mesh factory only: the provenance operations and
            /// closest_element need a solid made from a tetrahedral solid.
            BackgroundSolid();

            /// Takes the content of `solid` over. A solid of the core
            /// implementation is moved in and left empty; any other is
            /// copied and left unchanged. Then the search is built on the
            /// content, facets and edges are enabled (side by side on the
            /// thread pool) and the six provenance attributes are created.
            explicit BackgroundSolid( TetrahedralSolid< 3 >& solid );

            BackgroundSolid( const BackgroundSolid& ) = delete;
            BackgroundSolid& operator=( const BackgroundSolid& ) = delete;
            ~BackgroundSolid() override;

            MeshImpl impl_name() const override
            {
                return impl_name_static();
            }
        };

        /// The builder of a background solid: the core builder, the
        /// rebuilding of its search, and every write of its provenance.
        class BackgroundSolidBuilder : public OpenOrvaneTetrahedralSolidBuilder< 3 >,
                                       public ElementSearchBuilder< TetrahedralSolid< 3 > >,
                                       public MacroInfoBuilder3D
        {
        public:
            explicit BackgroundSolidBuilder( BackgroundSolid& solid );
            ~BackgroundSolidBuilder() override;

            [[nodiscard]] BackgroundSolid& background_solid()
            {
                return solid_;
            }

        private:
            BackgroundSolid& solid_;
        };
    } // namespace internal
} // namespace orvane
