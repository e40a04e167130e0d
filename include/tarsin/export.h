// What the shared library shows: only the declarations marked TARSIN_API; everything else of the
// component is built hidden. A build for another platform may define the macro first.
#pragma once

#ifndef TARSIN_API
#define TARSIN_API __attribute__((visibility("default")))
#endif
