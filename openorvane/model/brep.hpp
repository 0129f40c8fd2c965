#pragma once

#include <openorvane/basic/types.hpp>
#include <openorvane/geometry/bounding_box.hpp>
#include <openorvane/model/block.hpp>
#include <openorvane/model/corner.hpp>
#include <openorvane/model/line.hpp>
#include <openorvane/model/relationships.hpp>
#include <openorvane/model/surface.hpp>
#include <openorvane/model/vertex_identifier.hpp>

namespace orvane
{
    /// A boundary-representation model: corners, lines, surfaces and blocks,
    /// each with its mesh; the relationships between them; and the unique
    /// vertices that tie together the component mesh vertices standing for
    /// one point.
    ///
    /// Component ranges follow insertion order and relationship ranges the
    /// order in which the relationships were added. The model is edited only
    /// through a BRepBuilder. Const queries never write and may run
    /// concurrently. The component registry and relationships are stored
    /// apart from the meshes and the unique vertices, so that reading the
    /// first (to copy them) is safe while tasks edit the second.
    ///
    /// A moved-from model is valid and empty.
    class BRep : public Relationships,
                 public VertexIdentifier,
                 public Corners< 3 >,
                 public Lines< 3 >,
                 public Surfaces< 3 >,
                 public Blocks< 3 >
    {
    public:
        BRep();
        BRep( BRep&& other ) noexcept;
        BRep& operator=( BRep&& other ) noexcept;
        ~BRep() override;

        // The relationship lists by uuid stay available beside the typed
        // ranges below.
        using Relationships::boundaries;
        using Relationships::incidences;

        /// The box of every point of every component mesh.
        BoundingBox< 3 > bounding_box() const;

        /// The corners bounding a line.
        ComponentRange< Corner< 3 > > boundaries( const Line< 3 >& line ) const;

        /// The lines bounding a surface.
        ComponentRange< Line< 3 > > boundaries( const Surface< 3 >& surface ) const;

        /// The surfaces bounding a block.
        ComponentRange< Surface< 3 > > boundaries( const Block< 3 >& block ) const;

        /// The lines that a corner bounds.
        ComponentRange< Line< 3 > > incidences( const Corner< 3 >& corner ) const;

        /// The surfaces that a line bounds.
        ComponentRange< Surface< 3 > > incidences( const Line< 3 >& line ) const;

        /// The blocks that a surface bounds.
        ComponentRange< Block< 3 > > incidences( const Surface< 3 >& surface ) const;

        ComponentRange< Line< 3 > > internal_lines( const Surface< 3 >& surface ) const;

        ComponentRange< Corner< 3 > > internal_corners( const Surface< 3 >& surface ) const;

        ComponentRange< Surface< 3 > > internal_surfaces( const Block< 3 >& block ) const;

        ComponentRange< Line< 3 > > internal_lines( const Block< 3 >& block ) const;

        ComponentRange< Corner< 3 > > internal_corners( const Block< 3 >& block ) const;

        /// The surfaces holding the corner as internal.
        ComponentRange< Surface< 3 > > embedding_surfaces( const Corner< 3 >& corner ) const;

        /// The surfaces holding the line as internal.
        ComponentRange< Surface< 3 > > embedding_surfaces( const Line< 3 >& line ) const;

        ComponentRange< Block< 3 > > embedding_blocks( const Corner< 3 >& corner ) const;

        ComponentRange< Block< 3 > > embedding_blocks( const Line< 3 >& line ) const;

        ComponentRange< Block< 3 > > embedding_blocks( const Surface< 3 >& surface ) const;

        /// True when the line's mesh is a cycle (every used vertex has two
        /// edges), or when its two end vertices share one unique vertex (a
        /// loop through a single corner).
        bool is_closed( const Line< 3 >& line ) const;

        /// Whether the model has a component of any type with this uuid.
        bool has_component( const uuid& id ) const;
    };
} // namespace orvane
