// The removal: REMOVE in the normal run, the uninstaller run, and the
// removal proper that the installation also runs first.
#include "support/scenario.h"

#include "app/setup_state.h"
#include "catalog/string_table.h"
#include "resources/resource.h"
#include "setup/steps.h"
#include "setup/platform_branch.h"
#include "setup/removal.h"

#include <functional>

namespace {

const char UNINSTALL_KEY_PATH[] = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\zantrel";
const char RUN_KEY_PATH[] = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

class Removal : public MachineTest {
  protected:
    void boot_version(const winsim::Version &version)
    {
        boot(winsim::setup_for(version));
        put_distribution(false);
    }

    int remove_from_normal_run(std::string *result_text, std::function<void()> during = {})
    {
        return run_normal(IDC_REMOVE, result_text, during);
    }

    // The removal proper, on the platform description that the scan or the
    // uninstaller run gives it.
    int remove_described_platform()
    {
        OSVERSIONINFOA version;
        describe_platform(&version);
        return remove_old_installation();
    }

    std::string system(const std::string &name)
    {
        return system_file(name);
    }

    // Nothing that the removal's lists name is left on the machine.
    void expect_product_gone(const char *version_name)
    {
        std::string environment = winsim::machine().version.platform_id == VER_PLATFORM_WIN32_WINDOWS
                                      ? "Windows 4.0"
                                      : "Windows NT x86";
        for (const std::string &processor : winsim::print_processors(environment))
            EXPECT_NE("tqvprint", processor) << version_name;
        for (const winsim::DriverSetup &driver : winsim::printer_drivers(environment))
            EXPECT_EQ(std::string::npos, driver.name.find("Ravelo")) << version_name;
        for (const winsim::PrinterSetup &printer : winsim::printers())
            EXPECT_EQ(std::string::npos, printer.driver.find("Ravelo")) << version_name;
        EXPECT_FALSE(winsim::registry_key_exists(UNINSTALL_KEY_PATH)) << version_name;
        EXPECT_FALSE(winsim::registry_value(RUN_KEY_PATH, "tqvPRINT").has_value()) << version_name;
        for (const char *name : {"faxsrv.exe", "tqvdrv32.dll", "devura.dll", "kxdrvw32.dll"})
            EXPECT_FALSE(winsim::file_present(system(name))) << version_name << " " << name;
        EXPECT_FALSE(winsim::file_present(print_processor_directory() + "\\tqvprint.dll"))
            << version_name;
        for (const char *name : {"ravelo.dll", "ravtlx.dll", "ravelo.drv", "ravtlx.drv"}) {
            EXPECT_FALSE(winsim::file_present(driver_directory() + "\\" + name))
                << version_name << " " << name;
        }
    }
};

} // namespace

