#pragma once

// The library is compiled with hidden visibility: only what carries this mark
// is reachable from a host program.
#define ORVANE_TAMSEL_API __attribute__( ( visibility( "default" ) ) )
