#include <conversion/corners_lines_builder.hpp>

#include <vector>

#include <absl/container/flat_hash_map.h>

#include <core_support/sentinels.hpp>
#include <openorvane/basic/attribute_manager.hpp>
#include <openorvane/basic/exception.hpp>
#include <openorvane/basic/sparse_attribute.hpp>
#include <openorvane/basic/variable_attribute.hpp>
#include <openorvane/model/brep_builder.hpp>

namespace orvane
{
    namespace detail
    {
        class CornersLinesBuilder< BRep >::Impl
        {
        public:
            explicit Impl( BRep& model )
                : model_( model ),
                  builder_( model ),
                  wireframe_( EdgedCurve< 3 >::create() ),
                  wireframe_builder_( EdgedCurveBuilder< 3 >::create( *wireframe_ ) ),
                  unique_vertex_(
                      wireframe_->vertex_attribute_manager()
                          .find_or_create_attribute< VariableAttribute, index_t >(
                              "wireframe_vertex_id", NO_ID ) ),
                  corner_( wireframe_->vertex_attribute_manager()
                               .find_or_create_attribute< SparseAttribute, uuid >(
                                   "corner_uuid", no_component_id ) ),
                  line_( wireframe_->edge_attribute_manager()
                             .find_or_create_attribute< VariableAttribute, uuid >(
                                 "line_uuid", no_component_id ) ),
                  line_edge_( wireframe_->edge_attribute_manager()
                                  .find_or_create_attribute< VariableAttribute, index_t >(
                                      "line_edge", NO_ID ) )
            {
            }

            ~Impl()
            {
                // Maps, attribute handles, then the wireframe's builder and
                // the wireframe itself.
                edges_.clear();
                vertices_.clear();
                line_edge_.reset();
                line_.reset();
                corner_.reset();
                unique_vertex_.reset();
                wireframe_builder_.reset();
                wireframe_.reset();
            }

            index_t add_wireframe_edge( const std::array< index_t, 2 >& unique_vertices,
                const Point< 3 >& point0,
                const Point< 3 >& point1 )
            {
                const auto key = sorted( unique_vertices );
                const auto found = edges_.find( key );
                if( found != edges_.end() )
                {
                    return found->second;
                }
                const auto edge = wireframe_builder_->create_edge();
                edges_.emplace( key, edge );
                const std::array< const Point< 3 >*, 2 > points{ &point0, &point1 };
                for( const local_index_t end : { 0, 1 } )
                {
                    const auto vertex =
                        find_or_create_vertex( unique_vertices[end], *points[end] );
                    wireframe_builder_->set_edge_vertex( { edge, end }, vertex );
                }
                return edge;
            }

            index_t add_wireframe_corner( index_t unique_vertex, const Point< 3 >& point )
            {
                const auto vertex = find_or_create_vertex( unique_vertex, point );
                // A second request for the same place (two coincident
                // corner points, or a corner point where a touching vertex
                // already made a corner) must not leave an orphan corner
                // that no line, relationship or mapping refers to.
                if( corner_->value( vertex ) == no_component_id )
                {
                    create_corner( vertex );
                }
                return vertex;
            }

            void create_corner( index_t vertex )
            {
                const auto corner = builder_.add_corner();
                builder_.corner_mesh_builder( corner )->create_point(
                    wireframe_->point( vertex ) );
                corner_->set_value( vertex, corner );
                builder_.set_unique_vertex(
                    { model_.corner( corner ).component_id(), 0 },
                    unique_vertex_->value( vertex ) );
            }

            void build_corners( CornersLinesBuilder< BRep >& owner )
            {
                for( index_t vertex = 0; vertex < wireframe_->nb_vertices(); vertex++ )
                {
                    if( corner_->value( vertex ) == no_component_id
                        && owner.is_corner( vertex ) )
                    {
                        create_corner( vertex );
                    }
                }
            }