TEST_F(Removal, RemoveTakesAwayEverythingOfTheProductOnEveryBranch)
{
    for (const winsim::Version &version :
         {winsim::windows_98, winsim::windows_nt_351, winsim::windows_nt_40, winsim::windows_2000,
          winsim::windows_xp}) {
        boot_version(version);
        reset_setup_state();
        arrange_installed_product("eng");
        winsim::add_printer_driver({version.platform_id == VER_PLATFORM_WIN32_WINDOWS ? "Windows 4.0"
                                                                                     : "Windows NT x86",
                                    "Foreign Driver", 2, "foreign.dll", "foreign.dll", "foreign.dll"});
        winsim::add_printer({"Office", "LPT1:", "Foreign Driver"});
        winsim::set_registry_value(RUN_KEY_PATH, "Other", REG_SZ, std::string("other.exe") + '\0');
        std::string result_text;

        EXPECT_EQ(1, remove_from_normal_run(&result_text)) << version.name;

        expect_product_gone(version.name);
        EXPECT_EQ(0u, result_text.find("LUMETRA MAPI connector\r\n\r\nhas been removed"))
            << version.name << ": " << result_text;
        // Foreign things stay.
        ASSERT_EQ(1u, winsim::printers().size()) << version.name;
        EXPECT_EQ("Office", winsim::printers()[0].name);
        EXPECT_TRUE(winsim::registry_value(RUN_KEY_PATH, "Other").has_value()) << version.name;
        // The normal run's removal leaves the running program's copies.
        EXPECT_TRUE(winsim::file_present(system("rmzantr.exe"))) << version.name;
        if (version.platform_id == VER_PLATFORM_WIN32_NT) {
            EXPECT_EQ((DWORD)SERVICE_RUNNING, winsim::service_state("Spooler")) << version.name;
        }
        EXPECT_TRUE(winsim::script_failures().empty()) << version.name;
        // From Windows 2000 on the drivers go with their files no other driver uses.
        std::vector<std::string> with_files;
        if (version.platform_id == VER_PLATFORM_WIN32_NT && version.major >= 5)
            with_files = {"NULL, NULL, \"Ravelo Printer Driver\", 0x1, 0",
                          "NULL, NULL, \"Ravelo Telex Driver\", 0x1, 0"};
        EXPECT_EQ(with_files, call_arguments("DeletePrinterDriverExA")) << version.name;
    }
}

// The removal and the driver step take their lists from the platform
// description; called before anything described the platform, they refuse
// instead of guessing.
TEST_F(Removal, WithoutAPlatformDescriptionNothingIsTakenAwayOrAdded)
{
    boot_version(winsim::windows_xp);
    arrange_installed_product("eng");
    size_t printers = winsim::printers().size();

    EXPECT_EQ(0, remove_old_installation());
    EXPECT_EQ((DWORD)ERROR_NOT_SUPPORTED, last_error);
    last_error = 0;
    EXPECT_EQ(0, install_driver_step());
    EXPECT_EQ((DWORD)ERROR_NOT_SUPPORTED, last_error);

    EXPECT_TRUE(winsim::registry_key_exists(UNINSTALL_KEY_PATH));
    EXPECT_TRUE(winsim::file_present(system("faxsrv.exe")));
    EXPECT_EQ(printers, winsim::printers().size());
    EXPECT_EQ(0, winsim::call_count("DeletePrinterDriverExA"));
    EXPECT_EQ(0, winsim::call_count("AddPrintProcessorA"));
}

TEST_F(Removal, ACleanMachineIsRemovedQuietlyWithSuccess)
{
    winsim::put_file(system("faxsrv.exe"), "left over");
    winsim::set_registry_value(UNINSTALL_KEY_PATH, "DisplayName", REG_SZ, std::string("x") + '\0');

    EXPECT_EQ(1, remove_described_platform());

    EXPECT_FALSE(winsim::file_present(system("faxsrv.exe")));
    EXPECT_FALSE(winsim::registry_key_exists(UNINSTALL_KEY_PATH));
    EXPECT_EQ(winsim::machine().system_dir, system_dir);
    EXPECT_EQ(0, winsim::call_count("DeletePrinter"));
    EXPECT_EQ(0, winsim::call_count("DeletePrinterDriverA"));
}

TEST_F(Removal, TheFaxServerIsToldToCloseBeforeAnythingElse)
{
    HWND server = winsim::open_window("FaxSrvClass", "", winsim::ClosesOn::system_close_command);
    progress_dialog = nullptr;

    EXPECT_EQ(1, remove_described_platform());

    std::vector<winsim::CallRecord> calls = winsim::journal();
    auto first_registry = std::find_if(calls.begin(), calls.end(), [](const winsim::CallRecord &c) {
        return c.function.rfind("Reg", 0) == 0;
    });
    auto post = std::find_if(calls.begin(), calls.end(), [](const winsim::CallRecord &c) {
        return c.function == "PostMessageA";
    });
    ASSERT_NE(calls.end(), post);
    EXPECT_LT(post - calls.begin(), first_registry - calls.begin());
    ASSERT_EQ(1u, winsim::window_messages(server).size());
    EXPECT_EQ((UINT)WM_SYSCOMMAND, winsim::window_messages(server)[0].message);
    EXPECT_EQ((WPARAM)SC_CLOSE, winsim::window_messages(server)[0].w);
    EXPECT_TRUE(winsim::window_messages(server)[0].posted);
}

