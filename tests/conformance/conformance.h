// The conformance suite's own small test layer: the same sources build
// against winsim on the host and with MinGW for Windows (run under Wine),
// where there is no GoogleTest. Each test is a function registered in a
// table under its group; a failed check prints where and what and is
// counted, and the test goes on.
#ifndef TESTS_CONFORMANCE_CONFORMANCE_H
#define TESTS_CONFORMANCE_CONFORMANCE_H

// The C++ headers first: <cstdio> takes back the platform header's routing
// of fopen to winsim.
#include <cstdio>
#include <string>
#include <vector>

#include "system/platform.h"

namespace conformance
{

typedef void (*TestFunction)(void);

struct Registrar {
    Registrar(const char *group, const char *name, TestFunction run);
};

void check(bool passed, const char *what, const char *file, int line);
void check_number(unsigned long long actual, unsigned long long expected, const char *actual_text,
                  const char *expected_text, const char *file, int line);
void check_text(const char *actual, const char *expected, const char *actual_text,
                const char *expected_text, const char *file, int line);
// Windows' answer holds: on Windows and winsim it is checked; under Wine a
// failure is recorded as the known difference, and agreement fails, so
// that a mark outlives no fix of Wine's.
void known_wine_difference(bool windows_answer, const char *difference, const char *what,
                           const char *file, int line);

// The running system, as the program sees it.
bool on_wine(void);
bool windows_95_family(void);
// NT 5.0 (Windows 2000) or later.
bool nt5_or_later(void);
// The spooler environment of this build's NT drivers or the 95 family's.
char *own_environment(void);

// Whether two texts are the same, at compile time.
constexpr bool same_text(const char *a, const char *b)
{
    return *a == *b && (*a == '\0' || same_text(a + 1, b + 1));
}

} // namespace conformance

#define CONFORMANCE_TEXT_OF(word) #word
#define CONFORMANCE_TEXT(word) CONFORMANCE_TEXT_OF(word)

// Each group's file is built with CONFORMANCE_GROUP set to the group's name
// from the list in CMakeLists.txt: a test under any other group would
// never run, so it does not compile.
#define CONFORMANCE_TEST(group, name)                                                              \
    static_assert(conformance::same_text(#group, CONFORMANCE_TEXT(CONFORMANCE_GROUP)),                          \
                  "the group " #group " is not this file's group in CMakeLists.txt");              \
    static void group##_##name(void);                                                              \
    static conformance::Registrar group##_##name##_registrar(#group, #name, group##_##name);      \
    static void group##_##name(void)

#define CHECK(condition) conformance::check((condition), #condition, __FILE__, __LINE__)
#define CHECK_EQ(actual, expected)                                                                 \
    conformance::check_number((unsigned long long)(actual), (unsigned long long)(expected),        \
                              #actual, #expected, __FILE__, __LINE__)
#define CHECK_STR(actual, expected)                                                                \
    conformance::check_text((actual), (expected), #actual, #expected, __FILE__, __LINE__)
// The call's result and the last error it left, after the error was
// poisoned before it (SetLastError(0xdeadbeef) through POISON()).
#define POISON() SetLastError(0xdeadbeef)
#define CHECK_ERROR(expected) CHECK_EQ(GetLastError(), (expected))
#define KNOWN_WINE_DIFFERENCE(difference, windows_answer)                                          \
    conformance::known_wine_difference((windows_answer), (difference), #windows_answer, __FILE__, \
                                       __LINE__)

#endif
