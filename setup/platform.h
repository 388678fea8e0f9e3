// The platform description that the installation and the removal work with:
// driver-file extension, spooler environment and platform tag.
#ifndef SETUP_PLATFORM_DESCRIPTION_H
#define SETUP_PLATFORM_DESCRIPTION_H

#include "system/platform.h"

enum {
    PLATFORM_UNKNOWN = -1,        // neither the NT nor the 95 family
    PLATFORM_UNSUPPORTED_NT = 0,  // an NT version other than 3, 4 or 5
    PLATFORM_SUPPORTED = 1
};

// Asks the system's version (returned in *version) and fills
// driver_extension, environment_name and platform_tag from it. On an
// unsupported NT version only driver_extension is set.
int describe_platform(OSVERSIONINFOA *version);

#endif
