#include <openorvane/mesh/graph_identifier.hpp>

#include <openorvane/basic/exception.hpp>
#include <openorvane/mesh/connected_groups.hpp>
#include <openorvane/mesh/graph.hpp>

namespace orvane
{
    namespace detail
    {
        class GraphIdentifier::Impl
        {
        public:
            explicit Impl( const Graph& graph ) : graph_( graph ) {}

            void identify_vertices()
            {
                const auto nb_vertices = graph_.nb_vertices();
                auto result = connected_groups(
                    nb_vertices, [this, nb_vertices]( auto&& link ) {
                        for( index_t e = 0; e < graph_.nb_edges(); e++ )
                        {
                            const auto v0 = graph_.edge_vertex( { e, 0 } );
                            const auto v1 = graph_.edge_vertex( { e, 1 } );
                            if( v0 == NO_ID || v1 == NO_ID )
                            {
                                continue;
                            }
                            ORVANE_EXCEPTION(
                                v0 < nb_vertices && v1 < nb_vertices,
                                "[GraphIdentifier::identify_vertices] Edge ", e,
                                " names a vertex past the end (", nb_vertices,
                                " vertices)" );
                            link( v0, v1 );
                        }
                    } );
                groups_ = std::move( result.groups );
                group_of_ = std::move( result.group_of );
            }

            const std::vector< std::vector< index_t > >& groups() const
            {
                return groups_;
            }

            index_t vertex_identifier( index_t vertex_id ) const
            {
                ORVANE_EXCEPTION( vertex_id < graph_.nb_vertices(),
                    "[GraphIdentifier::vertex_identifier] Vertex ", vertex_id,
                    " does not exist (there are ", graph_.nb_vertices(), ")" );
                if( vertex_id >= group_of_.size() )
                {
                    return NO_ID;
                }
                return group_of_[vertex_id];
            }

        private:
            const Graph& graph_;
            std::vector< std::vector< index_t > > groups_;
            std::vector< index_t > group_of_;
        };

        GraphIdentifier::GraphIdentifier( const Graph& graph )
            : impl_( std::make_unique< Impl >( graph ) )
        {
        }

        GraphIdentifier::GraphIdentifier( GraphIdentifier&& ) noexcept = default;

        GraphIdentifier& GraphIdentifier::operator=(
            GraphIdentifier&& ) noexcept = default;

        GraphIdentifier::~GraphIdentifier() = default;

        void GraphIdentifier::identify_vertices()
        {
            impl_->identify_vertices();
        }

        const std::vector< std::vector< index_t > >&
            GraphIdentifier::identified_connected_vertices() const
        {
            return impl_->groups();
        }

        index_t GraphIdentifier::vertex_identifier( index_t vertex_id ) const
        {
            return impl_->vertex_identifier( vertex_id );
        }
    } // namespace detail
} // namespace orvane
