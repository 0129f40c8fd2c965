#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include <openorvane/basic/exception.hpp>
#include <openorvane/geometry/distance.hpp>
#include <openorvane/geometry/predicates.hpp>
#include <openorvane/mesh/tetrahedral_solid.hpp>
#include <openorvane/mesh/triangulated_surface.hpp>
#include <openorvane/model/brep.hpp>
#include <openorvane/model/brep_builder.hpp>

#include <background/background_solid.hpp>
#include <common/modifier/brep_geometric_modifier.hpp>

#include <simplex/block/block_macro_vertices.hpp>
#include <simplex/metric/constant_metric.hpp>
#include <simplex/simplex_brep_library.hpp>
#include <simplex/surface/edge_sampler.hpp>
#include <simplex/surface/surface_sampler.hpp>
#include <simplex/surface/surface_sampler_3d.hpp>

#include <tests/simplex/remeshing_fixtures.hpp>
#include <tests/support/brep_fixtures.hpp>
#include <tests/support/surface_checks.hpp>

namespace
{
    using namespace orvane;
    using namespace orvane::test;

    using Height = std::function< double( double, double ) >;

    double flat( double, double )
    {
        return 0.;
    }

    double dome( double x, double y )
    {
        return 0.3 * std::sin( M_PI * x ) * std::sin( M_PI * y );
    }

    /// A model of one surface lying on one block. The surface is a grid of
    /// nx x ny squares of side `cell` lifted to z = height(x, y), vertex
    /// j * (nx + 1) + i at node (i, j), each square cut into two triangles
    /// facing up; surface vertex v is tied to unique vertex v. The block is
    /// a background solid made of one tetrahedron per surface triangle with
    /// a common apex below the surface; its vertex v is tied to unique
    /// vertex v too, so that every split of a surface triangle also splits
    /// a block facet. The `tagged` vertices carry the `macro` uuid in the
    /// block's provenance.
    struct SampledModel
    {
        SampledModel( index_t nx,
            index_t ny,
            double cell,
            const Height& height,
            const std::vector< index_t >& tagged )
            : nb_columns( nx + 1 ), nb_grid_vertices( ( nx + 1 ) * ( ny + 1 ) )
        {
            SimplexBRepLibrary::initialize();
            std::vector< Point< 3 > > points;
            std::vector< index_t > uniques;
            for( index_t j = 0; j <= ny; j++ )
            {
                for( index_t i = 0; i <= nx; i++ )
                {
                    const auto x = cell * i;
                    const auto y = cell * j;
                    uniques.push_back( static_cast< index_t >( points.size() ) );
                    points.push_back( p3( x, y, height( x, y ) ) );
                }
            }
            std::vector< std::array< index_t, 3 > > triangles;
            for( index_t j = 0; j < ny; j++ )
            {
                for( index_t i = 0; i < nx; i++ )
                {
                    const auto v = j * ( nx + 1 ) + i;
                    triangles.push_back( { v, v + 1, v + nx + 2 } );
                    triangles.push_back( { v, v + nx + 2, v + nx + 1 } );
                }
            }
            BRepBuilder builder{ model };
            builder.create_unique_vertices( nb_grid_vertices + 1 );
            surface = add_linked_surface( model, points, triangles, uniques );

            auto cone = TetrahedralSolid< 3 >::create();
            {
                auto cone_builder = TetrahedralSolidBuilder< 3 >::create( *cone );
                for( const auto& point : points )
                {
                    cone_builder->create_point( point );
                }
                const auto apex = cone_builder->create_point(
                    p3( 0.5 * cell * nx, 0.5 * cell * ny, -cell * ( nx + ny ) ) );
                for( const auto& triangle : triangles )
                {
                    std::array< index_t, 4 > tetrahedron{ triangle[0], triangle[1], triangle[2],
                        apex };
                    if( tetrahedron_volume_sign( { points[triangle[0]], points[triangle[1]],
                            points[triangle[2]], cone->point( apex ) } )
                        != SIDE::positive )
                    {
                        std::swap( tetrahedron[1], tetrahedron[2] );
                    }
                    cone_builder->create_tetrahedron( tetrahedron );
                }
                cone_builder->compute_polyhedron_adjacencies();
            }
            block = builder.add_block( internal::BackgroundSolid::impl_name_static() );
            builder.update_block_mesh(
                model.block( block ), std::make_unique< internal::BackgroundSolid >( *cone ) );
            for( index_t v = 0; v <= nb_grid_vertices; v++ )
            {
                builder.set_unique_vertex( { model.block( block ).component_id(), v }, v );
            }
            internal::MacroVertexRecorder recorder{ model, builder };
            for( const auto vertex : tagged )
            {
                internal::add_macro_component( recorder, macro, vertex, vertex );
            }
        }

