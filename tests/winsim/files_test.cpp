// The simulated file system's names, paths and folders as Windows' ANSI
// file calls take them; copies, attributes, missing files and temporary
// names are checked against Windows by the conformance suite.
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
