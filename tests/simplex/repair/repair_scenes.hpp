#pragma once

#include <array>
#include <memory>
#include <vector>

#include <openorvane/basic/uuid.hpp>
#include <openorvane/geometry/point.hpp>
#include <openorvane/model/brep.hpp>

#include <simplex/metric/constant_metric.hpp>
#include <simplex/remeshing_data.hpp>

namespace orvane::test
{
    /// The meshes of one model: points (unique vertex i of the model is
    /// point i), per surface its triangles over point indices, per line its
    /// chain of point indices.
    struct SceneMeshes
    {
        std::vector< Point< 3 > > points;
        std::vector< std::vector< std::array< index_t, 3 > > > surfaces;
        std::vector< std::vector< index_t > > lines;
    };

    /// How the components of a repair scene are related: the surfaces each
    /// line bounds, and the surfaces bounding each block (by index).
    struct SceneRelations
    {
        std::vector< std::vector< index_t > > line_surfaces;
        std::vector< std::vector< index_t > > block_surfaces;
    };

    /// The model of the meshes and relations; the uuids of its surfaces and
    /// lines are appended to the two lists, in mesh order.
    BRep build_scene_model( const SceneMeshes& input,
        const SceneRelations& relations,
        std::vector< uuid >& surfaces,
        std::vector< uuid >& lines );

    /// A remeshing run stopped after its surface stage: the input model is
    /// built from `input`, split and copied by prepare_remeshing (the metric
    /// is large enough that nothing is split), and the output components
    /// are given the meshes of `output`, as if remeshed. Surface k, line k
    /// and block k of the output are the images of those of the input.
    struct RepairScene
    {
        RepairScene( const SceneMeshes& input,
            const SceneMeshes& output,
            const SceneRelations& relations,
            double metric_value = 4. );

        /// The wall-and-tent scene: input surface 0 is a tent (ridge
        /// x = 0 at z = 0.5, feet x = -1 and x = 1 at z = -0.5, y in
        /// [-1, 1]) and input surface 1 a vertical triangle in the plane
        /// x = 0 below the ridge. Output surface 0 is the square on the four
        /// feet, whose diagonal crosses the wall; output surface 1 is the
        /// wall itself.
        static SceneMeshes tent_input();
        static SceneMeshes tent_output();

        const Surface< 3 >& output_surface( index_t k ) const;
        const Surface< 3 >& input_surface( index_t k ) const;
        const Line< 3 >& output_line( index_t k ) const;

        ConstantMetric< 3 > metric;
        BRep output_model;
        std::unique_ptr< RemeshingData< BRep > > data;
        std::vector< uuid > input_surfaces;
        std::vector< uuid > input_lines;
    };

    /// Fills the output components of a run from the meshes, linking the
    /// mesh vertices to new unique vertices, one per point.
    void fill_output_components( RemeshingData< BRep >& data,
        const std::vector< uuid >& input_surfaces,
        const std::vector< uuid >& input_lines,
        const SceneMeshes& output );

    /// The number of triangle pairs of the model's surfaces that the
    /// inspector finds intersecting once the surfaces are merged at 1e-6
    /// (so that common vertices and edges are no contact).
    index_t nb_surface_crossings( const BRep& model );
} // namespace orvane::test