        [[nodiscard]] const TriangulatedSurface< 3 >& mesh() const
        {
            return dynamic_cast< const TriangulatedSurface< 3 >& >(
                model.surface( surface ).mesh() );
        }

        [[nodiscard]] const internal::BackgroundSolid& solid() const
        {
            return dynamic_cast< const internal::BackgroundSolid& >( model.block( block ).mesh() );
        }

        /// Runs the sampler and the insertion on the surface.
        void sample( const Metric< 3 >& metric )
        {
            BRepBuilder builder{ model };
            BRepGeometricModifier modifier{ model, builder };
            internal::MacroVertexRecorder recorder{ model, builder };
            internal::SamplingContext context{ model, macro, modifier, metric, recorder };
            internal::sample_surface( context, model.surface( surface ) );
            modifier.clean();
        }

        [[nodiscard]] bool is_tagged( index_t unique_vertex ) const
        {
            return internal::is_macro_vertex_of( model, unique_vertex, macro );
        }

        /// The vertices of the grid's border, in index order.
        [[nodiscard]] std::vector< index_t > border() const
        {
            std::vector< index_t > vertices;
            const auto nb_rows = nb_grid_vertices / nb_columns;
            for( index_t v = 0; v < nb_grid_vertices; v++ )
            {
                const auto i = v % nb_columns;
                const auto j = v / nb_columns;
                if( i == 0 || j == 0 || i + 1 == nb_columns || j + 1 == nb_rows )
                {
                    vertices.push_back( v );
                }
            }
            return vertices;
        }

        /// The points of the surface vertices a sampling run added.
        [[nodiscard]] std::vector< Point< 3 > > new_points() const
        {
            std::vector< Point< 3 > > points;
            for( auto v = nb_grid_vertices; v < mesh().nb_vertices(); v++ )
            {
                points.push_back( mesh().point( v ) );
            }
            return points;
        }

        /// The provenance indices recorded under `macro` for the new
        /// vertices' block vertices.
        [[nodiscard]] std::vector< index_t > recorded_indices() const
        {
            std::vector< index_t > indices;
            for( auto v = nb_grid_vertices + 1; v < solid().nb_vertices(); v++ )
            {
                for( const auto& record : solid().init_vertex_ids( v ) )
                {
                    if( record.mesh_id == macro )
                    {
                        indices.push_back( record.element );
                    }
                }
            }
            return indices;
        }

        index_t nb_columns;
        index_t nb_grid_vertices;
        BRep model;
        uuid surface;
        uuid block;
        uuid macro;
    };

