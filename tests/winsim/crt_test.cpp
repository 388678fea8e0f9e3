// The simulated C runtime: text-mode streams, _unlink and malloc as the
// Windows C runtime has them.
#include "support/machine_fixture.h"

#include "system/platform.h"

#include <cerrno>
#include <string>

using CRuntime = MachineTest;

static std::string read_all(FILE *file)
{
    std::string text;
    int c;
    while ((c = fgetc(file)) != EOF)
        text += static_cast<char>(c);
    return text;
}

TEST_F(CRuntime, TextModeReadingFoldsCrLfAndStopsAtCtrlZ)
{
    winsim::put_file("D:\\lang.eng", "a\r\nb\rc\n\r\n\xff\x1a after the end");

    FILE *text = fopen("D:\\lang.eng", "r");
    ASSERT_NE(nullptr, text);
    EXPECT_EQ(std::string("a\nb\rc\n\n\xff"), read_all(text));
    EXPECT_TRUE(feof(text));
    fclose(text);

    FILE *binary = fopen("D:\\lang.eng", "rb");
    ASSERT_NE(nullptr, binary);
    EXPECT_EQ(std::string("a\r\nb\rc\n\r\n\xff\x1a after the end"), read_all(binary));
    fclose(binary);
}

TEST_F(CRuntime, TextModeWritingEndsLinesWithCrLf)
{
    FILE *file = fopen("C:\\WINDOWS\\TEMP\\out.inf", "w");
    ASSERT_NE(nullptr, file);
    fprintf(file, "[Version]\n%s\n", "Signature=$Windows NT$");
    fclose(file);
    file = fopen("C:\\WINDOWS\\TEMP\\out.inf", "a");
    ASSERT_NE(nullptr, file);
    fputs("last\n", file);
    fclose(file);

    EXPECT_EQ("[Version]\r\nSignature=$Windows NT$\r\nlast\r\n",
              winsim::file_bytes("C:\\WINDOWS\\TEMP\\out.inf"));
}

TEST_F(CRuntime, AFullDiskFailsTheWriteThatReachesIt)
{
    // A short text reaches the file only when the stream is closed; a text
    // longer than the stream's 4096-byte buffer already on fputs.
    std::string long_text(5000, 'x');
    for (const std::string &text : {std::string("[Version]\n"), long_text}) {
        FILE *file = fopen("C:\\WINDOWS\\TEMP\\out.inf", "w");
        ASSERT_NE(nullptr, file);
        winsim::fail_call("WriteFile", winsim::call_count("WriteFile") + 1, ERROR_DISK_FULL);
        errno = 0;
        SetLastError(0xdeadbeef);

        int put = fputs(text.c_str(), file);
        int closed = fclose(file);

        bool fails_on_put = text.size() > 4096;
        EXPECT_EQ(fails_on_put ? EOF : 1, put == EOF ? EOF : 1) << text.size();
        EXPECT_EQ(fails_on_put ? 0 : EOF, closed) << text.size();
        EXPECT_EQ(ENOSPC, errno) << text.size();
        EXPECT_EQ((DWORD)ERROR_DISK_FULL, GetLastError()) << text.size();
        EXPECT_EQ(0, winsim::open_stream_count());
    }
}

TEST_F(CRuntime, OpenFailuresSetErrnoAndTheLastError)
{
    winsim::put_file("C:\\WINDOWS\\locked.txt", "x");
    SetFileAttributesA("C:\\WINDOWS\\locked.txt", FILE_ATTRIBUTE_READONLY);
    winsim::make_directory("D:\\sorvik");
    struct {
        const char *name;
        const char *mode;
        int error_number;
        DWORD error;
    } cases[] = {
        {"D:\\missing.txt", "r", ENOENT, ERROR_FILE_NOT_FOUND},
        {"D:\\no\\such.txt", "w", ENOENT, ERROR_PATH_NOT_FOUND},
        {"sorvik", "r", EACCES, ERROR_ACCESS_DENIED},
        {"C:\\WINDOWS\\locked.txt", "w", EACCES, ERROR_ACCESS_DENIED},
    };
    for (const auto &c : cases) {
        errno = 0;
        SetLastError(0xdeadbeef);
        EXPECT_EQ(nullptr, fopen(c.name, c.mode)) << c.name;
        EXPECT_EQ(c.error_number, errno) << c.name;
        EXPECT_EQ(c.error, GetLastError()) << c.name;
    }
    FILE *readable = fopen("C:\\WINDOWS\\locked.txt", "r");
    EXPECT_NE(nullptr, readable);
    fclose(readable);
}

