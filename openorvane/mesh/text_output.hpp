#pragma once

#include <fstream>
#include <string>
#include <string_view>

#include <openorvane/basic/types.hpp>
#include <openorvane/basic/uuid.hpp>
#include <openorvane/geometry/point.hpp>

namespace orvane::detail
{
    /// Opens `filename` for writing, with enough significant digits that
    /// written doubles read back exactly. Throws OpenOrvaneException
    /// "[<caller>] Cannot open file <filename>" when it cannot be opened.
    std::ofstream open_text_output( std::string_view filename, std::string_view caller );

    /// Closes the file. Throws OpenOrvaneException
    /// "[<caller>] Cannot write file <filename>" when any write failed.
    void close_text_output(
        std::ofstream& file, std::string_view filename, std::string_view caller );

    /// The index as written in text formats: NO_ID as -1.
    long long written_index( index_t index );

    /// The header of the native formats: the "OpenOrvane <kind>" line, then
    /// the "name", "id", "dimension" and "vertices" lines.
    void write_native_header( std::ofstream& file,
        std::string_view kind,
        std::string_view name,
        const uuid& id,
        index_t dimension,
        index_t nb_vertices );

    /// The point's coordinates on one line, separated by spaces.
    template < index_t dimension >
    void write_point( std::ofstream& file, const Point< dimension >& point )
    {
        for( local_index_t c = 0; c < dimension; c++ )
        {
            file << ( c == 0 ? "" : " " ) << point.value( c );
        }
        file << "\n";
    }

    /// The title line of a legacy VTK file made from a mesh name: a single
    /// line of at most 255 characters, "OpenOrvane mesh" for an empty name.
    /// A name with a line break would otherwise split the header and make
    /// the file unreadable.
    std::string vtk_title( std::string_view name );
} // namespace orvane::detail