    /// Checks a sampled surface against its input mesh: the new vertices
    /// lie on the input triangles, no two sample or seed points are closer
    /// than half the metric, every grid node has a sample or seed within the
    /// metric, every new vertex is recorded in the block's provenance, the
    /// surface stays valid with every triangle facing up, and the block's
    /// tetrahedra stay positive.
    void expect_sampled_by_the_metric( const SampledModel& sampled,
        const TriangulatedSurface< 3 >& input,
        const std::vector< index_t >& seeds,
        double metric )
    {
        const auto& mesh = sampled.mesh();
        auto points = sampled.new_points();
        ASSERT_FALSE( points.empty() );
        for( const auto& point : points )
        {
            double distance = std::numeric_limits< double >::max();
            for( index_t p = 0; p < input.nb_polygons(); p++ )
            {
                distance = std::min( distance,
                    std::get< 0 >( point_triangle_distance( point, input.triangle( p ) ) ) );
            }
            EXPECT_LE( distance, 1e-9 ) << point.string();
        }
        for( auto v = sampled.nb_grid_vertices; v < mesh.nb_vertices(); v++ )
        {
            EXPECT_TRUE( sampled.is_tagged(
                sampled.model.unique_vertex( { sampled.model.surface( sampled.surface ).component_id(), v } ) ) )
                << v;
        }
        for( const auto seed : seeds )
        {
            points.push_back( mesh.point( seed ) );
        }
        for( std::size_t a = 0; a < points.size(); a++ )
        {
            for( auto b = a + 1; b < points.size(); b++ )
            {
                ASSERT_GE( point_point_distance( points[a], points[b] ), 0.5 * metric - 1e-9 )
                    << points[a].string() << " / " << points[b].string();
            }
        }
        for( index_t v = 0; v < sampled.nb_grid_vertices; v++ )
        {
            double nearest = std::numeric_limits< double >::max();
            for( const auto& point : points )
            {
                nearest = std::min( nearest, point_point_distance( point, mesh.point( v ) ) );
            }
            EXPECT_LE( nearest, metric ) << "grid node " << v;
        }
        EXPECT_TRUE( is_valid_triangulated_surface( mesh ) );
        for( index_t p = 0; p < mesh.nb_polygons(); p++ )
        {
            const auto normal = mesh.triangle( p ).normal();
            ASSERT_TRUE( normal ) << p;
            EXPECT_GT( normal->value( 2 ), 0. ) << p;
        }
        const auto& solid = sampled.solid();
        for( index_t t = 0; t < solid.nb_polyhedra(); t++ )
        {
            const auto& v = solid.polyhedron_vertices( t );
            EXPECT_EQ( tetrahedron_volume_sign(
                           { solid.point( v[0] ), solid.point( v[1] ), solid.point( v[2] ), solid.point( v[3] ) } ),
                SIDE::positive )
                << t;
        }
    }

    /// The surface sampler's front alone, seeded like sample_surface seeds
    /// a grid whose border vertices are all tagged: every border vertex is
    /// stored, and every border edge is a chain of its own, met polygon by
    /// polygon. Its result is what the insertion receives.
    class FrontOnly : public internal::SurfaceSampler3D
    {
    public:
        FrontOnly( internal::SamplingContext& context, const SampledModel& fixture )
            : internal::SurfaceSampler3D( context, fixture.model.surface( fixture.surface ) )
        {
            const auto& grid = fixture.mesh();
            for( const auto vertex : fixture.border() )
            {
                seeds_.push_back( grid.point( vertex ) );
            }
            for( index_t p = 0; p < grid.nb_polygons(); p++ )
            {
                for( const local_index_t e : { 0, 1, 2 } )
                {
                    if( grid.is_edge_on_border( { p, e } ) )
                    {
                        const auto ends = grid.polygon_edge_vertices( { p, e } );
                        front_.push_back( { grid.point( ends[0] ), grid.point( ends[1] ) } );
                    }
                }
            }
        }

    private:
        void initialize() override
        {
            for( const auto& point : seeds_ )
            {
                add_point_to_cells( grid().cells( point ), point );
            }
        }

        std::vector< internal::Edge > initial_queue_elements() override
        {
            return front_;
        }

        std::vector< Point< 3 > > seeds_;
        std::vector< internal::Edge > front_;
    };

    /// The points the front keeps on the fixture, per owner.
    internal::Sampler< internal::Edge >::Result front_points(
        SampledModel& fixture, const Metric< 3 >& metric )
    {
        BRepBuilder builder{ fixture.model };
        BRepGeometricModifier modifier{ fixture.model, builder };
        internal::MacroVertexRecorder recorder{ fixture.model, builder };
        internal::SamplingContext context{ fixture.model, fixture.macro, modifier, metric, recorder };
        return FrontOnly{ context, fixture }.sample();
    }

