#include <explicit/background_solid_splitter.hpp>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include <openorvane/basic/exception.hpp>
#include <openorvane/basic/progress_logger.hpp>
#include <openorvane/geometry/distance.hpp>
#include <openorvane/mesh/grid_conversion.hpp>
#include <openorvane/mesh/light_regular_grid.hpp>
#include <openorvane/mesh/tetrahedral_solid.hpp>

#include <common/modifier/tetrahedral_solid_modifier.hpp>

#include <simplex/metric/metric.hpp>

namespace orvane
{
    namespace internal
    {
        namespace
        {
            constexpr index_t MAX_NB_CELLS = 100000;

            /// Tetrahedra are refined while their shortest edge exceeds this
            /// many times the local size.
            const double SIZE_FACTOR = 2. * std::sqrt( 3. );

            struct LongestEdgeInfo
            {
                PolyhedronFacetEdge edge;
                double longest{ 0. };
                double shortest{ std::numeric_limits< double >::max() };
                Point< 3 > midpoint;
            };

            bool shorter( const LongestEdgeInfo& lhs, const LongestEdgeInfo& rhs )
            {
                return lhs.longest < rhs.longest;
            }

            class BackgroundSolidSplitter
            {
            public:
                BackgroundSolidSplitter(
                    TetrahedralSolid< 3 >& solid, const Metric< 3 >& metric )
                    : solid_( solid ),
                      builder_( TetrahedralSolidBuilder< 3 >::create( solid ) ),
                      modifier_( solid, *builder_ ),
                      metric_( metric ),
                      logger_( "Solid split", 0 )
                {
                }

                /// Every edge is measured from both of its facets; among
                /// equally long edges the first met wins.
                LongestEdgeInfo longest_edge( index_t tetrahedron ) const
                {
                    LongestEdgeInfo info;
                    for( local_index_t f = 0; f < 4; ++f )
                    {
                        const PolyhedronFacet facet{ tetrahedron, f };
                        const auto vertices = solid_.polyhedron_facet_vertices( facet );
                        for( local_index_t k = 0; k < 3; ++k )
                        {
                            const auto& p0 = solid_.point( vertices[k] );
                            const auto& p1 = solid_.point( vertices[( k + 1 ) % 3] );
                            const auto length = point_point_distance( p0, p1 );
                            info.shortest = std::min( info.shortest, length );
                            if( length > info.longest )
                            {
                                info.longest = length;
                                info.edge = { facet, k };
                                info.midpoint = ( p0 + p1 ) / 2.;
                            }
                        }
                    }
                    return info;
                }

                void push( const LongestEdgeInfo& info )
                {
                    try
                    {
                        const auto threshold =
                            SIZE_FACTOR
                            * metric_.tetrahedron_metric( solid_.tetrahedron(
                                info.edge.polyhedron_facet.polyhedron_id ) );
                        if( info.shortest > threshold )
                        {
                            queue_.push_back( info );
                            std::push_heap( queue_.begin(), queue_.end(), shorter );
                            logger_.increment_nb_steps();
                        }
                    }
                    catch( const OpenOrvaneException& )
                    {
                        // A size the field cannot give: leave the tetrahedron
                        // as it is.
                    }
                }

                void split()
                {
                    while( !queue_.empty() )
                    {
                        std::pop_heap( queue_.begin(), queue_.end(), shorter );
                        const auto info = queue_.back();
                        queue_.pop_back();
                        logger_.increment();
                        if( !modifier_.is_polyhedron_active(
                                info.edge.polyhedron_facet.polyhedron_id ) )
                        {
                            continue;
                        }
                        const auto result =
                            modifier_.split_edge( info.edge, info.midpoint );
                        for( const auto& origin : result.first_tetrahedra )
                        {
                            push( longest_edge( origin.new_element ) );
                        }
                        for( const auto& origin : result.second_tetrahedra )
                        {
                            push( longest_edge( origin.new_element ) );
                        }
                    }
                }

                void clean()
                {
                    modifier_.clean();
                }

            private:
                TetrahedralSolid< 3 >& solid_;
                std::unique_ptr< TetrahedralSolidBuilder< 3 > > builder_;
                TetrahedralSolidModifier modifier_;
                const Metric< 3 >& metric_;
                std::vector< LongestEdgeInfo > queue_;
                ProgressLogger logger_;
            };
        } // namespace

        std::unique_ptr< TetrahedralSolid< 3 > > create_split_background_solid(
            const BoundingBox< 3 >& box, const Metric< 3 >& metric )
        {
            const auto target = metric.median_metric();
            auto solid = [&box, target] {
                const auto grid =
                    build_grid_from_bbox_target_length_and_maximum_cell_number(
                        box, target, MAX_NB_CELLS );
                return convert_grid_into_tetrahedral_solid( *grid );
            }();
            {
                BackgroundSolidSplitter splitter{ *solid, metric };
                for( index_t t = 0; t < solid->nb_polyhedra(); ++t )
                {
                    splitter.push( splitter.longest_edge( t ) );
                }
                splitter.split();
                splitter.clean();
            }
            return solid;
        }
    } // namespace internal
} // namespace orvane
