#include <openorvane/mesh/text_output.hpp>

#include <algorithm>
#include <limits>

#include <openorvane/basic/exception.hpp>

namespace orvane::detail
{
    std::ofstream open_text_output( std::string_view filename, std::string_view caller )
    {
        std::ofstream file{ std::string{ filename } };
        if( !file )
        {
            throw OpenOrvaneException{ "[", std::string{ caller }, "] Cannot open file ",
                std::string{ filename } };
        }
        file.precision( std::numeric_limits< double >::max_digits10 );
        return file;
    }

    void close_text_output(
        std::ofstream& file, std::string_view filename, std::string_view caller )
    {
        file.close();
        if( !file )
        {
            throw OpenOrvaneException{ "[", std::string{ caller }, "] Cannot write file ",
                std::string{ filename } };
        }
    }

    long long written_index( index_t index )
    {
        return index == NO_ID ? -1 : static_cast< long long >( index );
    }

    void write_native_header( std::ofstream& file,
        std::string_view kind,
        std::string_view name,
        const uuid& id,
        index_t dimension,
        index_t nb_vertices )
    {
        file << "OpenOrvane " << kind << "\n";
        file << "name " << name << "\n";
        file << "id " << id.string() << "\n";
        file << "dimension " << dimension << "\n";
        file << "vertices " << nb_vertices << "\n";
    }

    std::string vtk_title( std::string_view name )
    {
        std::string title{ name.substr( 0, 255 ) };
        std::replace( title.begin(), title.end(), '\n', ' ' );
        if( title.empty() )
        {
            return "OpenOrvane mesh";
        }
        return title;
    }
} // namespace orvane::detail