    TEST( SurfaceSampler, samples_a_planar_and_a_curved_surface_at_the_metric_spacing )
    {
        struct Case
        {
            const char* name;
            Height height;
        };
        const double metric = 0.2;
        const ConstantMetric< 3 > constant{ metric };
        for( const auto& [name, height] : { Case{ "flat", flat }, Case{ "dome", dome } } )
        {
            SCOPED_TRACE( name );
            const SampledModel input{ 8, 8, 0.125, height, {} };
            const auto border = input.border();
            SampledModel sampled{ 8, 8, 0.125, height, border };
            const auto kept = front_points( sampled, constant );
            sampled.sample( constant );
            expect_sampled_by_the_metric( sampled, input.mesh(), border, metric );
            // Every point the front kept became a vertex of the surface,
            // including those whose triangle an earlier insertion split.
            std::size_t nb_kept{ 0 };
            for( const auto& [owner, points] : kept )
            {
                for( const auto& point : points )
                {
                    nb_kept++;
                    bool found{ false };
                    for( index_t v = 0; v < sampled.mesh().nb_vertices() && !found; v++ )
                    {
                        found = point_point_distance( point, sampled.mesh().point( v ) ) <= 1e-6;
                    }
                    EXPECT_TRUE( found ) << "owner " << owner << " " << point.string();
                }
            }
            EXPECT_EQ( nb_kept, sampled.new_points().size() );
            auto indices = sampled.recorded_indices();
            EXPECT_EQ( indices.size(), sampled.new_points().size() );
            std::sort( indices.begin(), indices.end() );
            EXPECT_EQ( std::adjacent_find( indices.begin(), indices.end() ), indices.end() );
        }
    }

    TEST( SurfaceSampler, runs_repeat_exactly )
    {
        const ConstantMetric< 3 > metric{ 0.15 };
        std::vector< std::vector< Point< 3 > > > runs;
        for( const auto run : { 0, 1 } )
        {
            (void) run;
            SampledModel sampled{ 6, 6, 1. / 6., dome, {} };
            SampledModel tagged{ 6, 6, 1. / 6., dome, sampled.border() };
            tagged.sample( metric );
            std::vector< Point< 3 > > points;
            for( index_t v = 0; v < tagged.mesh().nb_vertices(); v++ )
            {
                points.push_back( tagged.mesh().point( v ) );
            }
            runs.push_back( std::move( points ) );
        }
        EXPECT_GT( runs[0].size(), 49 );
        EXPECT_EQ( runs[0], runs[1] );
    }

    TEST( SurfaceSampler, surfaces_without_seeds_or_with_a_sample_on_a_corner )
    {
        // On the 2 x 2 grid over the unit square tagged at its four
        // corners, each side gives one segment of length 1, whose circle of
        // radius 0.5 meets the surface at the centre vertex 4 only.
        struct Case
        {
            const char* name;
            std::vector< index_t > tagged;
            index_t nb_new_vertices;
            bool centre_tagged;
        };
        const ConstantMetric< 3 > metric{ 0.5 };
        for( const auto& [name, tagged, nb_new_vertices, centre_tagged] :
            { Case{ "no tagged vertex", {}, 0, false },
                Case{ "sample on the centre vertex", { 0, 2, 6, 8 }, 0, true } } )
        {
            SCOPED_TRACE( name );
            SampledModel sampled{ 2, 2, 0.5, flat, tagged };
            sampled.sample( metric );
            EXPECT_EQ( sampled.mesh().nb_vertices(), 9 + nb_new_vertices );
            EXPECT_EQ( sampled.is_tagged( 4 ), centre_tagged );
        }
    }

    TEST( SurfaceSampler, border_chains_of_1000_edges_exceed_the_safety_count )
    {
        // A strip of n x 1 unit squares tagged at its four corners: its
        // long sides are chains of n border edges.
        const ConstantMetric< 3 > metric{ 1. };
        for( const index_t n : { 999, 1000 } )
        {
            SampledModel sampled{ n, 1, 1., flat, { 0, n, n + 1, 2 * n + 1 } };
            BRepBuilder builder{ sampled.model };
            BRepGeometricModifier modifier{ sampled.model, builder };
            internal::MacroVertexRecorder recorder{ sampled.model, builder };
            internal::SamplingContext context{ sampled.model, sampled.macro, modifier, metric, recorder };
            const auto run = [&] {
                internal::sample_surface( context, sampled.model.surface( sampled.surface ) );
            };
            if( n == 999 )
            {
                EXPECT_NO_THROW( run() );
                EXPECT_GT( sampled.mesh().nb_vertices(), sampled.nb_grid_vertices );
                continue;
            }
            try
            {
                run();
                ADD_FAILURE() << "no failure";
            }
            catch( const OpenOrvaneException& error )
            {
                EXPECT_EQ( std::string{ error.what() },
                    "[SurfaceSampler::initial_queue_elements] Safety count exceeded" );
            }
            EXPECT_EQ( sampled.mesh().nb_vertices(), sampled.nb_grid_vertices );
            // The context stays usable: its mutex was released.
            EXPECT_TRUE( context.mutex.try_lock() );
            context.mutex.unlock();
        }
    }