TEST_F(Removal, DriverNamesThatDifferInCaseAreNotTheProducts)
{
    winsim::add_printer_driver({"Windows NT x86", "ravelo printer driver", 3, "unidrv.dll",
                                "x.gpd", "unidrvui.dll"});
    winsim::add_printer({"Look-alike", "LPT1:", "ravelo printer driver"});

    EXPECT_EQ(1, remove_described_platform());

    EXPECT_EQ(1u, winsim::printers().size());
    EXPECT_EQ(1u, winsim::printer_drivers("Windows NT x86").size());
}

TEST_F(Removal, TheEarlierBitmapDriversFilesAloneGoWithIt)
{
    boot_version(winsim::windows_nt_40);
    reset_setup_state();
    std::string drivers = driver_directory() + "\\";
    for (const char *name : {"ravelopd.dll", "ravtlx95.dll", "ravelo.dll"})
        winsim::put_file(drivers + name, name);
    winsim::put_file(system("faxsrv.exe"), "server");
    winsim::put_file(print_processor_directory() + "\\tqvprint.dll", "processor");
    winsim::add_printer_driver({"Windows NT x86", "RAR Ozedur Ureder", 2, "rasdd.dll", "ravelopd.dll",
                                "rasddui.dll"});
    winsim::add_printer({"Old fax", "LPT1:", "RAR Ozedur Ureder"});

    EXPECT_EQ(1, remove_described_platform());

    EXPECT_FALSE(winsim::file_present(drivers + "ravelopd.dll"));
    EXPECT_FALSE(winsim::file_present(drivers + "ravtlx95.dll"));
    EXPECT_TRUE(winsim::file_present(drivers + "ravelo.dll"));
    EXPECT_TRUE(winsim::file_present(system("faxsrv.exe")));
    EXPECT_TRUE(winsim::file_present(print_processor_directory() + "\\tqvprint.dll"));
    EXPECT_TRUE(winsim::printers().empty());
}

TEST_F(Removal, ARefusedDeletionFailsTheRemovalAndAsksTheUser)
{
    boot_version(winsim::windows_xp);
    arrange_installed_product("eng");
    winsim::fail_call("DeletePrintProcessorA", 1, ERROR_ACCESS_DENIED);
    std::vector<winsim::MessageBoxSeen> boxes;
    std::string result_text;

    EXPECT_EQ(0, remove_from_normal_run(&result_text, [&boxes] {
        winsim::expect_message_box([&boxes](const winsim::MessageBoxSeen &box) {
            boxes.push_back(box);
            return IDABORT;
        });
    }));

    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ("The earlier installation could not be removed.\r\n" + system_text(ERROR_ACCESS_DENIED),
              boxes[0].text);
    EXPECT_EQ(0u, result_text.find("The Ravelo printer drivers could not be removed completely."))
        << result_text;
    // The refusal went to the choice dialog's report, closed by then.
    const std::string line = std::to_string(IDC_REPORT) + ", \"DeletePrintProcessor() tqvprint failed.\r\n\"";
    std::vector<std::string> texts = call_arguments("SetDlgItemTextA");
    EXPECT_EQ(1, std::count_if(texts.begin(), texts.end(), [&line](const std::string &text) {
                  return text.size() >= line.size() &&
                         text.compare(text.size() - line.size(), line.size(), line) == 0;
              }));
    // The removal stopped at the print processor: the entry and files stay,
    // and the spooler runs.
    EXPECT_TRUE(winsim::registry_key_exists(UNINSTALL_KEY_PATH));
    EXPECT_TRUE(winsim::file_present(system("faxsrv.exe")));
    EXPECT_EQ((DWORD)SERVICE_RUNNING, winsim::service_state("Spooler"));
}

