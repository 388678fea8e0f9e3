// Bounded formatting: texts from language files are never trusted as printf
// formats, and nothing is ever written past the buffer or left unterminated.
#include "support/machine_fixture.h"

#include "app/setup_state.h"
#include "catalog/text_format.h"

#include <string>
#include <vector>

namespace
{

const char GUARD = '\x5a';

// Formats into a buffer of exactly `size` bytes with guard bytes after it
// and checks the bounds on the way; returns the text.
std::string formatted(const std::string &text, const char *argument, size_t size)
{
    std::vector<char> buffer(size + 64, GUARD);
    size_t length = format_catalog_text(buffer.data(), size, text.c_str(), argument);
    for (size_t i = size; i < buffer.size(); i++)
        EXPECT_EQ(GUARD, buffer[i]) << "written past a buffer of " << size << " at " << i;
    if (size == 0) {
        EXPECT_EQ(0u, length);
        return std::string(buffer.data(), 0);
    }
    const char *end = static_cast<const char *>(memchr(buffer.data(), '\0', size));
    EXPECT_NE(nullptr, end) << "unterminated in a buffer of " << size;
    if (end == nullptr)
        return std::string();
    EXPECT_EQ(static_cast<size_t>(end - buffer.data()), length);
    return std::string(buffer.data(), end - buffer.data());
}

} // namespace

TEST(CatalogTextFormat, OnlyTheFirstPercentSTakesTheArgumentAndOtherSequencesStayAsWritten)
{
    const struct {
        const char *text;
        const char *argument;
        const char *expected;
    } cases[] = {
        {"Copying %s ...", "C:\\WINDOWS\\system32\\fxmon.dll",
         "Copying C:\\WINDOWS\\system32\\fxmon.dll ..."},
        {"%s%s", "x", "x%s"},
        {"%s and %s", "one", "one and %s"},
        {"%n%s", "x", "%nx"},
        {"%d files, %s", "done", "%d files, done"},
        {"%x%p%08.3f%ls%S", "a", "%x%p%08.3f%ls%S"},
        {"%", "x", "%"},
        {"100%", "x", "100%"},
        {"%%", "x", "%"},
        {"%%s", "x", "%s"},
        {"%%%s", "x", "%x"},
        {"100%% of %s", "x", "100% of x"},
        {"%%%%%", "x", "%%%"},
        {"[%s]", nullptr, "[]"},
        {"[%s][%s]", "", "[][%s]"},
        {"%s!", "%s%n%d%%", "%s%n%d%%!"}, // the argument is never read as a format
        {"", "x", ""},
        {"no argument wanted", "x", "no argument wanted"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(c.expected, formatted(c.text, c.argument, 4096)) << c.text;
    }
}

TEST(CatalogTextFormat, HostileTextsInEveryBufferSizeAreCutTerminatedAndKeptInside)
{
    const std::string long_text = std::string(5000, 'T') + "%s" + std::string(5000, 'U');
    const std::string long_argument(100000, 'A');
    const struct {
        std::string text;
        const char *argument;
    } cases[] = {
        {"%n", "x"},
        {"%d%d%d%d", "x"},
        {"%s%s", "arg"},
        {"%", "x"},
        {"end%", "x"},
        {"%%s%s%%%", "arg"},
        {"Copying %s to the system folder", long_argument.c_str()},
        {long_text, "arg"},
        {long_text, long_argument.c_str()},
    };
    for (const auto &c : cases) {
        std::string whole = formatted(c.text, c.argument, 300000);
        // At most one argument appears, however many "%s" the text holds.
        size_t argument_length = strlen(c.argument);
        ASSERT_LE(whole.size(), c.text.size() + argument_length) << c.text.substr(0, 40);
        for (size_t size : {0ul, 1ul, 2ul, 3ul, 5ul, 17ul, 1024ul, 1025ul, 10001ul,
                            static_cast<size_t>(MESSAGE_TEXT_SIZE)}) {
            std::string cut = formatted(c.text, c.argument, size);

            size_t room = size == 0 ? 0 : size - 1;
            EXPECT_EQ(whole.substr(0, room), cut) << c.text.substr(0, 40) << " in " << size;
        }
    }
}

TEST(CatalogTextFormat, ASizeOfZeroLeavesTheBufferUntouched)
{
    char buffer[4] = {'a', 'b', 'c', 'd'};

    EXPECT_EQ(0u, format_catalog_text(buffer, 0, "%s", "x"));
    EXPECT_EQ(0u, format_text(buffer, 0, "%s", "x"));

    EXPECT_EQ(0, memcmp(buffer, "abcd", 4));
}

TEST(TextFormat, ProgramFormatsAreCutToTheBufferAlwaysTerminatedAndTheLengthReturned)
{
    const std::string long_argument(5000, 'p');
    const struct {
        size_t size;
        const char *argument;
        std::string expected;
    } cases[] = {
        {64, "eng", "lang.eng 42%"},
        {9, "eng", "lang.eng"},
        {1, "eng", ""},
        {12, long_argument.c_str(), "lang." + std::string(6, 'p')},
        {MESSAGE_TEXT_SIZE, long_argument.c_str(),
         "lang." + std::string(MESSAGE_TEXT_SIZE - 6, 'p')},
    };
    for (const auto &c : cases) {
        std::vector<char> buffer(c.size + 32, GUARD);

        size_t length = format_text(buffer.data(), c.size, "lang.%s %d%%", c.argument, 42);

        EXPECT_EQ(c.expected, std::string(buffer.data())) << c.size;
        EXPECT_EQ(c.expected.size(), length) << c.size;
        for (size_t i = c.size; i < buffer.size(); i++)
            ASSERT_EQ(GUARD, buffer[i]) << "written past a buffer of " << c.size;
    }
}