TEST_F(CRuntime, UnlinkRefusesOpenAndReadOnlyFiles)
{
    winsim::put_file("C:\\WINDOWS\\TEMP\\INS1.TMP", "");
    FILE *file = fopen("C:\\WINDOWS\\TEMP\\INS1.TMP", "w");
    ASSERT_NE(nullptr, file);
    EXPECT_EQ(1, winsim::open_stream_count());

    errno = 0;
    EXPECT_EQ(-1, _unlink("C:\\WINDOWS\\TEMP\\INS1.TMP"));
    EXPECT_EQ(EACCES, errno);
    EXPECT_EQ((DWORD)ERROR_SHARING_VIOLATION, GetLastError());
    fclose(file);
    EXPECT_EQ(0, winsim::open_stream_count());

    SetFileAttributesA("C:\\WINDOWS\\TEMP\\INS1.TMP", FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(-1, _unlink("C:\\WINDOWS\\TEMP\\INS1.TMP"));
    EXPECT_EQ(EACCES, errno);
    SetFileAttributesA("C:\\WINDOWS\\TEMP\\INS1.TMP", FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(0, _unlink("c:\\windows\\temp\\ins1.tmp"));
    EXPECT_FALSE(winsim::file_present("C:\\WINDOWS\\TEMP\\INS1.TMP"));

    errno = 0;
    EXPECT_EQ(-1, _unlink("C:\\WINDOWS\\TEMP\\INS1.TMP"));
    EXPECT_EQ(ENOENT, errno);
}

TEST_F(CRuntime, InjectedFaultsFailTheNamedCallOnly)
{
    winsim::put_file("D:\\lang.ger", "x");
    winsim::fail_call("fopen", 2, ERROR_SHARING_VIOLATION);
    winsim::fail_call("malloc", 1, ERROR_NOT_ENOUGH_MEMORY);

    FILE *first = fopen("D:\\lang.ger", "r");
    EXPECT_NE(nullptr, first);
    fclose(first);
    EXPECT_EQ(nullptr, fopen("D:\\lang.ger", "r"));
    EXPECT_EQ(EACCES, errno);
    FILE *third = fopen("D:\\lang.ger", "r");
    EXPECT_NE(nullptr, third);
    fclose(third);

    EXPECT_EQ(nullptr, malloc(16));
    void *second = malloc(16);
    EXPECT_NE(nullptr, second);
    free(second);
}

static int msvcrt_format(char *buffer, size_t count, const char *format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    int answer = _vsnprintf(buffer, count, format, arguments);
    va_end(arguments);
    return answer;
}

TEST_F(CRuntime, VsnprintfCutsToTheCountAndTerminatesOnlyWhatFits)
{
    char buffer[8];

    memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(3, msvcrt_format(buffer, 5, "%s", "abc"));
    EXPECT_EQ(std::string("abc\0#", 5), std::string(buffer, 5));

    memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(5, msvcrt_format(buffer, 5, "%d", 12345));
    EXPECT_EQ(std::string("12345#", 6), std::string(buffer, 6));

    memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(-1, msvcrt_format(buffer, 5, "%s-%lu", "abcd", 99ul));
    EXPECT_EQ(std::string("abcd-#", 6), std::string(buffer, 6));
}
