#pragma once

#include <memory>
#include <string_view>

#include <openorvane/basic/types.hpp>
#include <openorvane/geometry/bounding_box.hpp>
#include <openorvane/geometry/point.hpp>
#include <openorvane/mesh/vertex_set.hpp>

namespace orvane
{
    template < index_t dimension >
    class PointSetBuilder;

    /// Vertices with coordinates and nothing else.
    template < index_t dimension >
    class PointSet : public VertexSet
    {
        friend class PointSetBuilder< dimension >;

    public:
        using Builder = PointSetBuilder< dimension >;
        static constexpr index_t dim = dimension;

        ~PointSet() override;

        /// A new empty point set of the default implementation
        /// ("OpenOrvanePointSet2D" or "...3D").
        static std::unique_ptr< PointSet > create();

        /// A new empty point set of the given implementation.
        static std::unique_ptr< PointSet > create( const MeshImpl& impl );

        /// "PointSet2D" or "PointSet3D".
        static MeshType type_name_static();

        /// A copy of the points, attributes, uuid and name, of the same
        /// implementation.
        std::unique_ptr< PointSet > clone() const;

        const Point< dimension >& point( index_t vertex_id ) const;

        BoundingBox< dimension > bounding_box() const;

    protected:
        PointSet();
        /// A moved-from point set is valid and empty.
        PointSet( PointSet&& other ) noexcept;
        PointSet& operator=( PointSet&& other ) noexcept;

        void vertices_added( index_t nb_vertices_total ) override;
        void vertices_deleted( const std::vector< bool >& to_delete,
            const OldToNew& old2new ) override;

    private:
        class Impl;
        std::unique_ptr< Impl > impl_;
    };

    /// The core implementation of point sets.
    template < index_t dimension >
    class OpenOrvanePointSet : public PointSet< dimension >
    {
    public:
        OpenOrvanePointSet();
        OpenOrvanePointSet( OpenOrvanePointSet&& other ) noexcept;
        OpenOrvanePointSet& operator=( OpenOrvanePointSet&& other ) noexcept;
        ~OpenOrvanePointSet() override;

        /// "OpenOrvanePointSet" + dimension + "D".
        static MeshImpl impl_name_static();

        MeshImpl impl_name() const override;

        MeshType type_name() const override;

        /// "oo_pts" + dimension + "d".
        std::string_view native_extension() const override;
    };

    /// Edits a PointSet.
    template < index_t dimension >
    class PointSetBuilder : public VertexSetBuilder
    {
    public:
        ~PointSetBuilder() override;

        /// The builder registered for the point set's implementation name.
        static std::unique_ptr< PointSetBuilder > create(
            PointSet< dimension >& mesh );

        /// Appends a vertex at the point and returns its index.
        index_t create_point( const Point< dimension >& point );

        void set_point( index_t vertex_id, const Point< dimension >& point );

        /// Makes the point set a copy of `points` (points, attributes, uuid
        /// and name).
        void copy( const PointSet< dimension >& points );

    protected:
        explicit PointSetBuilder( PointSet< dimension >& mesh );

    private:
        PointSet< dimension >& point_set_;
    };

    /// The builder of OpenOrvanePointSet.
    template < index_t dimension >
    class OpenOrvanePointSetBuilder : public PointSetBuilder< dimension >
    {
    public:
        /// Views the mesh as a PointSet: throws std::bad_cast when it is not
        /// one.
        explicit OpenOrvanePointSetBuilder( VertexSet& mesh );
        ~OpenOrvanePointSetBuilder() override;
    };

    using PointSet2D = PointSet< 2 >;
    using PointSet3D = PointSet< 3 >;
} // namespace orvane
