// The one door from the product to the operating system.
//
// Every product source includes this header instead of the SDK and C runtime
// headers. In the Windows build it is nothing but those headers. In the host
// build the same names come from winsim, the simulated Windows machine; the
// C runtime calls whose names the host's own C library also owns are routed
// to winsim here, so that files, writes and allocations go through the
// simulated machine. Nothing else in the product knows which build it is in.
#ifndef SETUP_PLATFORM_H
#define SETUP_PLATFORM_H

#include <windows.h>
#include <winspool.h>
#include <setupapi.h>
#include <io.h>
#include <process.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#ifdef WINSIM
#include <winsim/crt.h>
#define fopen winsim_fopen
#define fputs winsim_fputs
#define malloc winsim_malloc
#endif

#endif
