// setupcheck inf and dist: the INF the setup writes for a platform folder
// and language, and a distribution folder checked against it.
#include "support/machine_fixture.h"

#include "app/setup_state.h"
#include "checker/distribution_check.h"
#include "run_checker.h"
#include "setup/inf_writer.h"
#include "setup/platform_branch.h"

#include <set>

namespace
{

std::string crlf_lines(std::initializer_list<const char *> lines)
{
    std::string text;
    for (const char *line : lines)
        text += std::string(line) + "\r\n";
    return text;
}

TEST(InfCommand, PrintsTheBytesTheSetupWrites)
{
    CheckerRun run = run_checker({"inf", "--platform", "95", "--lang", "ger"});
    EXPECT_EQ(EXIT_CLEAN, run.exit_code);
    EXPECT_EQ(crlf_lines({"[Version]",
                          "Signature=$Windows 95$",
                          "Provider=Norvane",
                          "[Install_Printer]",
                          "CopyFiles=Printer_Files, PrintProc_Files, Driver_Files",
                          "[DestinationDirs]",
                          "Printer_Files=78000",
                          "PrintProc_Files=78001",
                          "Driver_Files=78002",
                          "[Printer_Files]",
                          "kxdrvw32.dll,,0x4",
                          "devura.dll,,0x4",
                          "[PrintProc_Files]",
                          "tqvprint.dll,,0x4",
                          "[Driver_Files]",
                          "unidrv.dll",
                          "unidrv.hlp",
                          "ravelo.drv",
                          "ravtlx.drv",
                          "[SourceDisksNames]",
                          "1=\"Ravelo Printer Driver Setup Disk\"",
                          "[SourceDisksFiles]",
                          "tqvprint.dll=1,95",
                          "devura.dll=1,95",
                          "kxdrvw32.dll=1,95",
                          "ravelo.drv=1,95",
                          "ravtlx.drv=1,95",
                          "unidrv.dll=1,95\\ger",
                          "unidrv.hlp=1,95\\ger"}),
              run.out);

    // NT 3.51 and NT 4 share a branch: only the folder differs.
    std::string nt_40 = run_checker({"inf", "--lang", "eng", "--platform", "nt_40"}).out;
    std::string nt_351 = run_checker({"inf", "--lang", "eng", "--platform", "nt_351"}).out;
    for (size_t at; (at = nt_40.find("nt_40")) != std::string::npos;)
        nt_40.replace(at, 5, "nt_351");
    EXPECT_EQ(nt_40, nt_351);
    EXPECT_NE(std::string::npos, nt_351.find("rasdd.dll=1,nt_351\\eng\r\n"));

    CheckerRun unknown = run_checker({"inf", "--platform", "NT4", "--lang", "eng"});
    EXPECT_EQ(EXIT_USAGE, unknown.exit_code);
    EXPECT_EQ("setupcheck: --platform takes a platform folder\n"
              "usage: setupcheck lang FILE...\n"
              "       setupcheck dist DIR\n"
              "       setupcheck inf --platform FOLDER --lang ger|eng|fre\n"
              "FOLDER is one of the distribution's platform folders: 95 nt_351 nt_40 W2K\n",
              unknown.err);
    EXPECT_EQ(EXIT_USAGE, run_checker({"inf", "--platform", "W2K", "--lang", "deu"}).exit_code);
    EXPECT_EQ(EXIT_USAGE, run_checker({"inf", "--platform", "W2K", "--lang"}).exit_code);
}

TEST(InfCommand, SourceFilesAreReadFromTheirSection)
{
    std::vector<SourceEntry> sources =
        source_disk_files("[SourceDisksNames]\r\n1=\"Disk\"\r\n[sourcedisksfiles]\r\n; note\r\n"
                          " a.dll = 1 , 95\\ger \r\nb.dll=1,W2K\r\n[Other]\r\nc.dll=1,95\r\n");
    ASSERT_EQ(2u, sources.size());
    EXPECT_EQ("a.dll", sources[0].name);
    EXPECT_EQ("95\\ger", sources[0].subdir);
    EXPECT_EQ("b.dll", sources[1].name);
    EXPECT_EQ("W2K", sources[1].subdir);
}

// Each platform folder is the one describe_platform names on the Windows
// versions of its branch, so the checker's table cannot drift from the setup.
class PlatformFolders : public MachineTest
{
};

TEST_F(PlatformFolders, AreThoseTheSetupPicksOnEachWindows)
{
    std::set<std::string> seen;
    for (const winsim::Version &version : winsim::all_versions()) {
        boot(winsim::setup_for(version));
        OSVERSIONINFOA info;
        platform_tag[0] = '\0';
        if (describe_platform(&info) != PLATFORM_SUPPORTED)
            continue;
        EXPECT_EQ(platform_branch, branch_of_folder(platform_tag)) << version.name;
        seen.insert(platform_tag);
    }
    EXPECT_EQ((std::set<std::string>{"95", "W2K", "nt_351", "nt_40"}), seen);
}

class DistCommand : public ::testing::Test
{
  protected:
    // The folder as the INFs want it: setup.exe, the shipped language files
    // and every source file.
    void SetUp() override
    {
        folder.put("setup.exe", "MZ");
        for (const char *language : LANGUAGES) {
            std::ifstream in(std::string(std::getenv("SETUP_SOURCE_DIR")) + "/resources/lang." +
                                 language,
                             std::ios::binary);
            std::stringstream bytes;
            bytes << in.rdbuf();
            folder.put(std::string("lang.") + language, bytes.str());
            for (const PlatformFolder &platform : PLATFORM_FOLDERS) {
                std::string inf;
                ASSERT_TRUE(inf_text(platform.tag, language, &inf));
                for (const SourceEntry &source : source_disk_files(inf)) {
                    std::string subdir = source.subdir;
                    for (char &c : subdir)
                        c = c == '\\' ? '/' : c;
                    folder.put(subdir + "/" + source.name, "payload");
                }
            }
        }
    }

