// The C runtime's streams in text mode as the language-file reader and the
// INF writer use them: CR LF written and dropped, Ctrl-Z ending a file,
// fgets in pieces, ungetc after a backslash; the open and unlink failures
// the setup reports; and msvcrt's bounded formatter.
#include "tests/conformance/arrange.h"

#include <errno.h>

using conformance::file_bytes;
using conformance::in_work;
using conformance::put_bytes;
using conformance::remove_file;
using conformance::work_dir;

namespace
{

// Everything a text-mode stream gives, read with fgetc.
std::string read_text(const std::string &path)
{
    FILE *file = fopen(path.c_str(), "r");
    if (file == NULL)
        return "<missing>";
    std::string text;
    int c;
    while ((c = fgetc(file)) != EOF)
        text += (char)c;
    CHECK(feof(file) != 0);
    CHECK(ferror(file) == 0);
    fclose(file);
    return text;
}

int format(char *buffer, size_t count, const char *format_text, ...)
{
    va_list arguments;
    va_start(arguments, format_text);
    int result = _vsnprintf(buffer, count, format_text, arguments);
    va_end(arguments);
    return result;
}

} // namespace

CONFORMANCE_TEST(crt, TextModeWritingEndsEachLineWithCrLf)
{
    std::string path = in_work("written.inf");
    FILE *file = fopen(path.c_str(), "w");
    CHECK(file != NULL);
    if (file == NULL)
        return;
    CHECK(fputs("[Version]\n", file) >= 0);
    CHECK(fputs("Signature=$Windows NT$\r\n", file) >= 0);
    CHECK_EQ(fwrite("a\nb", 1, 3, file), 3);
    CHECK_EQ(fclose(file), 0);
    file = fopen(path.c_str(), "a");
    CHECK(file != NULL);
    if (file != NULL) {
        CHECK(fputs("\nlast\n", file) >= 0);
        CHECK_EQ(fclose(file), 0);
    }
    CHECK(file_bytes(path) == "[Version]\r\nSignature=$Windows NT$\r\r\na\r\nb\r\nlast\r\n");
    remove_file(path);
}

CONFORMANCE_TEST(crt, TextModeReadingDropsTheCrOfCrLfOnly)
{
    std::string path = in_work("read.txt");
    CHECK(put_bytes(path, "a\r\nb\rc\r\r\nd\n\re\xff\r"));
    CHECK(read_text(path) == "a\nb\rc\r\nd\n\re\xff\r");
    remove_file(path);
}

CONFORMANCE_TEST(crt, CtrlZEndsATextStreamButNotABinaryOne)
{
    std::string path = in_work("ctrlz.txt");
    CHECK(put_bytes(path, "Key: text\r\n\x1aTrailing: junk\r\n"));
    CHECK(read_text(path) == "Key: text\n");
    CHECK(file_bytes(path) == "Key: text\r\n\x1aTrailing: junk\r\n");
    remove_file(path);
}

CONFORMANCE_TEST(crt, FgetsGivesALongLineInPiecesWithItsLineEndLast)
{
    std::string path = in_work("pieces.txt");
    CHECK(put_bytes(path, "abcdefgh\r\nij"));
    FILE *file = fopen(path.c_str(), "r");
    CHECK(file != NULL);
    if (file == NULL)
        return;
    char piece[4];
    CHECK(fgets(piece, sizeof piece, file) == piece);
    CHECK_STR(piece, "abc");
    CHECK(fgets(piece, sizeof piece, file) == piece);
    CHECK_STR(piece, "def");
    CHECK(fgets(piece, sizeof piece, file) == piece);
    CHECK_STR(piece, "gh\n");
    CHECK(fgets(piece, sizeof piece, file) == piece);
    CHECK_STR(piece, "ij");
    CHECK(feof(file) != 0);
    CHECK(fgets(piece, sizeof piece, file) == NULL);
    CHECK_EQ(fclose(file), 0);
    remove_file(path);
}

