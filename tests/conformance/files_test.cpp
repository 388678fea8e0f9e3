// Files as the setup handles them: copies into the system directory that
// may meet a read-only or missing file, attributes cleared before a
// delete, temporary file names, and the current directory.
#include "tests/conformance/arrange.h"

using conformance::file_bytes;
using conformance::in_work;
using conformance::file_exists;
using conformance::put_bytes;
using conformance::remove_file;
using conformance::work_dir;

namespace
{

} // namespace

CONFORMANCE_TEST(files, CopyingAMissingFileOrFolderNamesWhatIsMissing)
{
    std::string target = in_work("copy.dll");
    POISON();
    CHECK(!CopyFileA(in_work("nothing.dll").c_str(), target.c_str(), FALSE));
    CHECK_ERROR(ERROR_FILE_NOT_FOUND);
    POISON();
    CHECK(!CopyFileA(in_work("nofolder\\nothing.dll").c_str(), target.c_str(), FALSE));
    CHECK_ERROR(ERROR_PATH_NOT_FOUND);
    CHECK(!file_exists(target));
}

CONFORMANCE_TEST(files, CopyRefusesAnExistingTargetOnlyWhenAskedTo)
{
    std::string source = in_work("source.dll");
    std::string target = in_work("target.dll");
    CHECK(put_bytes(source, "new"));
    CHECK(put_bytes(target, "old"));
    POISON();
    CHECK(!CopyFileA(source.c_str(), target.c_str(), TRUE));
    CHECK_ERROR(ERROR_FILE_EXISTS);
    CHECK_STR(file_bytes(target).c_str(), "old");
    CHECK(CopyFileA(source.c_str(), target.c_str(), FALSE));
    CHECK_STR(file_bytes(target).c_str(), "new");
    remove_file(source);
    remove_file(target);
}

CONFORMANCE_TEST(files, CopyOntoAReadOnlyFileIsDeniedAndACopyKeepsTheAttributes)
{
    std::string source = in_work("source.dll");
    std::string target = in_work("target.dll");
    CHECK(put_bytes(source, "new"));
    CHECK(put_bytes(target, "old"));
    CHECK(SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_READONLY));
    POISON();
    BOOL copied = CopyFileA(source.c_str(), target.c_str(), FALSE);
    KNOWN_WINE_DIFFERENCE("a read-only file is opened for writing when Wine runs as root",
                          !copied && GetLastError() == ERROR_ACCESS_DENIED &&
                              file_bytes(target) == "old");
    remove_file(target);

    CHECK(SetFileAttributesA(source.c_str(), FILE_ATTRIBUTE_READONLY));
    CHECK(CopyFileA(source.c_str(), target.c_str(), FALSE));
    CHECK((GetFileAttributesA(target.c_str()) & FILE_ATTRIBUTE_READONLY) != 0);
    remove_file(source);
    remove_file(target);
}

CONFORMANCE_TEST(files, AReadOnlyFileIsDeletedOnlyOnceMadeNormal)
{
    std::string path = in_work("locked.dll");
    CHECK(put_bytes(path, "x"));
    POISON();
    CHECK(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
    CHECK_EQ(GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_READONLY, FILE_ATTRIBUTE_READONLY);
    POISON();
    CHECK(!DeleteFileA(path.c_str()));
    CHECK_ERROR(ERROR_ACCESS_DENIED);
    CHECK(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL));
    CHECK_EQ(GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_READONLY, 0);
    CHECK(DeleteFileA(path.c_str()));
    CHECK(!file_exists(path));
}

CONFORMANCE_TEST(files, AMissingFileOrFolderOrABadNameHasNoAttributes)
{
    POISON();
    CHECK(!SetFileAttributesA(in_work("nothing.dll").c_str(), FILE_ATTRIBUTE_NORMAL));
    CHECK_ERROR(ERROR_FILE_NOT_FOUND);
    POISON();
    CHECK(!SetFileAttributesA(in_work("nofolder\\nothing.dll").c_str(), FILE_ATTRIBUTE_NORMAL));
    CHECK_ERROR(ERROR_PATH_NOT_FOUND);
    struct {
        std::string path;
        DWORD error;
    } cases[] = {
        {in_work("nothing.dll"), ERROR_FILE_NOT_FOUND},
        {in_work("nofolder\\nothing.dll"), ERROR_PATH_NOT_FOUND},
        {in_work("a<b.dll"), ERROR_INVALID_NAME},
        {in_work("what?.dll"), ERROR_INVALID_NAME},
        {"", ERROR_PATH_NOT_FOUND},
    };
    for (const auto &c : cases) {
        POISON();
        CHECK_EQ(GetFileAttributesA(c.path.c_str()), INVALID_FILE_ATTRIBUTES);
        CHECK_ERROR(c.error);
    }
}

CONFORMANCE_TEST(files, TheTemporaryPathEndsInABackslashAndReportsItsSize)
{
    char path[MAX_PATH];
    POISON();
    DWORD length = GetTempPathA(sizeof path, path);
    CHECK(length > 3 && length < sizeof path);
    CHECK_EQ(strlen(path), length);
    CHECK(length > 0 && path[length - 1] == '\\');
    CHECK_EQ(GetFileAttributesA(path) & FILE_ATTRIBUTE_DIRECTORY, FILE_ATTRIBUTE_DIRECTORY);
    char small[2];
    CHECK_EQ(GetTempPathA(sizeof small, small), length + 1);
}

CONFORMANCE_TEST(files, ATemporaryFileNameIsMadeAsAnEmptyFile)
{
    std::string folder = work_dir();
    char name[MAX_PATH];
    POISON();
    UINT unique = GetTempFileNameA(folder.c_str(), "tqv", 0, name);
    CHECK(unique != 0);
    CHECK(strlen(name) > folder.size() + 1);
    CHECK(strncmp(name, folder.c_str(), folder.size()) == 0);
    const char *file = name + folder.size() + 1;
    // Three letters of the prefix, the number in hexadecimal, ".tmp".
    char expected[32];
    snprintf(expected, sizeof expected, "tqv%x.tmp", unique);
    CHECK(lstrcmpiA(file, expected) == 0);
    CHECK_STR(file_bytes(name).c_str(), "");
    char second[MAX_PATH];
    CHECK(GetTempFileNameA((folder + "\\").c_str(), "tqvlonger", 0, second) != 0);
    CHECK(lstrcmpiA(name, second) != 0);
    remove_file(name);
    remove_file(second);
}

CONFORMANCE_TEST(files, ATemporaryFileNameNeedsAnExistingFolder)
{
    char name[MAX_PATH];
    POISON();
    CHECK_EQ(GetTempFileNameA(in_work("nofolder").c_str(), "tqv", 0, name), 0);
    CHECK_ERROR(ERROR_DIRECTORY);
}

CONFORMANCE_TEST(files, TheCurrentDirectoryMustExist)
{
    std::string folder = work_dir();
    POISON();
    CHECK(SetCurrentDirectoryA(folder.c_str()));
    CHECK(put_bytes("relative.txt", "here"));
    CHECK_STR(file_bytes(in_work("relative.txt")).c_str(), "here");
    remove_file(in_work("relative.txt"));
    POISON();
    CHECK(!SetCurrentDirectoryA(in_work("nofolder").c_str()));
    CHECK_ERROR(ERROR_FILE_NOT_FOUND);
    POISON();
    CHECK(!SetCurrentDirectoryA(in_work("nofolder\\deeper").c_str()));
    CHECK_ERROR(ERROR_PATH_NOT_FOUND);
}
