#include "setup/platform_branch.h"

#include "app/setup_state.h"
#include "catalog/text_format.h"
#include "setup/distribution_files.h"
#include "setup/product_names.h"
#include "system/environment.h"

// The spooler adds printers only on drivers of its own processor's
// environment, so the NT family's is the one this program is built for.
#ifdef _WIN64
static const char NT_ENVIRONMENT[] = "Windows x64";
#else
static const char NT_ENVIRONMENT[] = "Windows NT x86";
#endif
static const char WINDOWS_95_ENVIRONMENT[] = "Windows 4.0";

#define SOURCE(place, name) {name, FROM_##place},
#define END_OF_SOURCES {NULL, FROM_PLATFORM}

static const PlatformBranch WINDOWS_95_FAMILY = {
    WINDOWS_95_ENVIRONMENT,
    "drv",
    "$Windows 95$",
    {"kxdrvw32.dll", "devura.dll", NULL},
    {"unidrv.dll", "unidrv.hlp", "ravelo.drv", "ravtlx.drv", NULL},
    {PRINT_PROCESSOR_SOURCE(SOURCE) WINDOWS_95_FAMILY_SOURCES(SOURCE) END_OF_SOURCES},
    {0, "ravelo.drv", "ravelo.drv", "ravelo.drv", NULL, "ravelo.DRV\0"},
    {0, "ravtlx.drv", "ravtlx.drv", "ravtlx.drv", NULL, "ravtlx.DRV\0"},
    PRINTER_ATTRIBUTE_DEFAULT,
    0,
    {{IN_PRINT_PROCESSOR_DIR, PRINT_PROCESSOR_FILE},
     {IN_SYSTEM_DIR, "devura.dll"},
     {IN_SYSTEM_DIR, "kxdrvw32.dll"},
     {IN_DRIVER_DIR, "ravelo.drv"},
     {IN_DRIVER_DIR, "ravtlx.drv"},
     {IN_SYSTEM_DIR, NULL}},
};

static const PlatformBranch NT_4_OR_EARLIER = {
    NT_ENVIRONMENT,
    "dll",
    "$Windows NT$",
    {FAX_SERVER_FILE, "tqvdrv32.dll", NULL},
    {"rasdd.dll", "rasddui.dll", "rasddui.hlp", "ravelo.dll", "ravtlx.dll", NULL},
    {PRINT_PROCESSOR_SOURCE(SOURCE) NT_4_OR_EARLIER_SOURCES(SOURCE) END_OF_SOURCES},
    {2, "rasdd.dll", "ravelo.dll", "rasddui.dll", "rasddui.hlp",
     "ravelo.dll\0RASDD.DLL\0RASDDUI.DLL\0RASDDUI.HLP\0"},
    {2, "rasdd.dll", "ravtlx.dll", "rasddui.dll", "rasddui.hlp",
     "ravtlx.dll\0RASDD.DLL\0RASDDUI.DLL\0RASDDUI.HLP\0"},
    PRINTER_ATTRIBUTE_DIRECT | PRINTER_ATTRIBUTE_RAW_ONLY,
    0,
    {{IN_PRINT_PROCESSOR_DIR, PRINT_PROCESSOR_FILE},
     {IN_SYSTEM_DIR, FAX_SERVER_FILE},
     {IN_SYSTEM_DIR, "tqvdrv32.dll"},
     {IN_DRIVER_DIR, "ravelo.dll"},
     {IN_DRIVER_DIR, "ravtlx.dll"},
     {IN_SYSTEM_DIR, NULL}},
};

