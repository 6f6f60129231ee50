// Test-only faults of the library's twin RXFilterFaulty (never shipped): each entry point
// first calls RxfInjectFault, which does what the environment variable RXFILTER_FAULT
// asks: "access" writes through a null pointer, "foreign" raises a C++ exception the way
// another compiler's runtime does (code 0xE06D7363, not continuable). Anything else: nothing.
#pragma once

void RxfInjectFault();
