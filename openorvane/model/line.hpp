#pragma once

#include <memory>
#include <string_view>

#include <openorvane/basic/types.hpp>
#include <openorvane/mesh/edged_curve.hpp>
#include <openorvane/model/component.hpp>
#include <openorvane/model/component_registry.hpp>

namespace orvane
{
    template < index_t dimension >
    class Lines;
    template < index_t dimension >
    class LinesBuilder;

    /// A curve component of a model; its mesh is an edged curve, usually
    /// between two corners.
    template < index_t dimension >
    class Line : public internal::MeshComponent< EdgedCurve< dimension > >
    {
        friend class Lines< dimension >;
        friend class LinesBuilder< dimension >;

    public:
        ~Line() override;

        /// "Line".
        static ComponentType component_type_static();

        /// {"Line", id()}.
        ComponentID component_id() const;

    private:
        explicit Line( std::unique_ptr< EdgedCurve< dimension > > mesh );
    };

    /// The lines of a model, in insertion order.
    template < index_t dimension >
    class Lines
    {
        friend class LinesBuilder< dimension >;

    public:
        Lines();
        Lines( Lines&& other ) noexcept;
        Lines& operator=( Lines&& other ) noexcept;
        virtual ~Lines();

        index_t nb_lines() const;

        bool has_line( const uuid& id ) const;

        /// Throws std::out_of_range when the model has no such line.
        const Line< dimension >& line( const uuid& id ) const;

        ComponentRange< Line< dimension > > lines() const;

    protected:
        Line< dimension >& modifiable_line( const uuid& id );

    private:
        internal::ComponentRegistry< Line< dimension > > registry_;
    };

    /// Edits the lines of a model: creation, removal, names, meshes. The
    /// model builder creates and removes lines through it so that the
    /// relationships and the unique vertices follow.
    template < index_t dimension >
    class LinesBuilder
    {
    public:
        virtual ~LinesBuilder();

        /// The builder of the line's mesh, made by the mesh-builder factory
        /// under the mesh's implementation name. Creating it writes nothing
        /// shared, so builders of different components may be used from
        /// different threads.
        std::unique_ptr< EdgedCurveBuilder< dimension > > line_mesh_builder(
            const uuid& id );

        void set_line_name( const uuid& id, std::string_view name );

        /// The line with write access to its mesh.
        Line< dimension >& modifiable_line( const uuid& id );

    protected:
        explicit LinesBuilder( Lines< dimension >& lines );

        /// A new line with the given uuid and an empty mesh of the given
        /// implementation. Throws when the uuid is already used.
        const Line< dimension >& create_line(
            const uuid& id, const MeshImpl& impl );

        void delete_line( const uuid& id );

        /// Replaces the line's mesh; the former one is destroyed.
        void set_line_mesh(
            const uuid& id, std::unique_ptr< EdgedCurve< dimension > > mesh );

    private:
        Lines< dimension >& lines_;
    };
} // namespace orvane