static const PlatformBranch NT_5_OR_LATER = {
    NT_ENVIRONMENT,
    "dll",
    "$Windows NT$",
    {FAX_SERVER_FILE, "tqvdrv32.dll", NULL},
    {"unidrv.dll", "unidrvui.dll", "unidrv.hlp", "unires.dll", "tty.dll", "ttyui.dll",
     "ttyui.hlp", "ttyres.dll", "ravelo.gpd", "ravtlx.gpd", "ravelo.dll", "ravtlx.ini",
     "stdnames.gpd", NULL},
    {PRINT_PROCESSOR_SOURCE(SOURCE) NT_5_OR_LATER_SOURCES(SOURCE) END_OF_SOURCES},
    {0, "unidrv.dll", "ravelo.gpd", "unidrvui.dll", "unidrv.hlp",
     "ravelo.dll\0unidrv.dll\0unidrvui.dll\0unires.dll\0unidrv.hlp\0stdnames.gpd\0"},
    {0, "unidrv.dll", "ravtlx.gpd", "unidrvui.dll", "unidrv.hlp",
     "ravtlx.ini\0tty.dll\0ttyres.dll\0ttyui.dll\0ttyui.hlp\0unires.dll\0stdnames.gpd\0"},
    PRINTER_ATTRIBUTE_DIRECT | PRINTER_ATTRIBUTE_RAW_ONLY,
    // The driver files go with the drivers, so only the package's own
    // files are left to delete.
    1,
    {{IN_PRINT_PROCESSOR_DIR, PRINT_PROCESSOR_FILE},
     {IN_SYSTEM_DIR, FAX_SERVER_FILE},
     {IN_SYSTEM_DIR, "tqvdrv32.dll"},
     {IN_SYSTEM_DIR, NULL}},
};

#undef SOURCE
#undef END_OF_SOURCES

#define FOLDER(platform_id, major, tag, branch) {platform_id, major, tag, &branch},
const PlatformFolder PLATFORM_FOLDERS[PLATFORM_FOLDER_COUNT] = {
    DISTRIBUTION_FOLDERS(FOLDER)};
#undef FOLDER

static void set_text(char *buffer, size_t size, const char *text)
{
    format_text(buffer, size, "%s", text);
}

// The folder of the platform with the highest version not above the given
// one (the folders of a platform are listed from the earliest version on);
// NULL when the platform has none that early.
static const PlatformFolder *nearest_folder(DWORD platform_id, DWORD major_version)
{
    const PlatformFolder *nearest = NULL;

    for (const PlatformFolder &folder : PLATFORM_FOLDERS) {
        if (folder.platform_id == platform_id && folder.major_version <= major_version)
            nearest = &folder;
    }
    return nearest;
}

// The branch by family and version alone, from the folder list: a version
// without a folder of its own takes the branch of the nearest earlier one
// (NT 6 and later Windows 2000's). Every platform other than the 95 family
// counts as NT, and an NT earlier than every folder as the earliest.
static const PlatformBranch *branch_of(const OSVERSIONINFOA *version)
{
    const PlatformFolder *folder =
        nearest_folder(version->dwPlatformId, version->dwMajorVersion);

    if (folder != NULL)
        return folder->branch;
    for (const PlatformFolder &earliest : PLATFORM_FOLDERS) {
        if (earliest.platform_id == VER_PLATFORM_WIN32_NT)
            return earliest.branch;
    }
    return NULL;
}

// The folder made for exactly this version.
static const PlatformFolder *folder_of(const OSVERSIONINFOA *version)
{
    const PlatformFolder *folder =
        nearest_folder(version->dwPlatformId, version->dwMajorVersion);

    if (folder == NULL ||
        (folder->major_version != 0 && folder->major_version != version->dwMajorVersion))
        return NULL;
    return folder;
}

int describe_platform(OSVERSIONINFOA *version)
{
    const PlatformFolder *folder;

    query_version(version);
    platform_branch = branch_of(version);
    if (version->dwPlatformId != VER_PLATFORM_WIN32_WINDOWS &&
        version->dwPlatformId != VER_PLATFORM_WIN32_NT)
        return PLATFORM_UNKNOWN;
    set_text(driver_extension, sizeof driver_extension, platform_branch->driver_extension);
    folder = folder_of(version);
    if (folder == NULL)
        return PLATFORM_UNSUPPORTED_NT;
    set_text(platform_tag, sizeof platform_tag, folder->tag);
    set_text(environment_name, sizeof environment_name, platform_branch->environment);
    return PLATFORM_SUPPORTED;
}
