#include <openorvane/basic/library.hpp>

#include <openorvane/basic/logger.hpp>

namespace orvane
{
    Library::Library() = default;

    Library::~Library() = default;

    void Library::call_initialize( const char* name )
    {
        // The once flag is per instance and taken outside the registry
        // mutex: dependencies initialised from do_initialize take that mutex
        // themselves. The module graph is acyclic, so nested calls never
        // wait on a flag held by their own thread.
        std::call_once( initialized_, [this, name] {
            Logger::log_debug( "Initializing library ", name == nullptr ? "" : name );
            do_initialize();
        } );
    }
} // namespace orvane