    TEST( SurfaceSampler, concurrent_contexts_number_their_vertices_apart )
    {
        const ConstantMetric< 3 > metric{ 0.1 };
        std::vector< std::unique_ptr< SampledModel > > models;
        for( const auto k : { 0, 1, 2, 3 } )
        {
            (void) k;
            SampledModel plain{ 10, 10, 0.1, flat, {} };
            models.push_back( std::make_unique< SampledModel >( 10, 10, 0.1, flat, plain.border() ) );
        }
        std::vector< std::thread > threads;
        for( auto& model : models )
        {
            threads.emplace_back( [&model, &metric] { model->sample( metric ); } );
        }
        for( auto& thread : threads )
        {
            thread.join();
        }
        std::vector< index_t > indices;
        for( const auto& model : models )
        {
            const auto recorded = model->recorded_indices();
            EXPECT_FALSE( recorded.empty() );
            indices.insert( indices.end(), recorded.begin(), recorded.end() );
        }
        std::sort( indices.begin(), indices.end() );
        EXPECT_EQ( std::adjacent_find( indices.begin(), indices.end() ), indices.end() );
    }

    /// A sampler over the box [-2, 2] x [-2, 2] x [0, 0] (flat along z) with
    /// the given stored points and one front segment whose candidates, at
    /// size 1, are scripted; the segments a kept point would add are
    /// recorded and not queued.
    class ScriptedSampler : public internal::Sampler< internal::Edge >
    {
    public:
        ScriptedSampler( const Metric< 3 >& metric,
            std::vector< Point< 3 > > stored,
            std::vector< Point< 3 > > candidates )
            : internal::Sampler< internal::Edge >( metric ),
              stored_( std::move( stored ) ),
              candidates_( std::move( candidates ) )
        {
        }

        std::vector< std::vector< Point< 3 > > > close_point_lists;

        std::vector< Point< 3 > > kept()
        {
            auto result = sample();
            return result.contains( 7 ) ? result.at( 7 ) : std::vector< Point< 3 > >{};
        }

    private:
        void initialize() override
        {
            for( const auto& point : stored_ )
            {
                add_point_to_cells( grid().cells( point ), point );
            }
        }

        std::vector< internal::Edge > initial_queue_elements() override
        {
            return { { p3( 0, 0, 0 ), p3( 1, 0, 0 ) } };
        }

        internal::SampleCandidates candidate_points( const internal::Edge& ) override
        {
            internal::SampleCandidates result{ 1., {} };
            for( const auto& point : candidates_ )
            {
                result.candidates.push_back( { 7, point } );
            }
            return result;
        }

        std::vector< internal::Edge > new_queue_elements(
            absl::Span< const Point< 3 > > close_points, double, const Point< 3 >& ) override
        {
            close_point_lists.emplace_back( close_points.begin(), close_points.end() );
            return {};
        }

        BoundingBox< 3 > bounding_box() const override
        {
            BoundingBox< 3 > box;
            box.add_point( p3( -2, -2, 0 ) );
            box.add_point( p3( 2, 2, 0 ) );
            return box;
        }

        std::vector< Point< 3 > > stored_;
        std::vector< Point< 3 > > candidates_;
    };

    TEST( EdgeSampler, keeps_candidates_at_half_the_size_from_stored_points )
    {
        const ConstantMetric< 3 > metric{ 1. };
        struct Case
        {
            const char* name;
            std::vector< Point< 3 > > candidates;
            std::vector< Point< 3 > > expected;
        };
        for( const auto& [name, candidates, expected] :
            { Case{ "exactly 0.5 away", { p3( 0.5, 0, 0 ) }, { p3( 0.5, 0, 0 ) } },
                Case{ "closer than 0.5", { p3( 0.49, 0, 0 ) }, {} },
                Case{ "second too close to the first", { p3( 0, 1, 0 ), p3( 0, 1.4, 0 ) },
                    { p3( 0, 1, 0 ) } },
                Case{ "outside every cell", { p3( 0, 1, 0.6 ), p3( 3, 0, 0 ) }, {} } } )
        {
            ScriptedSampler sampler{ metric, { p3( 0, 0, 0 ) }, candidates };
            EXPECT_EQ( sampler.kept(), expected ) << name;
        }
    }

