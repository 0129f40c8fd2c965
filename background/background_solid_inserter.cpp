#include <background/background_solid_inserter.hpp>

#include <optional>
#include <string>

#include <absl/container/flat_hash_map.h>
#include <absl/strings/str_cat.h>

#include <openorvane/basic/progress_logger.hpp>
#include <openorvane/mesh/edged_curve.hpp>
#include <openorvane/mesh/edges.hpp>
#include <openorvane/mesh/facets.hpp>
#include <openorvane/mesh/surface_aabb.hpp>
#include <openorvane/mesh/surface_mesh.hpp>
#include <openorvane/mesh/triangulated_surface_builder.hpp>

#include <background/background_solid_inserter_impl.hpp>
#include <background/orchestrator.hpp>

namespace
{
    using orvane::index_t;

    /// The work queue of one insertion run. A failed element (an
    /// OpenOrvaneException of its insertion) is stamped anew and queued
    /// again; any other exception leaves the run at once.
    class InserterOrchestrator : public orvane::internal::Orchestrator< index_t >
    {
    public:
        explicit InserterOrchestrator( orvane::ProgressLogger& logger )
            : logger_( logger )
        {
        }

        /// Every element the run did not insert, each once: the queued ones
        /// in queue order, after the one whose insertion was interrupted by
        /// an exception that is not a failure of the element.
        [[nodiscard]] std::vector< index_t > elements_not_inserted() const
        {
            auto queued = queued_elements();
            if( !in_progress_ )
            {
                return queued;
            }
            std::vector< index_t > elements{ in_progress_.value() };
            for( const auto element : queued )
            {
                if( element != in_progress_.value() )
                {
                    elements.push_back( element );
                }
            }
            return elements;
        }

    private:
        bool skip_element( const Entry& /*entry*/ ) final
        {
            return false;
        }

        Result process_element( const Entry& entry ) final
        {
            in_progress_ = entry.first;
            try
            {
                insert_element( entry.first );
            }
            catch( const orvane::OpenOrvaneException& )
            {
                in_progress_.reset();
                return { false, {}, { entry.first } };
            }
            in_progress_.reset();
            logger_.increment();
            return { true, {}, {} };
        }

        bool stop_on_limit() final
        {
            return false;
        }

        bool double_skip_limit() final
        {
            return false;
        }

        virtual void insert_element( index_t element ) = 0;

    private:
        orvane::ProgressLogger& logger_;
        std::optional< index_t > in_progress_;
    };

    class PolygonOrchestrator final : public InserterOrchestrator
    {
    public:
        PolygonOrchestrator( orvane::ProgressLogger& logger,
            orvane::internal::BackgroundSolidInserter::Impl& inserter,
            const orvane::SurfaceMesh< 3 >& surface )
            : InserterOrchestrator( logger ),
              inserter_( inserter ),
              surface_( surface )
        {
        }

    private:
        void insert_element( index_t polygon ) final
        {
            inserter_.insert_polygon( surface_.id(), surface_, polygon );
        }

    private:
        orvane::internal::BackgroundSolidInserter::Impl& inserter_;
        const orvane::SurfaceMesh< 3 >& surface_;
    };

    class EdgeOrchestrator final : public InserterOrchestrator
    {
    public:
        EdgeOrchestrator( orvane::ProgressLogger& logger,
            orvane::internal::BackgroundSolidInserter::Impl& inserter,
            const orvane::EdgedCurve< 3 >& curve )
            : InserterOrchestrator( logger ),
              inserter_( inserter ),
              curve_( curve )
        {
        }

    private:
        void insert_element( index_t edge ) final
        {
            inserter_.insert_curve_edge(
                curve_, edge, curve_.edge_vertices( edge ) );
        }

    private:
        orvane::internal::BackgroundSolidInserter::Impl& inserter_;
        const orvane::EdgedCurve< 3 >& curve_;
    };

    /// Runs the queue over the listed elements and compacts the solid
    /// either way; a run that does not insert everything throws the
    /// exception listing what was left.
    void run_insertion( orvane::internal::BackgroundSolidInserter::Impl& inserter,
        InserterOrchestrator& orchestrator,
        absl::Span< const index_t > elements,
        std::string_view operation,
        std::string_view element_kind )
    {
        try
        {
            for( const auto element : elements )
            {
                orchestrator.add_element( element );
            }
            orchestrator.set_default_max_steps();
            orchestrator.process_queue();
        }
        catch( ... )
        {
            auto not_inserted = orchestrator.elements_not_inserted();
            inserter.compact();
            throw orvane::internal::BackgroundInsertionException{ operation,
                element_kind, std::move( not_inserted ) };
        }
        inserter.compact();
    }
} // namespace

namespace orvane
{
    namespace internal
    {
        BackgroundInsertionException::BackgroundInsertionException(
            std::string_view operation,
            std::string_view element_kind,
            std::vector< index_t > elements )
            : OpenOrvaneException( "[BackgroundSolidInserter::", operation,
                  "] Not all ", element_kind, " have been inserted in BackgroundSolid" ),
              elements_( std::move( elements ) )
        {
        }

        BackgroundInsertionException::~BackgroundInsertionException() = default;