            void build_lines()
            {
                for( index_t vertex = 0; vertex < wireframe_->nb_vertices(); vertex++ )
                {
                    if( corner_->value( vertex ) == no_component_id )
                    {
                        continue;
                    }
                    // The list is copied: nothing edits the wireframe's
                    // topology here, but the walk reads other vertices'
                    // lists meanwhile.
                    const auto around = wireframe_->edges_around_vertex( vertex );
                    for( const auto& edge_vertex : around )
                    {
                        if( line_->value( edge_vertex.edge_id ) != no_component_id )
                        {
                            continue;
                        }
                        const auto line = builder_.add_line();
                        const auto walked = walk_line( edge_vertex, line );
                        create_line_mesh( line, walked, true );
                        const auto& line_component = model_.line( line );
                        const auto& first = corner_->value( walked.front() );
                        const auto& last = corner_->value( walked.back() );
                        builder_.add_corner_line_boundary_relationship(
                            model_.corner( first ), line_component );
                        if( walked.front() != walked.back() )
                        {
                            builder_.add_corner_line_boundary_relationship(
                                model_.corner( last ), line_component );
                        }
                    }
                }
                for( index_t edge = 0; edge < wireframe_->nb_edges(); edge++ )
                {
                    if( line_->value( edge ) != no_component_id )
                    {
                        continue;
                    }
                    const auto line = builder_.add_line();
                    const auto walked = walk_line( { edge, 0 }, line );
                    create_line_mesh( line, walked, false );
                }
            }

            const EdgedCurve< 3 >& wireframe() const
            {
                return *wireframe_;
            }

            index_t unique_vertex( index_t vertex ) const
            {
                return unique_vertex_->value( vertex );
            }

            const uuid& corner( index_t vertex ) const
            {
                return corner_->value( vertex );
            }

            const uuid& line( index_t edge ) const
            {
                return line_->value( edge );
            }

            index_t line_edge( index_t edge ) const
            {
                return line_edge_->value( edge );
            }

            std::optional< index_t > find_edge(
                const std::array< index_t, 2 >& unique_vertices ) const
            {
                const auto found = edges_.find( sorted( unique_vertices ) );
                if( found == edges_.end() )
                {
                    return std::nullopt;
                }
                return found->second;
            }

            std::optional< index_t > find_vertex( index_t unique_vertex ) const
            {
                const auto found = vertices_.find( unique_vertex );
                if( found == vertices_.end() )
                {
                    return std::nullopt;
                }
                return found->second;
            }

            index_t find_or_create_vertex( index_t unique_vertex, const Point< 3 >& point )
            {
                const auto found = vertices_.find( unique_vertex );
                if( found != vertices_.end() )
                {
                    return found->second;
                }
                const auto vertex = wireframe_builder_->create_point( point );
                unique_vertex_->set_value( vertex, unique_vertex );
                vertices_.emplace( unique_vertex, vertex );
                return vertex;
            }

        private:
            static std::array< index_t, 2 > sorted( const std::array< index_t, 2 >& pair )
            {
                if( pair[1] < pair[0] )
                {
                    return { pair[1], pair[0] };
                }
                return pair;
            }

            void take_edge( index_t edge, const uuid& line, index_t position )
            {
                line_->set_value( edge, line );
                line_edge_->set_value( edge, position );
            }

            /// The wireframe vertices of the line that starts with the given
            /// edge end, in walk order; marks the walked edges.
            std::vector< index_t > walk_line( const EdgeVertex& start, const uuid& line )
            {
                std::vector< index_t > walked;
                const auto first = wireframe_->edge_vertex( start );
                walked.push_back( first );
                take_edge( start.edge_id, line, 0 );
                walked.push_back( wireframe_->edge_vertex( start.opposite() ) );
                if( corner_->value( walked.back() ) != no_component_id )
                {
                    return walked;
                }
                while( walked.back() != first )
                {
                    const auto current = walked.back();
                    const EdgeVertex* next = nullptr;
                    for( const auto& edge_vertex : wireframe_->edges_around_vertex( current ) )
                    {
                        if( line_->value( edge_vertex.edge_id ) == no_component_id )
                        {
                            next = &edge_vertex;
                            break;
                        }
                    }
                    if( next == nullptr )
                    {
                        // Only a vertex of two edges goes without corner, so
                        // its second edge is always free; a wireframe that
                        // breaks this rule cannot be made into lines.
                        throw OpenOrvaneException{
                            "[CornersLinesBuilder::build_lines] Wireframe vertex ",
                            current, " has no corner and no free edge to continue line ",
                            line.string()
                        };
                    }
                    take_edge( next->edge_id, line,
                        static_cast< index_t >( walked.size() - 1 ) );
                    walked.push_back( wireframe_->edge_vertex( next->opposite() ) );
                    if( corner_->value( walked.back() ) != no_component_id )
                    {
                        break;
                    }
                }
                return walked;
            }

