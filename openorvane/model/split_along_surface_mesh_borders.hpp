#pragma once

#include <utility>
#include <vector>

#include <openorvane/model/component.hpp>

namespace orvane
{
    class BRep;

    namespace detail
    {
        template < typename Model >
        class SplitAlongSurfaceMeshBorders;

        /// Makes every surface mesh vertex stand for a single fan of
        /// polygons.
        ///
        /// A surface vertex whose polygons fall into k > 1 fans (groups of
        /// polygons joined through adjacency across edges holding the
        /// vertex; this happens along lines inside a surface, whose edges are
        /// mesh borders, and at touching points) keeps the fan it is
        /// associated with and gets k - 1 copies, one per other fan, in
        /// order of the fans' lowest polygon. Each copy takes the vertex's
        /// point and attribute values and is linked to the same unique
        /// vertex.
        template <>
        class SplitAlongSurfaceMeshBorders< BRep >
        {
        public:
            explicit SplitAlongSurfaceMeshBorders( BRep& model );

            /// Splits the vertices of every surface, in model order. Returns
            /// the pairs (split vertex, copy) in creation order.
            std::vector< std::pair< ComponentMeshVertex, ComponentMeshVertex > >
                split_all_surfaces();

        private:
            BRep& model_;
        };
    } // namespace detail
} // namespace orvane
