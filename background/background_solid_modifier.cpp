#include <background/background_solid_modifier.hpp>

#include <openorvane/basic/exception.hpp>

#include <background/background_solid.hpp>

namespace orvane
{
    namespace internal
    {
        class BackgroundSolidModifier::Impl
        {
        public:
            Impl( BackgroundSolid& solid_in, BackgroundSolidBuilder& builder_in )
                : solid( solid_in ), builder( builder_in )
            {
            }

            BackgroundSolid& solid;
            BackgroundSolidBuilder& builder;
        };

        BackgroundSolidModifier::BackgroundSolidModifier(
            BackgroundSolid& solid, BackgroundSolidBuilder& builder )
            : TetrahedralSolidModifier( solid, builder ),
              impl_( std::make_unique< Impl >( solid, builder ) )
        {
        }

        BackgroundSolidModifier::~BackgroundSolidModifier() = default;

        SolidSplitTetrahedronInfo BackgroundSolidModifier::split_tetrahedron(
            index_t tetrahedron, const Point< 3 >& point )
        {
            auto info =
                TetrahedralSolidModifier::split_tetrahedron( tetrahedron, point );
            impl_->builder.update_after_split( info );
            return info;
        }

        SolidSplitFacetInfo BackgroundSolidModifier::split_facet(
            const PolyhedronFacet& facet, const Point< 3 >& point )
        {
            auto info = TetrahedralSolidModifier::split_facet( facet, point );
            impl_->builder.update_after_split( info );
            return info;
        }

        SolidSplitEdgeInfo BackgroundSolidModifier::split_edge(
            const PolyhedronFacetEdge& edge, const Point< 3 >& point )
        {
            auto info = TetrahedralSolidModifier::split_edge( edge, point );
            impl_->builder.update_after_split_edge( info );
            return info;
        }

        SolidSplitEdgeInfo BackgroundSolidModifier::split_edge(
            index_t edge, const Point< 3 >& point )
        {
            auto info = TetrahedralSolidModifier::split_edge( edge, point );
            impl_->builder.update_after_split_edge( info );
            return info;
        }

        SolidCollapseEdgeInfo BackgroundSolidModifier::collapse_edge(
            index_t edge, const Point< 3 >& point )
        {
            auto info = TetrahedralSolidModifier::collapse_edge( edge, point );
            // Replayed before the check: a collapse that went wrong is still
            // made, and its new elements must not lose their provenance.
            impl_->builder.update_after_collapse_edge( info );
            const auto& solid = impl_->solid;
            for( const auto merged : { info.merged_vertices.at( 0 ),
                     info.merged_vertices.at( 1 ) } )
            {
                if( !solid.is_vertex_isolated( merged ) )
                {
                    throw OpenOrvaneException{ "This edge collapse has provoked "
                                               "validity issue in "
                                               "TetrahedralSolid" };
                }
            }
            return info;
        }

        SolidCollapseEdgeInfo BackgroundSolidModifier::collapse_edge(
            const PolyhedronFacetEdge& edge, const Point< 3 >& point )
        {
            auto info = TetrahedralSolidModifier::collapse_edge( edge, point );
            impl_->builder.update_after_collapse_edge( info );
            return info;
        }

        SolidSwapFacetInfo BackgroundSolidModifier::swap_facet(
            const PolyhedronFacet& facet )
        {
            auto info = TetrahedralSolidModifier::swap_facet( facet );
            for( const auto created : info.new_tetrahedra )
            {
                for( const auto replaced : info.old_tetrahedra )
                {
                    impl_->builder.update_macro_block_ids( { created, replaced } );
                }
            }
            return info;
        }

        SolidSwapEdgeInfo BackgroundSolidModifier::swap_edge(
            const PolyhedronFacetEdge& edge, index_t apex )
        {
            auto info = TetrahedralSolidModifier::swap_edge( edge, apex );
            for( const auto replaced : info.old_tetrahedra )
            {
                for( const auto created : info.new_tetrahedra )
                {
                    impl_->builder.update_macro_block_ids( { created, replaced } );
                }
            }
            return info;
        }

        SolidCleanInfo BackgroundSolidModifier::clean()
        {
            auto info = TetrahedralSolidModifier::clean();
            impl_->builder.update_element_search( impl_->solid );
            return info;
        }
    } // namespace internal
} // namespace orvane
