#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <optional>

#include <absl/container/flat_hash_map.h>

#include <openorvane/basic/mapping.hpp>
#include <vector>

#include <openorvane/basic/logger.hpp>
#include <openorvane/geometry/point.hpp>
#include <openorvane/model/brep.hpp>
#include <openorvane/model/brep_builder.hpp>

#include <simplex/metric/metric.hpp>
#include <simplex/remeshing_data.hpp>
#include <simplex/simplex_brep_library.hpp>

namespace orvane::test
{
    inline Point< 3 > p3( double x, double y, double z )
    {
        return Point< 3 >{ { x, y, z } };
    }

    /// A metric given by a function of the point; element queries use the
    /// first vertex.
    class FunctionMetric : public Metric< 3 >
    {
    public:
        explicit FunctionMetric( std::function< double( const Point< 3 >& ) > function )
            : function_( std::move( function ) )
        {
        }

        double point_metric( const Point< 3 >& point ) const override
        {
            return function_( point );
        }
        double triangle_metric( const Triangle< 3 >& triangle ) const override
        {
            return function_( triangle.vertices()[0] );
        }
        double segment_metric( const Segment< 3 >& segment ) const override
        {
            return function_( segment.vertices()[0] );
        }
        double mean_metric() const override
        {
            return function_( Point< 3 >{} );
        }
        double median_metric() const override
        {
            return function_( Point< 3 >{} );
        }
        double tetrahedron_metric( const Tetrahedron& tetrahedron ) const override
        {
            return function_( tetrahedron.vertices()[0] );
        }

    private:
        std::function< double( const Point< 3 >& ) > function_;
    };

    /// One remeshing run, held with its output model.
    struct RemeshingRun
    {
        RemeshingRun( BRep&& input, const Metric< 3 >& metric )
        {
            SimplexBRepLibrary::initialize();
            data = std::make_unique< RemeshingData< BRep > >( std::move( input ), output, metric );
        }

        BRep output;
        std::unique_ptr< RemeshingData< BRep > > data;
    };

    /// The uuids of a component range, in model order.
    template < typename Range >
    std::vector< uuid > ids_of( const Range& range )
    {
        std::vector< uuid > ids;
        for( const auto& component : range )
        {
            ids.push_back( component.id() );
        }
        return ids;
    }

    /// The closing line a progress logger of that title wrote, or "".
    inline std::string progress_end( const LoggerCapture& capture, std::string_view title )
    {
        const auto prefix = std::string{ title } + " completed";
        for( const auto& message : capture.messages() )
        {
            if( message.text.starts_with( prefix ) )
            {
                return message.text;
            }
        }
        return {};
    }

    /// Builds a model of corners and lines only: corner k at corner_points[k]
    /// linked to unique vertex k, then each line through its points, its
    /// vertices at a corner point linked to that corner's unique vertex and
    /// the others to new unique vertices, and the corners its ends touch
    /// set as its boundaries.
    class WireModel
    {
    public:
        explicit WireModel( const std::vector< Point< 3 > >& corner_points );

        /// Returns the line's uuid.
        uuid add_line( const std::vector< Point< 3 > >& points, bool closed = false );

        BRep model;
        std::vector< uuid > corners;

    private:
        std::vector< Point< 3 > > corner_points_;
    };

    /// Checks the output corners and lines of a run stopped before the
    /// surfaces: corners are unique vertices 0..n-1; every line vertex is
    /// linked; line ends sit on the line's boundary corners; every other
    /// line vertex has its own unique vertex, held by that line only (a
    /// line bounding several surfaces is remeshed once); edges lie between
    /// a quarter and 1.5 times the metric; the model passes the shared
    /// checks but those of surface borders and block boundaries.
    void expect_conformal_corners_and_lines( const BRep& output, double metric );

    /// What the surfaces of an input model look like before remeshing: per
    /// input surface uuid, its unit normal when all its triangles lie in one
    /// plane facing one way (empty otherwise), and the model size (bounding
    /// box diagonal).
    struct InputSurfaceShapes
    {
        absl::flat_hash_map< uuid, std::optional< Vector< 3 > > > plane_normals;
        absl::flat_hash_map< uuid, Point< 3 > > plane_points;
        double model_size{ 0 };
    };

    [[nodiscard]] InputSurfaceShapes input_surface_shapes( const BRep& input );

    /// The output line of an input line of the run.
    const Line< 3 >& output_line( const RemeshingRun& run, const uuid& input_line );

    /// Every output vertex of the line has a unique vertex, and the input
    /// line has a vertex at its point carrying that unique vertex in
    /// "remeshed_line_attribute"; input vertices elsewhere carry none.
    void expect_linked_to_input( const RemeshingRun& run, const uuid& input_line );

    /// Checks the surfaces of a model remeshed to a constant metric against
    /// its input: the model is conformal (shared checks, manifold and
    /// consistently oriented surfaces without degenerate triangle); no two
    /// output triangles cross once all surfaces are merged at 1e-6; every
    /// output surface of a planar input surface lies in its plane within
    /// 1e-9 of the model size with no triangle turned against the input;
    /// more than `min_share` of the edges lie within [L / sqrt 2, L sqrt 2].
    /// Returns that share.
    double expect_remeshed_surfaces( const BRep& output,
        const ModelMapping< BijectiveMapping< uuid, uuid > >& mapping,
        const InputSurfaceShapes& input,
        double metric,
        double min_share );
} // namespace orvane::test