            void create_line_mesh( const uuid& line,
                const std::vector< index_t >& walked,
                bool starts_at_corner )
            {
                const auto nb = static_cast< index_t >( walked.size() );
                const bool closed_without_corner =
                    !starts_at_corner && walked.front() == walked.back();
                const auto nb_points = closed_without_corner ? nb - 1 : nb;
                auto mesh_builder = builder_.line_mesh_builder( line );
                const auto line_id = model_.line( line ).component_id();
                for( index_t i = 0; i < nb_points; i++ )
                {
                    const auto point =
                        mesh_builder->create_point( wireframe_->point( walked[i] ) );
                    builder_.set_unique_vertex(
                        { line_id, point }, unique_vertex_->value( walked[i] ) );
                }
                for( index_t i = 0; i + 2 < nb; i++ )
                {
                    mesh_builder->create_edge( i, i + 1 );
                }
                mesh_builder->create_edge(
                    nb - 2, closed_without_corner ? 0 : nb - 1 );
            }

        private:
            BRep& model_;
            BRepBuilder builder_;
            std::unique_ptr< EdgedCurve< 3 > > wireframe_;
            std::unique_ptr< EdgedCurveBuilder< 3 > > wireframe_builder_;
            std::shared_ptr< VariableAttribute< index_t > > unique_vertex_;
            std::shared_ptr< SparseAttribute< uuid > > corner_;
            std::shared_ptr< VariableAttribute< uuid > > line_;
            std::shared_ptr< VariableAttribute< index_t > > line_edge_;
            absl::flat_hash_map< index_t, index_t > vertices_;
            absl::flat_hash_map< std::array< index_t, 2 >, index_t > edges_;
        };

        CornersLinesBuilder< BRep >::CornersLinesBuilder( BRep& model )
            : impl_( std::make_unique< Impl >( model ) )
        {
        }

        CornersLinesBuilder< BRep >::~CornersLinesBuilder() = default;

        index_t CornersLinesBuilder< BRep >::add_wireframe_edge(
            const std::array< index_t, 2 >& unique_vertices,
            const Point< 3 >& point0,
            const Point< 3 >& point1 )
        {
            return impl_->add_wireframe_edge( unique_vertices, point0, point1 );
        }

        index_t CornersLinesBuilder< BRep >::add_wireframe_vertex(
            index_t unique_vertex, const Point< 3 >& point )
        {
            return impl_->find_or_create_vertex( unique_vertex, point );
        }

        index_t CornersLinesBuilder< BRep >::add_wireframe_corner(
            index_t unique_vertex, const Point< 3 >& point )
        {
            return impl_->add_wireframe_corner( unique_vertex, point );
        }

        void CornersLinesBuilder< BRep >::create_corner( index_t wireframe_vertex )
        {
            impl_->create_corner( wireframe_vertex );
        }

        void CornersLinesBuilder< BRep >::build_corners()
        {
            impl_->build_corners( *this );
        }

        void CornersLinesBuilder< BRep >::build_lines()
        {
            impl_->build_lines();
        }

        const EdgedCurve< 3 >& CornersLinesBuilder< BRep >::wireframe() const
        {
            return impl_->wireframe();
        }

        const uuid& CornersLinesBuilder< BRep >::wireframe_id() const
        {
            return impl_->wireframe().id();
        }

        index_t CornersLinesBuilder< BRep >::wireframe_unique_vertex(
            index_t wireframe_vertex ) const
        {
            return impl_->unique_vertex( wireframe_vertex );
        }

        const uuid& CornersLinesBuilder< BRep >::wireframe_corner(
            index_t wireframe_vertex ) const
        {
            return impl_->corner( wireframe_vertex );
        }

        const uuid& CornersLinesBuilder< BRep >::wireframe_line( index_t wireframe_edge ) const
        {
            return impl_->line( wireframe_edge );
        }

        index_t CornersLinesBuilder< BRep >::wireframe_line_edge(
            index_t wireframe_edge ) const
        {
            return impl_->line_edge( wireframe_edge );
        }

        std::optional< index_t > CornersLinesBuilder< BRep >::find_wireframe_edge(
            const std::array< index_t, 2 >& unique_vertices ) const
        {
            return impl_->find_edge( unique_vertices );
        }

        std::optional< index_t > CornersLinesBuilder< BRep >::find_wireframe_vertex(
            index_t unique_vertex ) const
        {
            return impl_->find_vertex( unique_vertex );
        }
    } // namespace detail
} // namespace orvane
