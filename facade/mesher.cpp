#include <facade/mesher.hpp>

#include <cmath>
#include <utility>

#include <openorvane/basic/exception.hpp>
#include <openorvane/mesh/triangulated_surface.hpp>

#include <conversion/feature_angle_split.hpp>
#include <explicit/brep_explicit_modeler.hpp>
#include <facade/mesher_pipeline.hpp>
#include <simplex/brep_remesher.hpp>
#include <simplex/metric/brep_metric_constraints.hpp>
#include <simplex/metric/metric.hpp>

namespace
{
    void check_options( const orvane_tamsel::MesherOptions& options )
    {
        if( !std::isfinite( options.metric ) || !( options.metric > orvane::GLOBAL_EPSILON ) )
        {
            throw orvane::OpenOrvaneException{
                "[MetricConstraints] Metric should be larger than epsilon, provided ",
                options.metric };
        }
        if( !( options.angle >= 0. && options.angle <= 180. ) )
        {
            throw orvane::OpenOrvaneException{ "[Mesher::build_and_mesh] The feature "
                                               "angle should be between 0 and 180 "
                                               "degrees, provided ",
                options.angle };
        }
    }

    /// The component mapping of the record alone, moved out of it. Only the
    /// component mappings of the modeling stages go further: composing
    /// their element and vertex mappings, which list every polygon and
    /// vertex of the input, would be wasted work on large meshes.
    orvane::ModelMappings components_only( orvane::ModelMappings& mappings )
    {
        orvane::ModelMappings result;
        result.component_mapping = std::move( mappings.component_mapping );
        return result;
    }
} // namespace

namespace orvane
{
    namespace internal
    {
        orvane_tamsel::MesherResult mesh_surfaces( BRepExplicitModeler& modeler,
            const orvane_tamsel::MesherOptions& options,
            const SurfaceStages& stages,
            const StageObserver& observer )
        {
            check_options( options );
            auto [conformal, conformal_mappings] = modeler.build( observer );
            StageClock clock{ observer };
            auto [split, split_mappings] =
                detail::split_brep_by_feature_angle( conformal, options.angle );
            const auto split_components =
                detail::merge_mappings( components_only( conformal_mappings ),
                    components_only( split_mappings ) )
                    .component_mapping;
            // The conformal model and the modeling mappings are not needed
            // any more: freed now rather than on the way out, they do not
            // add to the peak memory of the remeshing.
            conformal = BRep{};
            conformal_mappings = ModelMappings{};
            split_mappings = ModelMappings{};
            clock.lap( "feature split" );
            BRepMetricConstraints::Impl constraints{ split };
            constraints.set_default_metric( options.metric );
            const auto& metric = constraints.setup_metric();
            clock.lap( "metric" );
            BRepRemeshOptions remesh_options;
            remesh_options.repair_lines = false;
            remesh_options.relax_lines = true;
            remesh_options.repair_surfaces = false;
            remesh_options.relax_surfaces = true;
            remesh_options.relax_blocks = true;
            remesh_options.mesh_blocks = false;
            auto [remeshed, remeshed_mapping] = internal::remesh_brep(
                std::move( split ), metric, remesh_options, stages, observer );
            auto mapping =
                detail::merge_mappings( split_components, remeshed_mapping );
            return { std::move( remeshed ), std::move( mapping ) };
        }
    } // namespace internal
} // namespace orvane

namespace orvane_tamsel
{
    MesherOptions::MesherOptions( double metric_value ) : metric( metric_value ) {}

    MesherOptions::MesherOptions( const MesherOptions& other ) = default;

    MesherOptions::MesherOptions( MesherOptions&& other ) noexcept = default;

    MesherOptions& MesherOptions::operator=( const MesherOptions& other ) = default;

    MesherOptions& MesherOptions::operator=( MesherOptions&& other ) noexcept = default;

    class Mesher::Impl
    {
    public:
        explicit Impl( const orvane::BoundingBox< 3 >& box ) : modeler_( box ) {}

        void add_surface( const orvane::TriangulatedSurface< 3 >& surface )
        {
            modeler_.add_triangulated_surface( surface );
        }

        MesherResult build_and_mesh( const MesherOptions& options )
        {
            // The run edits the surfaces it works on: it gets copies, so that
            // the stored ones stay as added whatever happens.
            orvane::BRepExplicitModeler working{ modeler_.bounding_box() };
            for( const auto* surface : modeler_.surfaces() )
            {
                working.add_triangulated_surface( *surface );
            }
            return orvane::internal::mesh_surfaces(
                working, options, orvane::internal::default_surface_stages() );
        }

    private:
        orvane::BRepExplicitModeler modeler_;
    };

    Mesher::Mesher( orvane::BoundingBox< 3 > box )
        : impl_( std::make_unique< Impl >( box ) )
    {
    }

    Mesher::~Mesher() = default;

    void Mesher::add_surface( const orvane::TriangulatedSurface< 3 >& surface )
    {
        impl_->add_surface( surface );
    }

    MesherResult Mesher::build_and_mesh( const MesherOptions& options )
    {
        const MesherOptions copied{ options };
        return impl_->build_and_mesh( copied );
    }
} // namespace orvane_tamsel
