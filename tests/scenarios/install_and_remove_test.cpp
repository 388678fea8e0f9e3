// An installation followed by a removal, on every platform branch: the
// machine ends as it began, but for what the removal leaves by design, and
// nothing foreign is touched on the way.
#include "support/scenario.h"

#include "resources/resource.h"

#include <set>

namespace {

// The names of the files that were added, removed or changed.
std::set<std::string> changed_files(const MachineState &before, const MachineState &after)
{
    std::set<std::string> changed;
    for (const auto &file : before.files) {
        auto now = after.files.find(file.first);
        if (now == after.files.end() || now->second != file.second)
            changed.insert(file.first);
    }
    for (const auto &file : after.files) {
        if (before.files.count(file.first) == 0)
            changed.insert(file.first);
    }
    return changed;
}

// Foreign things that must survive both runs.
void arrange_foreign_objects()
{
    bool family_95 = winsim::machine().version.platform_id == VER_PLATFORM_WIN32_WINDOWS;
    std::string environment = family_95 ? "Windows 4.0" : "Windows NT x86";
    std::string drivers = driver_directory() + "\\";
    winsim::put_file(drivers + "office.dll", "foreign driver");
    winsim::put_file(drivers + "office.hlp", "foreign help");
    winsim::add_printer_driver({environment, "Office Driver", family_95 ? 0u : 2u, "office.dll",
                                "office.dll", "office.dll", "office.hlp", {"office.hlp"}});
    winsim::add_printer({"Office", "LPT1:", "Office Driver"});
    winsim::set_registry_value("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", "Office",
                               REG_SZ, std::string("office.exe") + '\0');
    winsim::put_file(winsim::machine().system_dir + "\\office.exe", "foreign program");
}

void run_installation()
{
    expect_language(IDC_ENGLISH);
    expect_choice(IDC_INSTALL);
    expect_progress();
    expect_result(nullptr);
    expect_reboot();
    EXPECT_EQ(1, run_setup());
}

void run_removal()
{
    expect_language(IDC_ENGLISH);
    expect_choice(IDC_REMOVE);
    expect_progress();
    expect_result(nullptr);
    expect_reboot();
    EXPECT_EQ(1, run_setup());
}

} // namespace

class InstallAndRemove : public MachineTest, public ::testing::WithParamInterface<winsim::Version> {};

TEST_P(InstallAndRemove, LeavesTheMachineAsItWasButForWhatTheRemovalKeeps)
{
    const winsim::Version &version = GetParam();
    boot(winsim::setup_for(version));
    put_distribution();
    arrange_foreign_objects();
    MachineState before = capture();
    std::string system = winsim::machine().system_dir + "\\";
    std::string drivers = driver_directory() + "\\";
    bool family_95 = version.platform_id == VER_PLATFORM_WIN32_WINDOWS;
    bool nt5 = !family_95 && version.major >= 5;

    run_installation();
    reset_setup_state();
    MachineState installed = capture();
    run_removal();
    MachineState after = capture();

    // The foreign printer, driver, program and Run value were there throughout.
    for (const MachineState *state : {&installed, &after}) {
        EXPECT_NE(std::string::npos, state->spooler.find("Office Driver"));
        EXPECT_NE(std::string::npos, state->registry.find("office.exe"));
        EXPECT_EQ("foreign program", state->files.at(system + "office.exe"));
        EXPECT_EQ("foreign help", state->files.at(drivers + "office.hlp"));
    }
    EXPECT_EQ(before.registry, after.registry);

    std::set<std::string> allowed = {system + "rmzantr.exe", system + "zantrel.apd",
                                     winsim::machine().windows_dir + "\\win.ini"};
    if (family_95) {
        allowed.insert(drivers + "unidrv.dll");
        allowed.insert(drivers + "unidrv.hlp");
    } else if (!nt5) {
        for (const char *shared : {"rasdd.dll", "rasddui.dll", "rasddui.hlp"})
            allowed.insert(drivers + shared);
    }
    for (const std::string &file : changed_files(before, after))
        EXPECT_EQ(1u, allowed.count(file)) << file << " changed on " << version.name;

    // The spooler holds what it held, and the port "NUL:" besides.
    std::vector<std::string> ports = before.ports;
    ports.push_back("NUL:");
    EXPECT_EQ(ports, after.ports);
    // Its processors, drivers and printers are those it had.
    EXPECT_EQ(before.spooler, after.spooler);
    EXPECT_NE(before.spooler, installed.spooler);
}

INSTANTIATE_TEST_SUITE_P(EveryBranch, InstallAndRemove,
                         ::testing::Values(winsim::windows_98, winsim::windows_nt_351,
                                           winsim::windows_nt_40, winsim::windows_2000,
                                           winsim::windows_xp),
                         [](const ::testing::TestParamInfo<winsim::Version> &info) {
                             std::string name = info.param.name;
                             std::string clean;
                             for (char c : name) {
                                 if (isalnum((unsigned char)c))
                                     clean += c;
                             }
                             return clean;
                         });