        BackgroundSolidInserter::Impl::Impl( BackgroundSolid& solid )
            : solid_( solid ),
              builder_( solid ),
              modifier_( solid, builder_ ),
              skin_( TriangulatedSurface< 3 >::create() )
        {
            auto skin_builder = TriangulatedSurfaceBuilder< 3 >::create( *skin_ );
            absl::flat_hash_map< index_t, index_t > skin_vertices;
            const auto& facets = solid_.facets();
            for( index_t tetrahedron = 0; tetrahedron < solid_.nb_polyhedra();
                 tetrahedron++ )
            {
                for( local_index_t local = 0; local < 4; local++ )
                {
                    const PolyhedronFacet facet{ tetrahedron, local };
                    if( !solid_.is_polyhedron_facet_on_border( facet ) )
                    {
                        continue;
                    }
                    const auto vertices = solid_.polyhedron_facet_vertices( facet );
                    std::array< index_t, 3 > corners{};
                    for( local_index_t corner = 0; corner < 3; corner++ )
                    {
                        const auto [found, inserted] =
                            skin_vertices.try_emplace( vertices[corner], NO_ID );
                        if( inserted )
                        {
                            found->second = skin_builder->create_point(
                                solid_.point( vertices[corner] ) );
                        }
                        corners[corner] = found->second;
                    }
                    const auto triangle = skin_builder->create_triangle( corners );
                    const auto facet_id =
                        facets.facet_from_vertices( vertices ).value();
                    builder_.add_init_facet_id( skin_id_, triangle, { facet_id } );
                    skin_facet_vertices_.emplace_back(
                        vertices.begin(), vertices.end() );
                }
            }
            skin_tree_ = create_aabb_tree( *skin_ );
        }

        BackgroundSolidInserter::Impl::~Impl()
        {
            // Every facet of the table is visited, not only the border ones:
            // a repair that re-inserts a removed vertex may hand a border
            // facet's records to facets inside the solid.
            const auto& facets = solid_.facets();
            std::vector< index_t > skin_triangles;
            for( index_t facet = 0; facet < facets.nb_facets(); facet++ )
            {
                skin_triangles.clear();
                for( const auto& record : solid_.init_facet_ids( facet ) )
                {
                    if( record.mesh_id == skin_id_ )
                    {
                        skin_triangles.push_back( record.element );
                    }
                }
                for( const auto triangle : skin_triangles )
                {
                    builder_.remove_init_facet_id( skin_id_, triangle, facet );
                }
            }
        }

        std::unique_ptr< InsertionEditContext >
            BackgroundSolidInserter::Impl::make_edit_context(
                std::vector< index_t > tracked_vertices )
        {
            return std::make_unique< InsertionEditContext >(
                solid_, modifier_, builder_, std::move( tracked_vertices ) );
        }

        void BackgroundSolidInserter::Impl::compact()
        {
            // The clean-up renumbers the vertices and forgets the merges:
            // the skin's corners are translated to the vertices they have
            // become, then renumbered, so that skin_vertex stays right in
            // the later runs.
            for( auto& corners : skin_facet_vertices_ )
            {
                for( auto& vertex : corners )
                {
                    vertex = modifier_.updated_vertex( vertex );
                }
            }
            const auto clean = modifier_.clean();
            for( auto& corners : skin_facet_vertices_ )
            {
                for( auto& vertex : corners )
                {
                    vertex = vertex < clean.vertices.size()
                                 ? clean.vertices[vertex]
                                 : NO_ID;
                }
            }
        }

        void BackgroundSolidInserter::Impl::insert_surface(
            const SurfaceMesh< 3 >& surface, absl::Span< const index_t > polygons )
        {
            ProgressLogger logger{ absl::StrCat( "Insertion of surface ",
                                       std::string{ surface.name() }, " (",
                                       surface.id().string(), "): " ),
                static_cast< index_t >( polygons.size() ) };
            if( !surface.are_edges_enabled() )
            {
                surface.enable_edges();
            }
            PolygonOrchestrator orchestrator{ logger, *this, surface };
            run_insertion(
                *this, orchestrator, polygons, "insert_surface", "polygons" );
        }

        void BackgroundSolidInserter::Impl::insert_curve(
            const EdgedCurve< 3 >& curve, absl::Span< const index_t > edges )
        {
            ProgressLogger logger{ absl::StrCat( "Insertion of curve ",
                                       std::string{ curve.name() }, " (", curve.id().string(),
                                       "): " ),
                static_cast< index_t >( edges.size() ) };
            EdgeOrchestrator orchestrator{ logger, *this, curve };
            run_insertion( *this, orchestrator, edges, "insert_curve", "edges" );
        }

        void BackgroundSolidInserter::Impl::insert_polygon(
            const uuid& surface_id, const SurfaceMesh< 3 >& surface, index_t polygon )
        {
            std::array< EdgeInsertion, 3 > edges;
            for( local_index_t i = 0; i < 3; i++ )
            {
                const auto vertices =
                    surface.polygon_edge_vertices( { polygon, i } );
                const auto edge =
                    surface.edges().edge_from_vertices( vertices ).value();
                edges[i] = insert_surface_edge( surface, edge, vertices );
            }
            insert_polygon_facet( surface_id, polygon, edges );
        }

        BackgroundSolidInserter::BackgroundSolidInserter( BackgroundSolid& solid )
            : impl_( std::make_unique< Impl >( solid ) )
        {
        }

        BackgroundSolidInserter::~BackgroundSolidInserter() = default;

        void BackgroundSolidInserter::insert_surface(
            const SurfaceMesh< 3 >& surface, absl::Span< const index_t > polygons )
        {
            impl_->insert_surface( surface, polygons );
        }

        void BackgroundSolidInserter::insert_curve(
            const EdgedCurve< 3 >& curve, absl::Span< const index_t > edges )
        {
            impl_->insert_curve( curve, edges );
        }
    } // namespace internal
} // namespace orvane