CONFORMANCE_TEST(crt, UngetcAfterABackslashGivesTheCharacterBack)
{
    std::string path = in_work("escape.txt");
    CHECK(put_bytes(path, "a\\\r\nb\\t"));
    FILE *file = fopen(path.c_str(), "r");
    CHECK(file != NULL);
    if (file == NULL)
        return;
    CHECK_EQ(fgetc(file), 'a');
    CHECK_EQ(fgetc(file), '\\');
    int next = fgetc(file);
    CHECK_EQ(next, '\n');
    CHECK_EQ(ungetc(next, file), '\n');
    CHECK_EQ(fgetc(file), '\n');
    CHECK_EQ(fgetc(file), 'b');
    CHECK_EQ(fgetc(file), '\\');
    CHECK_EQ(fgetc(file), 't');
    CHECK_EQ(fgetc(file), EOF);
    // At the end, a character given back is read once more.
    CHECK_EQ(ungetc('t', file), 't');
    CHECK_EQ(fgetc(file), 't');
    CHECK_EQ(fgetc(file), EOF);
    CHECK_EQ(fclose(file), 0);
    remove_file(path);
}

CONFORMANCE_TEST(crt, OpeningAMissingFileOrAFolderSetsErrnoAndTheLastError)
{
    errno = 0;
    POISON();
    CHECK(fopen(work_dir().c_str(), "r") == NULL);
    CHECK_EQ(errno, EACCES);
    CHECK_ERROR(ERROR_ACCESS_DENIED);
    errno = 0;
    POISON();
    CHECK(fopen(in_work("nothing.ger").c_str(), "r") == NULL);
    CHECK_EQ(errno, ENOENT);
    CHECK_ERROR(ERROR_FILE_NOT_FOUND);
    errno = 0;
    POISON();
    CHECK(fopen(in_work("nofolder\\new.inf").c_str(), "w") == NULL);
    CHECK_EQ(errno, ENOENT);
    CHECK_ERROR(ERROR_PATH_NOT_FOUND);
}

CONFORMANCE_TEST(crt, AReadOnlyFileCannotBeOpenedForWriting)
{
    std::string path = in_work("locked.inf");
    CHECK(put_bytes(path, "old"));
    CHECK(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
    errno = 0;
    POISON();
    FILE *file = fopen(path.c_str(), "w");
    KNOWN_WINE_DIFFERENCE("a read-only file is opened for writing when Wine runs as root",
                          file == NULL && errno == EACCES &&
                              GetLastError() == ERROR_ACCESS_DENIED);
    if (file != NULL)
        fclose(file);
    remove_file(path);
}

CONFORMANCE_TEST(crt, UnlinkRefusesMissingReadOnlyAndOpenFiles)
{
    std::string path = in_work("temp.inf");
    errno = 0;
    POISON();
    CHECK_EQ(_unlink(path.c_str()), -1);
    CHECK_EQ(errno, ENOENT);
    CHECK_ERROR(ERROR_FILE_NOT_FOUND);

    CHECK(put_bytes(path, "x"));
    CHECK(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
    errno = 0;
    POISON();
    CHECK_EQ(_unlink(path.c_str()), -1);
    CHECK_EQ(errno, EACCES);
    CHECK_ERROR(ERROR_ACCESS_DENIED);
    CHECK(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL));

    FILE *open = fopen(path.c_str(), "r");
    CHECK(open != NULL);
    errno = 0;
    POISON();
    CHECK_EQ(_unlink(path.c_str()), -1);
    CHECK_EQ(errno, EACCES);
    CHECK_ERROR(ERROR_SHARING_VIOLATION);
    if (open != NULL)
        fclose(open);
    // The name is found without regard to case.
    CHECK_EQ(_unlink((work_dir() + "\\TEMP.INF").c_str()), 0);
    CHECK(!conformance::file_exists(path));
}

CONFORMANCE_TEST(crt, VsnprintfCutsToTheCountAndTerminatesOnlyWhatFits)
{
    char buffer[8];
    memset(buffer, '#', sizeof buffer);
    CHECK_EQ(format(buffer, 4, "%s-%d", "ab", 7), 4);
    CHECK(memcmp(buffer, "ab-7#", 5) == 0);
    memset(buffer, '#', sizeof buffer);
    CHECK_EQ(format(buffer, 4, "%s", "abcdef"), -1);
    CHECK(memcmp(buffer, "abcd#", 5) == 0);
    memset(buffer, '#', sizeof buffer);
    CHECK_EQ(format(buffer, sizeof buffer, "%lu%%", (unsigned long)42), 3);
    CHECK_STR(buffer, "42%");
}
