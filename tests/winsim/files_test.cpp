// The simulated file system answers as Windows' ANSI file calls do.
#include "support/machine_fixture.h"

#include <windows.h>

using FileSystem = MachineTest;

TEST_F(FileSystem, NamesMatchWithoutRegardToCaseAndSlashDirection)
{
    winsim::put_file("C:\\Program Files\\Fax\\Read Me.TXT", "hello");

    SetLastError(0xdeadbeef);
    EXPECT_EQ(FILE_ATTRIBUTE_ARCHIVE, GetFileAttributesA("c:/PROGRAM FILES/fax/read me.txt"));
    EXPECT_TRUE(winsim::file_present("C:\\program files\\FAX\\.\\..\\Fax\\READ ME.txt"));
    // Windows drops trailing dots and blanks of a name.
    EXPECT_TRUE(winsim::file_present("C:\\Program Files\\Fax\\Read Me.TXT. "));
}

TEST_F(FileSystem, RelativeNamesStartAtTheCurrentDirectory)
{
    winsim::put_file("D:\\lang.eng", "x");
    winsim::put_file("C:\\WINDOWS\\lang.eng", "y");

    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA("lang.eng"));
    ASSERT_TRUE(SetCurrentDirectoryA("c:/"));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA("lang.eng"));
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA("windows\\lang.eng"));
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA("\\WINDOWS\\lang.eng"));
}

TEST_F(FileSystem, MissingFileAndMissingFolderGiveTheirOwnErrors)
{
    struct {
        const char *path;
        DWORD error;
    } cases[] = {
        {"C:\\WINDOWS\\nothing.txt", ERROR_FILE_NOT_FOUND},
        {"C:\\NOWHERE\\nothing.txt", ERROR_PATH_NOT_FOUND},
        {"C:\\WINDOWS\\a<b.txt", ERROR_INVALID_NAME},
        {"C:\\WINDOWS\\what?.txt", ERROR_INVALID_NAME},
        {"", ERROR_PATH_NOT_FOUND},
    };
    for (const auto &c : cases) {
        SetLastError(0xdeadbeef);
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(c.path)) << c.path;
        EXPECT_EQ(c.error, GetLastError()) << c.path;
    }
}

TEST_F(FileSystem, APathOfMaxPathCharactersIsRefused)
{
    std::string folder = "C:\\" + std::string(240, 'd');
    winsim::make_directory(folder);
    std::string fits = folder + "\\" + std::string(259 - folder.size() - 1, 'f');
    std::string too_long = fits + "g";
    winsim::put_file(fits, "x");

    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(fits.c_str()));
    SetLastError(0xdeadbeef);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(too_long.c_str()));
    EXPECT_EQ((DWORD)ERROR_FILENAME_EXCED_RANGE, GetLastError());
}