    TEST( EdgeSampler, extends_the_front_from_two_close_points_on )
    {
        const ConstantMetric< 3 > metric{ 1. };
        struct Case
        {
            const char* name;
            std::vector< Point< 3 > > stored;
            std::vector< std::vector< Point< 3 > > > close_point_lists;
        };
        // The candidate is (0, 1, 0); stored points closer than 1.5 to it
        // are its close points, nearest first.
        for( const auto& [name, stored, close_point_lists] :
            { Case{ "one close point", { p3( 0, 0, 0 ), p3( 0, -1, 0 ) }, {} },
                Case{ "two close points, nearest first",
                    { p3( 1.4, 1, 0 ), p3( -1, 1, 0 ), p3( 0, -0.5, 0 ) },
                    { { p3( -1, 1, 0 ), p3( 1.4, 1, 0 ) } } } } )
        {
            ScriptedSampler sampler{ metric, stored, { p3( 0, 1, 0 ) } };
            ASSERT_EQ( sampler.kept().size(), 1 ) << name;
            EXPECT_EQ( sampler.close_point_lists, close_point_lists ) << name;
        }
    }

    TEST( EdgeSampler, a_null_mean_metric_is_refused )
    {
        const ConstantMetric< 3 > metric{ 0. };
        ScriptedSampler sampler{ metric, {}, {} };
        try
        {
            (void) sampler.kept();
            ADD_FAILURE() << "no failure";
        }
        catch( const OpenOrvaneException& error )
        {
            EXPECT_EQ( std::string{ error.what() },
                "[Point::operator/] Cannot divide Point by something close to zero" );
        }
    }

    /// Exposes the candidates of a surface sampler.
    class CandidateProbe : public internal::SurfaceSampler3D
    {
    public:
        using internal::SurfaceSampler3D::candidate_points;
        using internal::SurfaceSampler3D::SurfaceSampler3D;

    private:
        void initialize() override {}

        std::vector< internal::Edge > initial_queue_elements() override
        {
            return {};
        }
    };

    TEST( SurfaceSampler3D, proposes_where_the_circle_around_the_segment_pierces_the_surface )
    {
        // The 2 x 2 grid over the unit square; point (0.3, 0.25) lies in
        // triangle 0, (0, 0, 0) - (0.5, 0, 0) - (0.5, 0.5, 0).
        SampledModel sampled{ 2, 2, 0.5, flat, {} };
        const ConstantMetric< 3 > metric{ 0.25 };
        BRepBuilder builder{ sampled.model };
        BRepGeometricModifier modifier{ sampled.model, builder };
        internal::MacroVertexRecorder recorder{ sampled.model, builder };
        internal::SamplingContext context{ sampled.model, sampled.macro, modifier, metric, recorder };
        CandidateProbe probe{ context, sampled.model.surface( sampled.surface ) };

        const auto across = probe.candidate_points( { p3( 0, 0, 0 ), p3( 0.6, 0, 0 ) } );
        EXPECT_EQ( across.size, 0.25 );
        ASSERT_EQ( across.candidates.size(), 1 );
        EXPECT_EQ( across.candidates[0].owner, 0 );
        EXPECT_NEAR( across.candidates[0].point.value( 0 ), 0.3, 1e-12 );
        EXPECT_NEAR( across.candidates[0].point.value( 1 ), 0.25, 1e-12 );
        EXPECT_EQ( across.candidates[0].point.value( 2 ), 0. );

        const auto tiny = probe.candidate_points( { p3( 0.3, 0.3, 0 ), p3( 0.3 + 5e-7, 0.3, 0 ) } );
        EXPECT_EQ( tiny.size, 0. );
        EXPECT_TRUE( tiny.candidates.empty() );
    }
} // namespace
