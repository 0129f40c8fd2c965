#pragma once

#include <memory>

#include <openorvane/basic/types.hpp>
#include <openorvane/basic/variable_attribute.hpp>
#include <openorvane/mesh/mesh_records.hpp>

#include <common/modifier/triangulated_surface_modifier.hpp>

#include <simplex/surface/frontal/frontal_records.hpp>

namespace orvane
{
    template < index_t dimension >
    class TriangulatedSurfaceBuilder;
} // namespace orvane

namespace orvane::internal
{
    /// Name of the piece vertex attribute that ties piece vertices to the
    /// output vertices they stand for.
    inline constexpr const char* HOLE_PIECE_LOCKS = "locks";

    /// The editing state of one hole piece that is reduced to the vertices
    /// that already have an output vertex before it fills its hole.
    ///
    /// "locks" (vertex attribute of the piece mesh, index_t, default NO_ID):
    /// a vertex is locked when its value is not NO_ID, and the value names
    /// the piece vertex, as numbered when the editor was built, whose output
    /// vertex it stands for. Construction locks every piece vertex that has
    /// an output vertex with its own index; the others are free and are to
    /// be collapsed away.
    ///
    /// The modifier needs one fan of polygons per vertex, while a piece made
    /// of a hole and its collar can pinch at a vertex: before the modifier
    /// is made, such a vertex is split into one vertex per fan, every copy
    /// keeping the lock of the original.
    ///
    /// The destructor deletes "locks" from the piece mesh (also when a pass
    /// throws); the piece keeps every edit.
    template < index_t dimension >
    class HolePieceEditor
    {
    public:
        explicit HolePieceEditor( FrontalHolePiece< dimension >& piece );
        HolePieceEditor( const HolePieceEditor& ) = delete;
        HolePieceEditor& operator=( const HolePieceEditor& ) = delete;
        ~HolePieceEditor();

        [[nodiscard]] const TriangulatedSurface< dimension >& mesh() const
        {
            return mesh_;
        }

        [[nodiscard]] TriangulatedSurfaceModifier< dimension >& modifier()
        {
            return *modifier_;
        }

        [[nodiscard]] VariableAttribute< index_t >& locks()
        {
            return *locks_;
        }

        [[nodiscard]] bool is_locked( index_t vertex ) const
        {
            return locks_->value( vertex ) != NO_ID;
        }

        /// Whether the vertex of the edge's polygon opposite the edge is
        /// locked and lies in fewer than two polygons.
        [[nodiscard]] bool has_lonely_locked_apex( const PolygonEdge& edge ) const;

        /// Collapses the polygon edge at the point and hands the lock of the
        /// merged vertices to the new vertex.
        void collapse( const PolygonEdge& edge, const Point< dimension >& point );

    private:
        void split_pinched_vertices();

    private:
        FrontalHolePiece< dimension >& piece_;
        const TriangulatedSurface< dimension >& mesh_;
        std::unique_ptr< TriangulatedSurfaceBuilder< dimension > > builder_;
        std::shared_ptr< VariableAttribute< index_t > > locks_;
        std::unique_ptr< TriangulatedSurfaceModifier< dimension > > modifier_;
    };

    /// Repeats passes over the polygons until one collapses nothing. In a
    /// pass, each live polygon's edges are tried in order, and the first
    /// edge b -> c that satisfies all of the following is collapsed (the
    /// free end goes onto the other: at c when b is free, else at b), then
    /// the pass moves to the next polygon:
    /// - b or c is free;
    /// - the collapse is valid for the modifier's surface;
    /// - the apex of the edge's polygon is free or lies in two polygons or
    ///   more, and so does the apex across the edge when it is locked.
    /// The last condition keeps every locked vertex in at least one polygon.
    template < index_t dimension >
    void collapse_unlocked_edges( HolePieceEditor< dimension >& editor );

    /// One pass over the border edges, one collapse per polygon: a border
    /// edge with a free end (its start first) has that end collapsed onto a
    /// border neighbour, so that no free vertex stays on the border. The
    /// neighbour is the edge's other end, unless that collapse turns a
    /// remaining triangle (against the polygon it replaces in 3-D,
    /// clockwise in 2-D) and the collapse onto the free end's other border
    /// neighbour does not. No other validity test is made. The modifier's
    /// clean-up then removes the dead elements.
    template < index_t dimension >
    void collapse_unlocked_border_edges( HolePieceEditor< dimension >& editor );
} // namespace orvane::internal
