// Deleting and copying single files, and the settings copy that fills in
// the product's short name.
#include "support/machine_fixture.h"

#include "app/setup_state.h"
#include "system/files.h"

namespace {

const char SYSTEM[] = "C:\\WINDOWS\\system32";

class Files : public MachineTest {
  protected:
    std::vector<std::string> statuses;
    static Files *current;
    static void record_status(const char *text)
    {
        current->statuses.push_back(text);
    }
    void SetUp() override
    {
        MachineTest::SetUp();
        current = this;
    }
};
Files *Files::current;

} // namespace

TEST_F(Files, DeleteFileRemovesReadOnlyFilesAndIgnoresMissingOnes)
{
    winsim::put_file("C:\\WINDOWS\\system32\\faxsrv.exe", "x");
    SetFileAttributesA("C:\\WINDOWS\\system32\\faxsrv.exe", FILE_ATTRIBUTE_READONLY);

    EXPECT_EQ(0, delete_file("C:\\WINDOWS\\system32\\faxsrv.exe"));
    EXPECT_FALSE(winsim::file_present("C:\\WINDOWS\\system32\\faxsrv.exe"));
    last_error = 0;
    EXPECT_EQ(-1, delete_file("C:\\WINDOWS\\system32\\faxsrv.exe"));
    EXPECT_EQ(0u, last_error) << "nothing is captured";
}

TEST_F(Files, CopyFileReplacesAReadOnlyCopyAndShowsWhatItCopies)
{
    winsim::put_file("D:\\setup.exe", "new program");
    winsim::put_file("C:\\WINDOWS\\system32\\rmzantr.exe", "old program");
    SetFileAttributesA("C:\\WINDOWS\\system32\\rmzantr.exe", FILE_ATTRIBUTE_READONLY);
    status_callback = record_status;

    EXPECT_EQ(1, copy_file("D:", "setup.exe", SYSTEM, "rmzantr.exe"));

    EXPECT_EQ("new program", winsim::file_bytes("C:\\WINDOWS\\system32\\rmzantr.exe"));
    EXPECT_EQ(FILE_ATTRIBUTE_NORMAL, GetFileAttributesA("C:\\WINDOWS\\system32\\rmzantr.exe"));
    EXPECT_EQ(std::vector<std::string>{"Copy setup.exe ..."}, statuses);
}

TEST_F(Files, CopyFileKeepsTheNameWithoutANewOneAndShowsNothingWithoutACallback)
{
    winsim::put_file("D:\\lang.eng", "x");

    EXPECT_EQ(1, copy_file("D:", "lang.eng", SYSTEM, nullptr));

    EXPECT_TRUE(winsim::file_present("C:\\WINDOWS\\system32\\lang.eng"));
    EXPECT_TRUE(statuses.empty());
}

TEST_F(Files, AFailedCopyCapturesTheError)
{
    last_error = 0;
    EXPECT_EQ(0, copy_file("D:", "setup.exe", SYSTEM, "rmzantr.exe"));
    EXPECT_EQ((DWORD)ERROR_FILE_NOT_FOUND, last_error);
    EXPECT_FALSE(winsim::file_present("C:\\WINDOWS\\system32\\rmzantr.exe"));
}

TEST_F(Files, SettingsCopyFillsInTheShortNameLineByLine)
{
    product_short_name = "Ravelo";
    struct {
        std::string source;
        std::string copy;
    } cases[] = {
        {"RemoveFailed: @ Setup\n", "RemoveFailed: Ravelo Setup\r\n"},
        {"@@\n", "RaveloRavelo\r\n"},
        {"no placeholder\r\nsecond\n", "no placeholder\r\nsecond\r\n"},
        {"", ""},
        {"last line without end @", "last line without end Ravelo"},
    };
    for (const auto &c : cases) {
        winsim::put_file("D:\\lang.eng", c.source);
        ASSERT_EQ(1, copy_with_substitution("D:", "lang.eng", SYSTEM, "zantrel.apd")) << c.source;
        EXPECT_EQ(c.copy, winsim::file_bytes("C:\\WINDOWS\\system32\\zantrel.apd")) << c.source;
    }
    EXPECT_EQ(0, winsim::open_stream_count());
}

TEST_F(Files, SettingsCopyNeverOverflowsWhateverTheLineAndTheName)
{
    // 5000 "@" on one line, each becoming a 300-byte name.
    std::string long_name(300, 'N');
    product_short_name = long_name.c_str();
    winsim::put_file("D:\\lang.eng", std::string(5000, '@') + "\nend\n");

    ASSERT_EQ(1, copy_with_substitution("D:", "lang.eng", SYSTEM, "zantrel.apd"));

    std::string expected;
    for (int i = 0; i < 5000; i++)
        expected += long_name;
    expected += "\r\nend\r\n";
    EXPECT_EQ(expected, winsim::file_bytes("C:\\WINDOWS\\system32\\zantrel.apd"));
}

TEST_F(Files, SettingsCopyFromAMissingSourceCreatesNothing)
{
    last_error = 0;

    EXPECT_EQ(0, copy_with_substitution("D:", "lang.fre", SYSTEM, "zantrel.apd"));

    EXPECT_EQ((DWORD)ERROR_FILE_NOT_FOUND, last_error);
    EXPECT_FALSE(winsim::file_present("C:\\WINDOWS\\system32\\zantrel.apd"));
}

TEST_F(Files, SettingsCopyOnAFullDiskFailsAndLeavesNoCutCopy)
{
    // The stream reaches the disk in 4096-byte pieces: a long file fails
    // while it is copied (fwrite), a short one when it is closed (fclose).
    product_short_name = "Ravelo";
    std::string long_file;
    for (int i = 0; i < 200; i++)
        long_file += "SetupOk: @ has been installed.\n";
    for (const std::string &source : {long_file, std::string("RemoveOk: @\n")}) {
        winsim::put_file("D:\\lang.eng", source);
        winsim::put_file("C:\\WINDOWS\\system32\\zantrel.apd", "an earlier copy");
        winsim::fail_call("WriteFile", winsim::call_count("WriteFile") + 1, ERROR_DISK_FULL);
        last_error = 0;

        EXPECT_EQ(0, copy_with_substitution("D:", "lang.eng", SYSTEM, "zantrel.apd")) << source.size();

        EXPECT_EQ((DWORD)ERROR_DISK_FULL, last_error) << source.size();
        EXPECT_FALSE(winsim::file_present("C:\\WINDOWS\\system32\\zantrel.apd")) << source.size();
        EXPECT_EQ(0, winsim::open_stream_count());
    }
}

TEST_F(Files, SettingsCopyOverAReadOnlyCopyLeavesANormalFile)
{
    product_short_name = "Sorvik";
    winsim::put_file("D:\\lang.ger", "RemoveOk: @\n");
    winsim::put_file("C:\\WINDOWS\\system32\\zantrel.apd", "old");
    SetFileAttributesA("C:\\WINDOWS\\system32\\zantrel.apd", FILE_ATTRIBUTE_READONLY);

    EXPECT_EQ(1, copy_with_substitution("D:", "lang.ger", SYSTEM, "zantrel.apd"));

    EXPECT_EQ("RemoveOk: Sorvik\r\n", winsim::file_bytes("C:\\WINDOWS\\system32\\zantrel.apd"));
    EXPECT_EQ(FILE_ATTRIBUTE_NORMAL, GetFileAttributesA("C:\\WINDOWS\\system32\\zantrel.apd"));
}
