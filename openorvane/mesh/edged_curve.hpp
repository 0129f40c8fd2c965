#pragma once

#include <memory>
#include <string_view>

#include <openorvane/basic/types.hpp>
#include <openorvane/geometry/basic_objects.hpp>
#include <openorvane/geometry/bounding_box.hpp>
#include <openorvane/geometry/point.hpp>
#include <openorvane/mesh/graph.hpp>

namespace orvane
{
    template < index_t dimension >
    class EdgedCurveBuilder;

    /// A graph whose vertices have coordinates: a curve made of edges.
    template < index_t dimension >
    class EdgedCurve : public Graph
    {
        friend class EdgedCurveBuilder< dimension >;

    public:
        using Builder = EdgedCurveBuilder< dimension >;
        static constexpr index_t dim = dimension;

        ~EdgedCurve() override;

        /// A new empty curve of the default implementation
        /// ("OpenOrvaneEdgedCurve2D" or "...3D").
        static std::unique_ptr< EdgedCurve > create();

        /// A new empty curve of the given implementation. Throws
        /// OpenOrvaneException when the key is unknown or is not a curve.
        static std::unique_ptr< EdgedCurve > create( const MeshImpl& impl );

        /// "EdgedCurve2D" or "EdgedCurve3D".
        static MeshType type_name_static();

        /// A copy of geometry, topology, attributes, uuid and name, of the
        /// same implementation.
        std::unique_ptr< EdgedCurve > clone() const;

        const Point< dimension >& point( index_t vertex_id ) const;

        BoundingBox< dimension > bounding_box() const;

        /// The segment from the edge's vertex 0 to its vertex 1.
        Segment< dimension > segment( index_t edge_id ) const;

        double edge_length( index_t edge_id ) const;

        Point< dimension > edge_barycenter( index_t edge_id ) const;

    protected:
        EdgedCurve();
        /// A moved-from curve is valid and empty.
        EdgedCurve( EdgedCurve&& other ) noexcept;
        EdgedCurve& operator=( EdgedCurve&& other ) noexcept;

        void vertices_added( index_t nb_vertices_total ) override;
        void vertices_deleted( const std::vector< bool >& to_delete,
            const OldToNew& old2new ) override;

    private:
        class Impl;
        std::unique_ptr< Impl > impl_;
    };

    /// The core implementation of edged curves.
    template < index_t dimension >
    class OpenOrvaneEdgedCurve : public EdgedCurve< dimension >
    {
    public:
        OpenOrvaneEdgedCurve();
        OpenOrvaneEdgedCurve( OpenOrvaneEdgedCurve&& other ) noexcept;
        OpenOrvaneEdgedCurve& operator=( OpenOrvaneEdgedCurve&& other ) noexcept;
        ~OpenOrvaneEdgedCurve() override;

        /// "OpenOrvaneEdgedCurve" + dimension + "D".
        static MeshImpl impl_name_static();

        MeshImpl impl_name() const override;

        MeshType type_name() const override;

        /// "oo_edc" + dimension + "d".
        std::string_view native_extension() const override;
    };

    /// Edits an EdgedCurve.
    template < index_t dimension >
    class EdgedCurveBuilder : public GraphBuilder
    {
    public:
        ~EdgedCurveBuilder() override;

        /// The builder registered for the curve's implementation name.
        /// Throws OpenOrvaneException "[Factory::create] Factory does not
        /// contain the requested key" for an unknown name and "Cannot create
        /// mesh builder with key: " + name when that builder is not an
        /// EdgedCurveBuilder.
        static std::unique_ptr< EdgedCurveBuilder > create(
            EdgedCurve< dimension >& mesh );

        /// Appends a vertex at the point and returns its index.
        index_t create_point( const Point< dimension >& point );

        void set_point( index_t vertex_id, const Point< dimension >& point );

        /// Makes the curve a copy of `curve` (geometry, topology,
        /// attributes, uuid and name).
        void copy( const EdgedCurve< dimension >& curve );

    protected:
        explicit EdgedCurveBuilder( EdgedCurve< dimension >& mesh );

    private:
        EdgedCurve< dimension >& curve_;
    };

    /// The builder of OpenOrvaneEdgedCurve.
    template < index_t dimension >
    class OpenOrvaneEdgedCurveBuilder : public EdgedCurveBuilder< dimension >
    {
    public:
        /// Views the mesh as an EdgedCurve: throws std::bad_cast when it is
        /// not one.
        explicit OpenOrvaneEdgedCurveBuilder( VertexSet& mesh );
        ~OpenOrvaneEdgedCurveBuilder() override;
    };

    using EdgedCurve2D = EdgedCurve< 2 >;
    using EdgedCurve3D = EdgedCurve< 3 >;
} // namespace orvane
