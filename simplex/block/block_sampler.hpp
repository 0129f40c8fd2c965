#pragma once

#include <array>
#include <deque>
#include <memory>
#include <vector>

#include <absl/container/flat_hash_map.h>

#include <openorvane/basic/types.hpp>
#include <openorvane/geometry/basic_objects.hpp>
#include <openorvane/geometry/bounding_box.hpp>
#include <openorvane/geometry/point.hpp>
#include <openorvane/mesh/light_regular_grid.hpp>

#include <simplex/sampling/cell_points.hpp>

namespace orvane
{
    class BRep;
    template < index_t dimension >
    class Block;
    template < index_t dimension >
    class Metric;

    namespace internal
    {
        /// Tag of the samplers whose front is made of triangles.
        struct Triangle;

        template < typename FrontElement >
        class Sampler;

        /// An advancing-front point sampler: front triangles propose
        /// candidate points, a candidate is kept when no registered point
        /// lies closer than 0.8 times the local size, and each kept point
        /// makes new front triangles with its registered neighbours within
        /// 1.2 times that size. A regular grid of cells 0.8 times the mean
        /// metric long, each listing the points registered in it, answers
        /// the proximity questions.
        ///
        /// A sampler runs `sample` once, on one thread; the metric is only
        /// read.
        template <>
        class Sampler< Triangle >
        {
        public:
            /// A proposed point and the owner it is sampled for.
            struct Candidate
            {
                index_t owner;
                Point< 3 > point;
            };

            /// The local target size and the candidates of a front triangle.
            struct Candidates
            {
                double size;
                std::vector< Candidate > candidates;
            };

            using Result = absl::flat_hash_map< index_t, std::vector< Point< 3 > > >;

            virtual ~Sampler();

            /// Runs the whole sampling and moves out the kept points per
            /// owner, in order of acceptance. Throws "[Point::operator/]
            /// Cannot divide Point by something close to zero" when the mean
            /// metric is at most 1e-30 in magnitude.
            Result sample();

        protected:
            explicit Sampler( const Metric< 3 >& metric );

            /// Registers the points that exist before sampling.
            virtual void initialize() = 0;

            /// The front to start from.
            virtual std::vector< OwnerTriangle< 3 > > initial_queue_elements() = 0;

            virtual Candidates candidate_points( const OwnerTriangle< 3 >& triangle ) = 0;

            /// The front triangles a kept point makes with its neighbours,
            /// sorted by increasing distance to it.
            virtual std::vector< OwnerTriangle< 3 > > new_queue_elements(
                const std::vector< Point< 3 > >& neighbours,
                double size,
                const Point< 3 >& point ) = 0;

            /// The box the grid covers; points outside it are never kept.
            virtual BoundingBox< 3 > bounding_box() const = 0;

            /// Builds the grid over bounding_box() and its "cell points"
            /// attribute.
            void initialize_grid();

            /// Whether a registered point of the neighbourhood lies closer
            /// than 0.8 * size to the point.
            bool is_too_close( const LightRegularGrid< 3 >::CellsAroundPoint& cells,
                double size,
                const Point< 3 >& point ) const;

            /// Queues the front triangles that the new point makes with its
            /// registered neighbours closer than 1.2 * size.
            void add_front( const LightRegularGrid< 3 >::CellsAroundPoint& cells,
                double size,
                const Point< 3 >& point );

            /// Registers the point in the cells that hold it; a point outside
            /// the grid is not registered.
            void register_point( const Point< 3 >& point );

            const LightRegularGrid< 3 >& grid() const
            {
                return *grid_;
            }

        protected:
            const Metric< 3 >* metric_;

        private:
            std::unique_ptr< LightRegularGrid< 3 > > grid_;
            std::array< int, 3 > nb_cells_{ 0, 0, 0 };
            double cell_length_{ 0 };
            std::shared_ptr< VariableAttribute< detail::CellPoints > > cell_points_;
            std::deque< OwnerTriangle< 3 > > front_;
            Result result_;
        };

        /// A sampler of the inside of one block of a model: its grid covers
        /// the block's boundary surfaces, and a kept point makes a front
        /// triangle with every pair of its neighbours that lie closer than
        /// 1.2 times the size (and further than 1e-6) to each other.
        class BlockSampler : public Sampler< Triangle >
        {
        public:
            BlockSampler( const BRep& model, const Block< 3 >& block, const Metric< 3 >& metric );

        protected:
            std::vector< OwnerTriangle< 3 > > new_queue_elements(
                const std::vector< Point< 3 > >& neighbours,
                double size,
                const Point< 3 >& point ) override;

            BoundingBox< 3 > bounding_box() const override;

        protected:
            const BRep& brep_;
            const Block< 3 >& block_;
        };

        /// The points that fill a block's volume at the metric's spacing,
        /// starting from its boundary triangles: for each front triangle the
        /// two apices of the regular tetrahedron on it, in order, each kept
        /// when no existing vertex of the block (boundary and internal
        /// surfaces, internal lines and corners) nor kept point lies closer
        /// than 0.8 times the metric. Points outside the block but inside
        /// the box of its boundary may be kept.
        [[nodiscard]] std::vector< Point< 3 > > sample_block_interior(
            const BRep& model, const Block< 3 >& block, const Metric< 3 >& metric );
    } // namespace internal
} // namespace orvane
