#include "setup/scan.h"

// Placeholder until the scan is built: it finds nothing.
int scan_platform(void)
{
    return 1;
}
