#pragma once

#include <memory>
#include <tuple>

#include <openorvane/basic/mapping.hpp>
#include <openorvane/geometry/bounding_box.hpp>
#include <openorvane/model/brep.hpp>

#include <facade/export.hpp>

namespace orvane
{
    template < index_t dimension >
    class TriangulatedSurface;
} // namespace orvane

namespace orvane_tamsel
{
    /// The settings of one meshing run.
    struct ORVANE_TAMSEL_API MesherOptions
    {
        explicit MesherOptions( double metric_value );
        MesherOptions( const MesherOptions& other );
        MesherOptions( MesherOptions&& other ) noexcept;
        MesherOptions& operator=( const MesherOptions& other );
        MesherOptions& operator=( MesherOptions&& other ) noexcept;

        /// Feature angle in degrees: surfaces are split along the edges
        /// where they bend more sharply than this.
        double angle{ 120.0 };
        /// Target edge length of the output meshes.
        double metric;
    };

    using MesherResult = std::tuple< orvane::BRep,
        orvane::ModelMapping< orvane::GenericMapping< orvane::uuid, orvane::uuid > > >;

    /// Holds the input surfaces of a region and meshes them in one call:
    /// explicit modeling (making them conformal), model building with the
    /// feature-angle split, the metric set-up and the remeshing of every
    /// component. The library must have been initialised first
    /// (OrvaneTamselLibrary::initialize()).
    class ORVANE_TAMSEL_API Mesher
    {
    public:
        class Impl;

        explicit Mesher( orvane::BoundingBox< 3 > box );
        ~Mesher();

        /// Stores a copy of the surface, which the caller may then destroy.
        /// Throws OpenOrvaneException, storing nothing, when a surface with
        /// the same uuid is already stored, or when the surface has a
        /// non-finite coordinate or a triangle with repeated vertices.
        void add_surface( const orvane::TriangulatedSurface< 3 >& surface );

        /// The remeshed model and, under "Surface", the mapping from the uuid
        /// of every added surface to the surfaces of the model made from it.
        /// Works on copies of the stored surfaces: a failed run leaves them
        /// as added, and a second run starts from them again. Throws
        /// OpenOrvaneException before any stage for a metric that is not a
        /// finite number above 1e-6 or an angle outside [0, 180].
        MesherResult build_and_mesh( const MesherOptions& options );

    private:
        std::unique_ptr< Impl > impl_;
    };
} // namespace orvane_tamsel
