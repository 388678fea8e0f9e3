// The distribution folder: the platform folders, the platform branch whose
// files each holds, and the files each branch takes from there, in the
// order its INF names them. PLATFORM files lie in the platform folder,
// LANGUAGE files in the language folder below it.
//
// The build lays out the distribution folder from these lines too
// (cmake/dist.cmake reads this header, and product_names.h for a name
// given by its constant), so each entry stays on a line of its own, spelt
// as below.
#ifndef SETUP_DISTRIBUTION_FILES_H
#define SETUP_DISTRIBUTION_FILES_H

#include "setup/product_names.h"

// FOLDER(platform id, major version or 0 for any, folder, branch), each
// platform's from its earliest version on. A later version without a folder
// of its own takes the branch of the nearest earlier folder.
#define DISTRIBUTION_FOLDERS(FOLDER)                                   \
    FOLDER(VER_PLATFORM_WIN32_WINDOWS, 0, "95", WINDOWS_95_FAMILY)     \
    FOLDER(VER_PLATFORM_WIN32_NT, 3, "nt_351", NT_4_OR_EARLIER)        \
    FOLDER(VER_PLATFORM_WIN32_NT, 4, "nt_40", NT_4_OR_EARLIER)         \
    FOLDER(VER_PLATFORM_WIN32_NT, 5, "W2K", NT_5_OR_LATER)

// In every platform folder, ahead of the branch's own files.
#define PRINT_PROCESSOR_SOURCE(FILE) \
    FILE(PLATFORM, PRINT_PROCESSOR_FILE)

#define WINDOWS_95_FAMILY_SOURCES(FILE) \
    FILE(PLATFORM, "devura.dll")        \
    FILE(PLATFORM, "kxdrvw32.dll")      \
    FILE(PLATFORM, "ravelo.drv")        \
    FILE(PLATFORM, "ravtlx.drv")        \
    FILE(LANGUAGE, "unidrv.dll")        \
    FILE(LANGUAGE, "unidrv.hlp")

#define NT_4_OR_EARLIER_SOURCES(FILE) \
    FILE(PLATFORM, "tqvdrv32.dll")    \
    FILE(PLATFORM, FAX_SERVER_FILE)   \
    FILE(PLATFORM, "ravelo.dll")      \
    FILE(PLATFORM, "ravtlx.dll")      \
    FILE(LANGUAGE, "rasdd.dll")       \
    FILE(LANGUAGE, "rasddui.dll")     \
    FILE(LANGUAGE, "rasddui.hlp")

#define NT_5_OR_LATER_SOURCES(FILE) \
    FILE(PLATFORM, "tqvdrv32.dll")  \
    FILE(PLATFORM, FAX_SERVER_FILE) \
    FILE(PLATFORM, "ravelo.dll")    \
    FILE(PLATFORM, "ravtlx.ini")    \
    FILE(PLATFORM, "ravelo.gpd")    \
    FILE(PLATFORM, "ravtlx.gpd")    \
    FILE(PLATFORM, "stdnames.gpd")  \
    FILE(LANGUAGE, "unidrv.dll")    \
    FILE(LANGUAGE, "unidrvui.dll")  \
    FILE(LANGUAGE, "unidrv.hlp")    \
    FILE(LANGUAGE, "unires.dll")    \
    FILE(LANGUAGE, "tty.dll")       \
    FILE(LANGUAGE, "ttyui.dll")     \
    FILE(LANGUAGE, "ttyui.hlp")     \
    FILE(LANGUAGE, "ttyres.dll")

#endif