    std::string path(const std::string &name) const
    {
        return folder.path + "/" + name;
    }

    HostFolder folder;
};

TEST_F(DistCommand, ACompleteFolderIsClean)
{
    // Windows finds a file whatever the case of its name.
    std::filesystem::rename(path("95/ger"), path("95/GER"));
    std::filesystem::rename(path("95/GER/unidrv.dll"), path("95/GER/UNIDRV.DLL"));

    CheckerRun run = run_checker({"dist", folder.path});
    EXPECT_EQ(EXIT_CLEAN, run.exit_code);
    EXPECT_EQ("", run.out);
}

TEST_F(DistCommand, AMissingFileIsReportedOnceWithItsPath)
{
    std::filesystem::remove(path("nt_40/fre/rasdd.dll"));
    std::filesystem::remove(path("W2K/faxsrv.exe"));

    CheckerRun run = run_checker({"dist", folder.path});
    EXPECT_EQ(EXIT_FAULTS, run.exit_code);
    EXPECT_EQ(path("nt_40/fre/rasdd.dll") +
                  ": error: missing: the INF for nt_40 in fre copies it from there "
                  "(\"rasdd.dll=1,nt_40\\fre\")\n" +
                  path("W2K/faxsrv.exe") +
                  ": error: missing: the INF for W2K in ger copies it from there "
                  "(\"faxsrv.exe=1,W2K\")\n",
              run.out);
}

TEST_F(DistCommand, TheSetupAndItsLanguageFilesMustBeThereAndClean)
{
    std::filesystem::remove(path("setup.exe"));
    std::filesystem::remove(path("lang.fre"));
    folder.put("lang.ger", "; nothing\r\n");

    CheckerRun run = run_checker({"dist", folder.path});
    EXPECT_EQ(EXIT_FAULTS, run.exit_code);
    EXPECT_EQ(0u, run.out.find(path("setup.exe") + ": error: missing\n" + path("lang.ger") +
                               ":1: error: \"SetupInit\" is missing"))
        << run.out;
    EXPECT_NE(std::string::npos, run.out.find(path("lang.fre") + ": error: missing\n"));
    EXPECT_EQ(EXIT_USAGE, run_checker({"dist"}).exit_code);
}

} // namespace