TEST_F(Removal, APrinterThatCannotBeOpenedCountsAsGoneOneThatCannotBeDeletedEndsTheRemoval)
{
    struct {
        const char *function;
        std::vector<std::string> printers_left;
        int driver_deletions;
    } cases[] = {
        // The other printer goes; the driver the first one uses cannot.
        {"OpenPrinterA", {"Ravelo Printer Driver"}, 1},
        {"DeletePrinter", {"Ravelo Printer Driver", "Ravelo Telex Driver"}, 0},
    };
    for (const auto &c : cases) {
        boot_version(winsim::windows_xp);
        reset_setup_state();
        arrange_installed_product("eng");
        winsim::fail_call(c.function, 1, ERROR_ACCESS_DENIED);

        EXPECT_EQ(0, remove_described_platform()) << c.function;

        std::vector<std::string> left;
        for (const winsim::PrinterSetup &printer : winsim::printers())
            left.push_back(printer.name);
        EXPECT_EQ(c.printers_left, left) << c.function;
        EXPECT_EQ(c.driver_deletions, winsim::call_count("DeletePrinterDriverExA")) << c.function;
        EXPECT_TRUE(winsim::registry_key_exists(UNINSTALL_KEY_PATH)) << c.function;
    }
}

TEST_F(Removal, RetryRunsTheRemovalAgain)
{
    boot_version(winsim::windows_nt_40);
    arrange_installed_product("eng");
    winsim::fail_call("DeletePrinterDriverA", 1, ERROR_PRINTER_DRIVER_IN_USE);
    std::string result_text;

    EXPECT_EQ(1, remove_from_normal_run(&result_text, [] {
        winsim::expect_message_box([](const winsim::MessageBoxSeen &) { return IDRETRY; });
    }));

    expect_product_gone("NT 4 after Retry");
    EXPECT_EQ(0u, result_text.find("LUMETRA MAPI connector"));
}

TEST_F(Removal, MoreProductPrintersThanTheFirstBufferHoldsAreAllRemoved)
{
    boot_version(winsim::windows_2000);
    arrange_installed_product("eng");
    for (int i = 0; i < 250; i++)
        winsim::add_printer({"Fax line " + std::to_string(i), "NUL:", "Ravelo Printer Driver", "tqvprint"});
    std::string result_text;

    EXPECT_EQ(1, remove_from_normal_run(&result_text));

    expect_product_gone("2000 with 250 fax printers");
}

TEST_F(Removal, ASpoolerLibraryWithoutTheDeleteCallIsReportedPerDriverAndPassedOver)
{
    boot_version(winsim::windows_xp);
    arrange_installed_product("eng");
    winsim::remove_export("WINSPOOL.DRV", "DeletePrinterDriverExA");
    answer_error_boxes(IDIGNORE);
    std::string result_text;

    EXPECT_EQ(1, remove_from_normal_run(&result_text));

    std::vector<winsim::MessageBoxSeen> boxes = winsim::message_boxes_shown();
    ASSERT_EQ(2u, boxes.size());
    for (const winsim::MessageBoxSeen &box : boxes)
        EXPECT_EQ("A function of the print spooler library could not be found.\r\n" +
                      system_text(ERROR_PROC_NOT_FOUND),
                  box.text);
    // The removal went on as if the drivers were gone.
    EXPECT_FALSE(winsim::registry_key_exists(UNINSTALL_KEY_PATH));
    EXPECT_EQ(0u, result_text.find("LUMETRA MAPI connector"));
    EXPECT_EQ(0, winsim::loaded_library_count());
}

