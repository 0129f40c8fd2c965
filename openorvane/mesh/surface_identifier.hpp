#pragma once

#include <memory>
#include <vector>

#include <openorvane/basic/types.hpp>

namespace orvane
{
    template < index_t dimension >
    class SurfaceMesh;

    namespace detail
    {
        /// Groups the polygons of a surface into pieces connected through
        /// adjacency (a link set in either direction joins both polygons).
        ///
        /// The surface is read when identify_polygons runs, so callers may
        /// cut adjacencies between construction and identification.
        template < index_t dimension >
        class SurfaceIdentifier
        {
        public:
            explicit SurfaceIdentifier( const SurfaceMesh< dimension >& surface );
            SurfaceIdentifier( SurfaceIdentifier&& other ) noexcept;
            SurfaceIdentifier& operator=( SurfaceIdentifier&& other ) noexcept;
            ~SurfaceIdentifier();

            /// Groups the polygons as the surface's adjacency stands now.
            /// Throws OpenOrvaneException when an adjacency names a polygon
            /// past the end.
            void identify_polygons();

            /// The pieces, ordered by their lowest polygon, each ascending;
            /// empty before identify_polygons.
            const std::vector< std::vector< index_t > >&
                identified_connected_polygons() const;

            /// The position of the polygon's piece in
            /// identified_connected_polygons(); NO_ID before
            /// identify_polygons. Throws OpenOrvaneException for a polygon
            /// past the end.
            index_t polygon_identifier( index_t polygon_id ) const;

        private:
            class Impl;
            std::unique_ptr< Impl > impl_;
        };
    } // namespace detail
} // namespace orvane
