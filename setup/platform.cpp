#include "setup/platform.h"

#include "app/setup_state.h"
#include "catalog/text_format.h"

enum { OSVERSIONINFO_SIZE = 148 };

// The spooler adds printers only on drivers of its own processor's
// environment, so the NT family's is the one this program is built for.
#ifdef _WIN64
static const char NT_ENVIRONMENT[] = "Windows x64";
#else
static const char NT_ENVIRONMENT[] = "Windows NT x86";
#endif
static const char WINDOWS_95_ENVIRONMENT[] = "Windows 4.0";

struct NtRelease {
    DWORD major;
    const char *tag;
};

static const NtRelease NT_RELEASES[] = {
    {3, "nt_351"},
    {4, "nt_40"},
    {5, "W2K"}, // every minor version of 5 alike
};

static void set_text(char *buffer, size_t size, const char *text)
{
    format_text(buffer, size, "%s", text);
}

int describe_platform(OSVERSIONINFOA *version)
{
    memset(version, 0, sizeof *version);
    version->dwOSVersionInfoSize = OSVERSIONINFO_SIZE;
    GetVersionExA(version);
    if (version->dwPlatformId == VER_PLATFORM_WIN32_WINDOWS) {
        set_text(driver_extension, sizeof driver_extension, "drv");
        set_text(platform_tag, sizeof platform_tag, "95");
        set_text(environment_name, sizeof environment_name, WINDOWS_95_ENVIRONMENT);
        return PLATFORM_SUPPORTED;
    }
    if (version->dwPlatformId != VER_PLATFORM_WIN32_NT)
        return PLATFORM_UNKNOWN;
    set_text(driver_extension, sizeof driver_extension, "dll");
    for (const NtRelease &release : NT_RELEASES) {
        if (release.major == version->dwMajorVersion) {
            set_text(platform_tag, sizeof platform_tag, release.tag);
            set_text(environment_name, sizeof environment_name, NT_ENVIRONMENT);
            return PLATFORM_SUPPORTED;
        }
    }
    return PLATFORM_UNSUPPORTED_NT;
}
