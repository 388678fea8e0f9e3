// The scan of the platform and of the installed components, run when the
// choice dialog opens.
#ifndef SETUP_SCAN_H
#define SETUP_SCAN_H

// 1 when the scan ran to its end, 0 for an unsupported NT version or a
// print-processor directory that could not be had, -1 on an unknown platform.
int scan_platform(void);

#endif
