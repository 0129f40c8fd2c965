#include <openorvane/mesh/surface_identifier.hpp>

#include <openorvane/basic/exception.hpp>
#include <openorvane/mesh/connected_groups.hpp>
#include <openorvane/mesh/surface_mesh.hpp>

namespace orvane
{
    namespace detail
    {
        template < index_t dimension >
        class SurfaceIdentifier< dimension >::Impl
        {
        public:
            explicit Impl( const SurfaceMesh< dimension >& surface )
                : surface_( surface )
            {
            }

            void identify_polygons()
            {
                const auto nb_polygons = surface_.nb_polygons();
                auto result = connected_groups(
                    nb_polygons, [this, nb_polygons]( auto&& link ) {
                        for( index_t p = 0; p < nb_polygons; p++ )
                        {
                            for( local_index_t e = 0;
                                 e < surface_.nb_polygon_vertices( p ); e++ )
                            {
                                const auto adjacent =
                                    surface_.polygon_adjacent( { p, e } );
                                if( !adjacent )
                                {
                                    continue;
                                }
                                ORVANE_EXCEPTION( adjacent.value() < nb_polygons,
                                    "[SurfaceIdentifier::identify_polygons] "
                                    "Polygon ",
                                    p, " is adjacent to polygon ", adjacent.value(),
                                    " past the end (", nb_polygons, " polygons)" );
                                link( p, adjacent.value() );
                            }
                        }
                    } );
                groups_ = std::move( result.groups );
                group_of_ = std::move( result.group_of );
            }

            const std::vector< std::vector< index_t > >& groups() const
            {
                return groups_;
            }

            index_t polygon_identifier( index_t polygon_id ) const
            {
                ORVANE_EXCEPTION( polygon_id < surface_.nb_polygons(),
                    "[SurfaceIdentifier::polygon_identifier] Polygon ",
                    polygon_id, " does not exist (there are ",
                    surface_.nb_polygons(), ")" );
                if( polygon_id >= group_of_.size() )
                {
                    return NO_ID;
                }
                return group_of_[polygon_id];
            }

        private:
            const SurfaceMesh< dimension >& surface_;
            std::vector< std::vector< index_t > > groups_;
            std::vector< index_t > group_of_;
        };

        template < index_t dimension >
        SurfaceIdentifier< dimension >::SurfaceIdentifier(
            const SurfaceMesh< dimension >& surface )
            : impl_( std::make_unique< Impl >( surface ) )
        {
        }

        template < index_t dimension >
        SurfaceIdentifier< dimension >::SurfaceIdentifier(
            SurfaceIdentifier&& ) noexcept = default;

        template < index_t dimension >
        SurfaceIdentifier< dimension >& SurfaceIdentifier< dimension >::operator=(
            SurfaceIdentifier&& ) noexcept = default;

        template < index_t dimension >
        SurfaceIdentifier< dimension >::~SurfaceIdentifier() = default;

        template < index_t dimension >
        void SurfaceIdentifier< dimension >::identify_polygons()
        {
            impl_->identify_polygons();
        }

        template < index_t dimension >
        const std::vector< std::vector< index_t > >&
            SurfaceIdentifier< dimension >::identified_connected_polygons() const
        {
            return impl_->groups();
        }

        template < index_t dimension >
        index_t SurfaceIdentifier< dimension >::polygon_identifier(
            index_t polygon_id ) const
        {
            return impl_->polygon_identifier( polygon_id );
        }

        template class SurfaceIdentifier< 2 >;
        template class SurfaceIdentifier< 3 >;
    } // namespace detail
} // namespace orvane