TEST_F(Removal, ASpoolerThatDoesNotStartAgainIsAskedAboutOnceAndGivingUpFailsTheRemoval)
{
    const std::string start_box = "The print spooler could not be started.\r\n" +
                                  system_text(ERROR_SERVICE_REQUEST_TIMEOUT);
    for (int answer : {IDRETRY, IDIGNORE, IDABORT}) {
        boot_version(winsim::windows_xp);
        reset_setup_state();
        arrange_installed_product("eng");
        winsim::add_service({"Fax", {"Spooler"}});
        // The removal's restart: the spooler's start, then the one of "Fax".
        winsim::fail_call("StartServiceA", 2, ERROR_SERVICE_REQUEST_TIMEOUT);
        std::vector<std::string> boxes;
        std::string result_text;
        answer_error_boxes(answer);

        int exit_code = remove_from_normal_run(&result_text);

        expect_product_gone("XP");
        for (const winsim::MessageBoxSeen &box : winsim::message_boxes_shown())
            boxes.push_back(box.text);
        // One failure, one question: the start's, not the removal's after it.
        EXPECT_EQ(std::vector<std::string>{start_box}, boxes) << answer;
        if (answer == IDRETRY) {
            // Only the start is tried again, and the removal succeeds.
            EXPECT_EQ(1, exit_code);
            EXPECT_EQ((DWORD)SERVICE_RUNNING, winsim::service_state("Fax"));
            EXPECT_EQ(0u, result_text.find("LUMETRA MAPI connector"));
        } else {
            EXPECT_EQ(0, exit_code) << answer;
            EXPECT_EQ((DWORD)SERVICE_STOPPED, winsim::service_state("Fax"));
            EXPECT_EQ(0u, result_text.find("The Ravelo printer drivers could not be removed"))
                << result_text;
        }
        EXPECT_EQ((DWORD)SERVICE_RUNNING, winsim::service_state("Spooler"));
    }
}

TEST_F(Removal, AbortWhenTheSpoolerLibraryCannotBeLoadedKeepsTheDriverAndFailsTheRemoval)
{
    boot_version(winsim::windows_xp);
    arrange_installed_product("eng");
    winsim::fail_call("LoadLibraryA", 1, ERROR_NOT_ENOUGH_MEMORY);
    std::vector<std::string> boxes;
    std::string result_text;

    EXPECT_EQ(0, remove_from_normal_run(&result_text, [&boxes] {
        for (int i = 0; i < 2; i++) {
            winsim::expect_message_box([&boxes](const winsim::MessageBoxSeen &box) {
                boxes.push_back(box.text);
                return IDABORT;
            });
        }
    }));

    EXPECT_EQ((std::vector<std::string>{
                  "The print spooler library (WINSPOOL.DRV) could not be loaded.\r\n" +
                      system_text(ERROR_NOT_ENOUGH_MEMORY),
                  "The earlier installation could not be removed.\r\n" +
                      system_text(ERROR_NOT_ENOUGH_MEMORY)}),
              boxes);
    EXPECT_EQ(0u, result_text.find("The Ravelo printer drivers could not be removed completely."))
        << result_text;
    // The removal stopped at the first driver.
    EXPECT_EQ(2u, winsim::printer_drivers("Windows NT x86").size());
    EXPECT_EQ(1, winsim::call_count("LoadLibraryA"));
    EXPECT_TRUE(winsim::registry_key_exists(UNINSTALL_KEY_PATH));
    EXPECT_EQ(0, winsim::loaded_library_count());
}

