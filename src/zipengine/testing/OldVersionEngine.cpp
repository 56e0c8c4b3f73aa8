// An engine that answers a version below the lowest accepted one, for the
// tests of the packager's version check.
#include <cstdint>

#include "zipengine/ZipDllInterface.h"

extern "C" {

ZIPDLL_EXPORT std::int32_t ZIPDLL_CALL GetZipDllVersion(void) { return ZIPDLL_INTERFACE_VERSION - 1; }

ZIPDLL_EXPORT std::int32_t ZIPDLL_CALL ZipDllExec(ZipRunParams*) { return -1; }

}  // extern "C"
