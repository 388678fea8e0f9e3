// Runs one group of the conformance suite (or all), each test on a machine
// of its own: on the host a freshly booted winsim machine of the Windows
// version named on the command line, on Windows the machine it runs on
// (each test leaves it as it found it).
//
//   conformance GROUP|all|list [--windows xp|98]
//
// Exit code 0 when every check held, 1 when one failed, 2 for a wrong
// command line or a group without tests.
#include "tests/conformance/conformance.h"

#ifdef WINSIM
#include <winsim/machine.h>
#endif

namespace conformance
{

namespace
{

enum { MAX_TESTS = 400 };

struct Test {
    const char *group;
    const char *name;
    TestFunction run;
};

Test tests[MAX_TESTS];
int test_count = 0;
// Tests registered past the table's end: the run refuses to start rather
// than leave them out.
int tests_left_out = 0;
int failures = 0;
int differences = 0;

const char *file_name(const char *path)
{
    const char *name = path;
    for (const char *c = path; *c != '\0'; c++) {
        if (*c == '/' || *c == '\\')
            name = c + 1;
    }
    return name;
}

void fail(const char *file, int line, const char *what)
{
    failures++;
    printf("  %s:%d: FAILED: %s\n", file_name(file), line, what);
}

} // namespace

Registrar::Registrar(const char *group, const char *name, TestFunction run)
{
    if (test_count == MAX_TESTS) {
        tests_left_out++;
        return;
    }
    tests[test_count].group = group;
    tests[test_count].name = name;
    tests[test_count].run = run;
    test_count++;
}

void check(bool passed, const char *what, const char *file, int line)
{
    if (!passed)
        fail(file, line, what);
}

void check_number(unsigned long long actual, unsigned long long expected, const char *actual_text,
                  const char *expected_text, const char *file, int line)
{
    if (actual == expected)
        return;
    char text[512];
    snprintf(text, sizeof text, "%s is %llu (0x%llx), expected %s = %llu (0x%llx)", actual_text,
             actual, actual, expected_text, expected, expected);
    fail(file, line, text);
}

void check_text(const char *actual, const char *expected, const char *actual_text,
                const char *expected_text, const char *file, int line)
{
    if (actual != NULL && expected != NULL && strcmp(actual, expected) == 0)
        return;
    if (actual == NULL && expected == NULL)
        return;
    char text[1024];
    snprintf(text, sizeof text, "%s is \"%s\", expected %s = \"%s\"", actual_text,
             actual == NULL ? "(null)" : actual, expected_text,
             expected == NULL ? "(null)" : expected);
    fail(file, line, text);
}

void known_wine_difference(bool windows_answer, const char *difference, const char *what,
                           const char *file, int line)
{
    if (!on_wine()) {
        check(windows_answer, what, file, line);
        return;
    }
    if (windows_answer) {
        char text[1024];
        snprintf(text, sizeof text, "Wine now gives Windows' answer (%s): drop the mark \"%s\"",
                 what, difference);
        fail(file, line, text);
        return;
    }
    differences++;
    printf("  %s:%d: known Wine difference: %s\n", file_name(file), line, difference);
}

bool on_wine(void)
{
#ifdef WINSIM
    return false;
#else
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != NULL && GetProcAddress(ntdll, "wine_get_version") != NULL;
#endif
}

static OSVERSIONINFOA running_version(void)
{
    OSVERSIONINFOA version;
    memset(&version, 0, sizeof version);
    version.dwOSVersionInfoSize = sizeof version;
    GetVersionExA(&version);
    return version;
}

bool windows_95_family(void)
{
    return running_version().dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;
}

bool nt5_or_later(void)
{
    OSVERSIONINFOA version = running_version();
    return version.dwPlatformId == VER_PLATFORM_WIN32_NT && version.dwMajorVersion >= 5;
}

char *own_environment(void)
{
    static char windows_95[] = "Windows 4.0";
#ifdef _WIN64
    static char nt[] = "Windows x64";
#else
    static char nt[] = "Windows NT x86";
#endif
    return windows_95_family() ? windows_95 : nt;
}

} // namespace conformance

using namespace conformance;

#ifdef WINSIM
// The machine a test runs on: "xp" or "98"; false for any other name.
static bool version_named(const char *windows, winsim::Version *version)
{
    if (strcmp(windows, "xp") == 0)
        *version = winsim::windows_xp;
    else if (strcmp(windows, "98") == 0)
        *version = winsim::windows_98;
    else
        return false;
    return true;
}
#endif

static int run_group(const char *group, const char *windows)
{
    int run = 0;
    int failed_tests = 0;
    for (int i = 0; i < test_count; i++) {
        if (strcmp(group, "all") != 0 && strcmp(group, tests[i].group) != 0)
            continue;
#ifdef WINSIM
        winsim::Version version;
        version_named(windows, &version);
        winsim::boot(winsim::setup_for(version));
#else
        (void)windows;
#endif
        int before = failures;
        printf("[ RUN  ] %s.%s\n", tests[i].group, tests[i].name);
        fflush(stdout);
        tests[i].run();
        bool passed = failures == before;
        printf("[ %s ] %s.%s\n", passed ? " OK " : "FAIL", tests[i].group, tests[i].name);
        fflush(stdout);
        if (!passed)
            failed_tests++;
        run++;
#ifdef WINSIM
        winsim::shut_down();
#endif
    }
    printf("%s: %d tests, %d failed, %d failed checks, %d known Wine differences\n", group, run,
           failed_tests, failures, differences);
    if (run == 0)
        return 2;
    return failures == 0 ? 0 : 1;
}

int main(int argc, char **argv)
{
    const char *windows = "xp";
    if (argc == 4 && strcmp(argv[2], "--windows") == 0)
        windows = argv[3];
    else if (argc != 2) {
        printf("usage: conformance GROUP|all|list [--windows xp|98]\n");
        return 2;
    }
#ifdef WINSIM
    winsim::Version version;
    if (!version_named(windows, &version)) {
        printf("conformance: no machine \"%s\"; --windows takes xp or 98\n", windows);
        return 2;
    }
#endif
    if (tests_left_out > 0) {
        printf("conformance: %d tests do not fit the table of %d; make MAX_TESTS larger\n",
               tests_left_out, MAX_TESTS);
        return 2;
    }
    if (strcmp(argv[1], "list") == 0) {
        for (int i = 0; i < test_count; i++) {
            if (i == 0 || strcmp(tests[i].group, tests[i - 1].group) != 0)
                printf("%s\n", tests[i].group);
        }
        return 0;
    }
    return run_group(argv[1], windows);
}