TEST_F(FileSystem, ReadOnlyFilesCannotBeDeletedOrOverwrittenUntilMadeNormal)
{
    winsim::put_file("C:\\WINDOWS\\system32\\rmzantr.exe", "old");
    winsim::put_file("D:\\setup.exe", "new");
    ASSERT_TRUE(SetFileAttributesA("C:\\WINDOWS\\system32\\rmzantr.exe", FILE_ATTRIBUTE_READONLY));

    SetLastError(0xdeadbeef);
    EXPECT_FALSE(DeleteFileA("C:\\WINDOWS\\system32\\rmzantr.exe"));
    EXPECT_EQ((DWORD)ERROR_ACCESS_DENIED, GetLastError());
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(CopyFileA("D:\\setup.exe", "C:\\WINDOWS\\system32\\rmzantr.exe", FALSE));
    EXPECT_EQ((DWORD)ERROR_ACCESS_DENIED, GetLastError());

    ASSERT_TRUE(SetFileAttributesA("C:\\WINDOWS\\system32\\rmzantr.exe", FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(FILE_ATTRIBUTE_NORMAL, GetFileAttributesA("C:\\WINDOWS\\system32\\rmzantr.exe"));
    EXPECT_TRUE(CopyFileA("D:\\setup.exe", "C:\\WINDOWS\\system32\\rmzantr.exe", FALSE));
    EXPECT_EQ("new", winsim::file_bytes("C:\\WINDOWS\\system32\\rmzantr.exe"));
    EXPECT_TRUE(DeleteFileA("C:\\WINDOWS\\system32\\rmzantr.exe"));
    EXPECT_FALSE(winsim::file_present("C:\\WINDOWS\\system32\\rmzantr.exe"));
}

TEST_F(FileSystem, CopyFileCarriesTheAttributesAndHonoursFailIfExists)
{
    winsim::put_file("D:\\setup.exe", "program");
    ASSERT_TRUE(SetFileAttributesA("D:\\setup.exe", FILE_ATTRIBUTE_READONLY));

    ASSERT_TRUE(CopyFileA("D:\\setup.exe", "C:\\WINDOWS\\copy.exe", TRUE));
    EXPECT_EQ(FILE_ATTRIBUTE_READONLY, GetFileAttributesA("C:\\WINDOWS\\copy.exe"));

    SetLastError(0xdeadbeef);
    EXPECT_FALSE(CopyFileA("D:\\setup.exe", "C:\\WINDOWS\\copy.exe", TRUE));
    EXPECT_EQ((DWORD)ERROR_FILE_EXISTS, GetLastError());
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(CopyFileA("D:\\missing.exe", "C:\\WINDOWS\\other.exe", FALSE));
    EXPECT_EQ((DWORD)ERROR_FILE_NOT_FOUND, GetLastError());
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(CopyFileA("D:\\setup.exe", "C:\\NOWHERE\\other.exe", FALSE));
    EXPECT_EQ((DWORD)ERROR_PATH_NOT_FOUND, GetLastError());
}

TEST_F(FileSystem, TemporaryFileNamesAreCreatedEmptyWithThreeLettersOfThePrefix)
{
    char name[MAX_PATH] = {0};

    UINT number = GetTempFileNameA("C:\\WINDOWS\\TEMP\\", "INSTALL", 0, name);

    ASSERT_NE(0u, number);
    char expected[MAX_PATH];
    snprintf(expected, sizeof expected, "C:\\WINDOWS\\TEMP\\INS%X.TMP", number);
    EXPECT_STREQ(expected, name);
    EXPECT_TRUE(winsim::file_present(name));
    EXPECT_EQ("", winsim::file_bytes(name));

    char second[MAX_PATH] = {0};
    ASSERT_NE(0u, GetTempFileNameA("C:\\WINDOWS\\TEMP", "INS", 0, second));
    EXPECT_STRNE(name, second);

    SetLastError(0xdeadbeef);
    EXPECT_EQ(0u, GetTempFileNameA("C:\\NOWHERE", "INS", 0, second));
    EXPECT_EQ((DWORD)ERROR_DIRECTORY, GetLastError());
}

TEST_F(FileSystem, DirectoriesAreMadeOnceAndOnlyInsideExistingFolders)
{
    EXPECT_TRUE(CreateDirectoryA("C:\\WINDOWS\\new", nullptr));
    EXPECT_TRUE(winsim::directory_present("c:\\windows\\NEW"));
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(CreateDirectoryA("C:\\WINDOWS\\NEW", nullptr));
    EXPECT_EQ((DWORD)ERROR_ALREADY_EXISTS, GetLastError());
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(CreateDirectoryA("C:\\NOWHERE\\new", nullptr));
    EXPECT_EQ((DWORD)ERROR_PATH_NOT_FOUND, GetLastError());
    EXPECT_EQ(FILE_ATTRIBUTE_DIRECTORY, GetFileAttributesA("C:\\WINDOWS\\new"));
}