TEST_F(Removal, ALibraryPromptThatCannotBeShownKeepsTheDriverAndFailsTheRemoval)
{
    boot_version(winsim::windows_xp);
    arrange_installed_product("eng");
    winsim::fail_call("LoadLibraryA", 1, ERROR_NOT_ENOUGH_MEMORY);
    // Its prompt, the first box of the run, cannot be shown.
    winsim::fail_call("MessageBoxA", 1, ERROR_NOT_ENOUGH_MEMORY);
    std::vector<std::string> boxes;
    std::string result_text;

    EXPECT_EQ(0, remove_from_normal_run(&result_text, one_box(IDABORT, &boxes)));

    EXPECT_EQ(std::vector<std::string>{"The earlier installation could not be removed.\r\n" +
                                       system_text(ERROR_NOT_ENOUGH_MEMORY)},
              boxes);
    EXPECT_EQ(2u, winsim::printer_drivers("Windows NT x86").size());
    EXPECT_TRUE(winsim::registry_key_exists(UNINSTALL_KEY_PATH));
    EXPECT_EQ(0u, result_text.find("The Ravelo printer drivers could not be removed completely."))
        << result_text;
}

TEST_F(Removal, FilesOfADirectoryThatCannotBeReadStayWithTheEntryAndFailTheRemoval)
{
    boot_version(winsim::windows_xp);
    arrange_installed_product("eng");
    std::string processor_file = print_processor_directory() + "\\tqvprint.dll";
    // A file of that name in the root of the current drive is not the product's.
    winsim::put_file("D:\\tqvprint.dll", "someone else's");
    winsim::fail_call("GetPrintProcessorDirectoryA",
                      winsim::call_count("GetPrintProcessorDirectoryA") + 1, RPC_S_SERVER_UNAVAILABLE);
    last_error = 0;

    EXPECT_EQ(0, remove_described_platform());

    EXPECT_EQ((DWORD)RPC_S_SERVER_UNAVAILABLE, last_error);
    EXPECT_TRUE(winsim::file_present("D:\\tqvprint.dll"));
    EXPECT_TRUE(winsim::file_present(processor_file));
    // What the other directories hold goes; the entry stays for a new try.
    EXPECT_FALSE(winsim::file_present(system("faxsrv.exe")));
    EXPECT_TRUE(winsim::registry_key_exists(UNINSTALL_KEY_PATH));
    EXPECT_EQ((DWORD)SERVICE_RUNNING, winsim::service_state("Spooler"));
    // The failure is the removal's to tell: no box of its own here.
    EXPECT_TRUE(winsim::message_boxes_shown().empty());
    EXPECT_TRUE(winsim::script_failures().empty());
}

TEST_F(Removal, TheUninstallerSpeaksTheInstalledLanguageWithTheNameFilledIn)
{
    winsim::MachineSetup setup = winsim::setup_for(winsim::windows_nt_40);
    setup.module_file_name = setup.system_dir + "\\rmzantr.exe";
    boot(setup);
    arrange_installed_product("fre");
    winsim::fail_call("DeletePrinter", 1, ERROR_ACCESS_DENIED);
    expect_progress();
    winsim::expect_message_box([](const winsim::MessageBoxSeen &) { return IDIGNORE; });

    EXPECT_EQ(0, run_setup());

    std::vector<std::string> statuses = status_history();
    ASSERT_FALSE(statuses.empty());
    EXPECT_EQ(lookup_text("SetupInit", nullptr), statuses.front());
    EXPECT_NE(std::string::npos, statuses.back().find("Les pilotes d'imprimante Ravelo"))
        << statuses.back();
}

TEST_F(Removal, WithoutTheInstalledMessageFileEveryTextIsItsKey)
{
    winsim::MachineSetup setup = winsim::setup_for(winsim::windows_xp);
    setup.module_file_name = setup.system_dir + "\\rmzantr.exe";
    boot(setup);
    expect_progress();

    EXPECT_EQ(0, run_setup());

    std::vector<std::string> statuses = status_history();
    ASSERT_GE(statuses.size(), 3u);
    EXPECT_EQ("SetupInit", statuses[0]);
    EXPECT_EQ("SetupRemoveOld", statuses[1]);
    EXPECT_EQ("RemoveOk", statuses.back());
}
