// Every call a whole run makes, made to fail in turn: the run still ends,
// brings back the services it stopped, leaves foreign things alone, cleans
// up after itself and does not call a failed run a success.
//
// A scenario is run once without faults; each call of that run (function
// and occurrence) is then made to fail from a fresh boot, with the error
// Windows gives for that function, once for every way the user answers the
// Abort/Retry/Ignore boxes: Abort, Ignore, Retry once and then Abort. A run
// that asks no box is not repeated for the other answers: it would be the
// same run. Every start of a service is swept once more as a start that
// is accepted and that the service then fails; and on the NT family each
// service that needs the spooler is, in turn, disabled or deleted while it
// runs, so that it cannot come back. Each function is also made to fail
// for good, from its first call in each step (a new status line begins
// one): retries, repeated spooler starts and later steps meet the same
// failure; the boxes are answered Retry twice and then Abort, or Retry
// once and then Ignore. The machine starts from an earlier installation
// of the package beside foreign printers, drivers, files, registry values
// and services. The quiet runs (/Q with a log) ask no one: each fault is
// run once per mode, and they must show no window and end with a code of
// the table, which their log's last line names.
#include "sweep/run_checks.h"

#include "app/entry_point.h"
#include "app/exit_codes.h"
#include "resources/resource.h"

#include <winspool.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/common_interface_defs.h>
#define SWEEP_WITH_SANITIZER 1
#else
#define SWEEP_WITH_SANITIZER 0
#endif

namespace {

struct Scenario {
    const char *name;
    winsim::Version version;
    RunKind kind;
    const char *switches = nullptr; // a quiet run's command line
};

const char QUIET_LOG[] = "C:\\setup.log";

const Scenario SCENARIOS[] = {
    {"Install98", winsim::windows_98, RunKind::install},
    {"InstallNT351", winsim::windows_nt_351, RunKind::install},
    {"InstallNT4", winsim::windows_nt_40, RunKind::install},
    {"Install2000", winsim::windows_2000, RunKind::install},
    {"InstallXP", winsim::windows_xp, RunKind::install},
    {"RemoveXP", winsim::windows_xp, RunKind::remove},
    {"UninstallerNT4", winsim::windows_nt_40, RunKind::uninstall},
    {"Uninstaller98", winsim::windows_98, RunKind::uninstall},
    {"QuietInstallXP", winsim::windows_xp, RunKind::install, "/INSTALL /Q /LANG=eng /LOG=C:\\setup.log"},
    {"QuietUninstallerXP", winsim::windows_xp, RunKind::uninstall, "/Q /LOG=C:\\setup.log"},
};

// ---- Which error a swept call fails with.

// The error each function gives when it fails on Windows. The registry
// functions return it as their status (winsim does the same with an armed
// fault); the C runtime's calls set errno from it as the runtime does.
const std::map<std::string, DWORD> &sweep_errors()
{
    static const std::map<std::string, DWORD> errors = {
        {"AddPrintProcessorA", ERROR_ACCESS_DENIED},
        {"AddPrinterA", ERROR_ACCESS_DENIED},
        {"AddPrinterDriverA", ERROR_ACCESS_DENIED},
        {"ControlService", ERROR_SERVICE_CANNOT_ACCEPT_CTRL},
        {"CopyFileA", ERROR_SHARING_VIOLATION},
        {"CreateMutexA", ERROR_ACCESS_DENIED},
        {"CreateProcessA", ERROR_FILE_NOT_FOUND},
        {"DeleteFileA", ERROR_SHARING_VIOLATION},
        {"DeletePrintProcessorA", ERROR_ACCESS_DENIED},
        {"DeletePrinter", ERROR_ACCESS_DENIED},
        {"DeletePrinterDriverA", ERROR_PRINTER_DRIVER_IN_USE},
        {"DeletePrinterDriverExA", ERROR_PRINTER_DRIVER_IN_USE},
        {"DialogBoxParamA", ERROR_NOT_ENOUGH_MEMORY},
        {"EnumDependentServicesA", ERROR_ACCESS_DENIED},
        {"EnumPortsA", RPC_S_SERVER_UNAVAILABLE},
        {"EnumPrintProcessorsA", RPC_S_SERVER_UNAVAILABLE},
        {"EnumPrinterDriversA", RPC_S_SERVER_UNAVAILABLE},
        {"EnumPrintersA", RPC_S_SERVER_UNAVAILABLE},
        {"FindWindowA", ERROR_FILE_NOT_FOUND},
        {"FormatMessageA", ERROR_NOT_ENOUGH_MEMORY},
        {"GetFileAttributesA", ERROR_FILE_NOT_FOUND},
        {"GetPrintProcessorDirectoryA", RPC_S_SERVER_UNAVAILABLE},
        {"GetPrinterA", RPC_S_SERVER_UNAVAILABLE},
        {"GetPrinterDriverDirectoryA", RPC_S_SERVER_UNAVAILABLE},
        {"GetProcAddress", ERROR_PROC_NOT_FOUND},
        {"GetTempFileNameA", ERROR_ACCESS_DENIED},
        {"GetUserNameA", ERROR_INSUFFICIENT_BUFFER},
        {"LoadLibraryA", ERROR_NOT_ENOUGH_MEMORY},
        {"MessageBoxA", ERROR_NOT_ENOUGH_MEMORY},
        {"OpenPrinterA", ERROR_ACCESS_DENIED},
        {"OpenSCManagerA", ERROR_ACCESS_DENIED},
        {"OpenServiceA", ERROR_ACCESS_DENIED},
        {"PostMessageA", 1816}, // ERROR_NOT_ENOUGH_QUOTA: the queue is full
        {"QueryServiceStatus", ERROR_ACCESS_DENIED},
        {"RegCreateKeyExA", ERROR_ACCESS_DENIED},
        {"RegDeleteKeyA", ERROR_ACCESS_DENIED},
        {"RegDeleteValueA", ERROR_ACCESS_DENIED},
        {"RegOpenKeyExA", ERROR_ACCESS_DENIED},
        {"RegQueryValueExA", ERROR_ACCESS_DENIED},
        {"RegSetValueExA", ERROR_ACCESS_DENIED},
        {"SetCurrentDirectoryA", ERROR_PATH_NOT_FOUND},
        {"SetFileAttributesA", ERROR_ACCESS_DENIED},
        {"SetPrinterA", ERROR_ACCESS_DENIED},
        {"SetupDefaultQueueCallbackA", ERROR_CANCELLED},
        {"SetupInitDefaultQueueCallback", ERROR_NOT_ENOUGH_MEMORY},
        {"SetupInstallFromInfSectionA", ERROR_CANCELLED},
        {"SetupOpenInfFileA", ERROR_FILE_NOT_FOUND},
        {"SetupPromptReboot", ERROR_NOT_ENOUGH_MEMORY},
        {"SetupSetDirectoryIdA", ERROR_NOT_ENOUGH_MEMORY},
        {"StartServiceA", ERROR_SERVICE_REQUEST_TIMEOUT},
        {"WriteFile", ERROR_DISK_FULL},
        {"WriteProfileStringA", ERROR_ACCESS_DENIED},
        {"_beginthread", ERROR_NOT_ENOUGH_MEMORY},
        {"_execl", ERROR_NOT_ENOUGH_MEMORY},
        {"_unlink", ERROR_SHARING_VIOLATION},
        {"fopen", ERROR_SHARING_VIOLATION},
        {"malloc", ERROR_NOT_ENOUGH_MEMORY},
    };
    return errors;
}

// Calls that do not fail on Windows as the program makes them; they are
// not swept.
const std::map<std::string, const char *> &calls_not_swept()
{
    static const std::map<std::string, const char *> calls = {
        {"Sleep", "has no failure"},
        {"GetDesktopWindow", "has no failure"},
        {"lstrcmpiA", "has no failure"},
        {"GetVersionExA", "fails only for a wrong structure size"},
        {"GetModuleFileNameA", "the running program's own module always has a name"},
        {"GetSystemDirectoryA", "fails only for a buffer too small, and returns the size then"},
        {"GetWindowsDirectoryA", "fails only for a buffer too small, and returns the size then"},
        {"GetCurrentDirectoryA", "fails only for a buffer too small, and returns the size then"},
        {"GetTempPathA", "fails only for a buffer too small, and returns the size then"},
        {"GetProfileStringA", "returns the default instead of failing"},
        {"fputs", "fails only when a full buffer cannot be written: swept as WriteFile"},
        {"IsWindow", "a query, not an operation: FALSE means no such window"},
        // Closing and releasing what the program holds fails only for a
        // handle that is not open, which the program never passes.
        {"CloseHandle", "fails only for a handle that is not open"},
        {"CloseServiceHandle", "fails only for a handle that is not open"},
        {"ClosePrinter", "fails only for a handle that is not open"},
        {"RegCloseKey", "fails only for a handle that is not open"},
        {"FreeLibrary", "fails only for a module that is not loaded"},
        {"LocalFree", "fails only for memory that is not allocated"},
        {"SetupCloseInfFile", "has no result"},
        {"SetupTermDefaultQueueCallback", "has no result"},
        // USER calls on the program's own live dialogs and controls fail
        // only for a window or control that does not exist.
        {"EndDialog", "fails only for a window that is not a dialog"},
        {"GetDlgItem", "fails only for a control that does not exist"},
        {"SetDlgItemTextA", "fails only for a control that does not exist"},
        {"GetDlgItemTextA", "fails only for a control that does not exist"},
        {"SetWindowTextA", "fails only for a window that does not exist"},
        {"GetWindowTextA", "fails only for a window that does not exist"},
        {"CheckDlgButton", "fails only for a control that does not exist"},
        {"IsDlgButtonChecked", "fails only for a control that does not exist"},
        {"EnableWindow", "returns the previous state, has no failure"},
        {"SendMessageA", "returns the window's answer, has no failure"},
    };
    return calls;
}

struct Outcome {
    int exit_code = 0;
    bool box_asked = false;
    std::vector<std::string> violations;
    std::vector<winsim::CallRecord> journal;
    size_t run_start = 0; // journal index where the run began
    bool services_skipped = false;
};

// Shown when the test process dies in a run.
char current_run[1024];

void report_sanitizer_death()
{
    const char head[] = "\nfault sweep: the sanitizer stopped the process in run: ";
    ssize_t ignored = write(2, head, sizeof head - 1);
    ignored = write(2, current_run, strlen(current_run));
    ignored = write(2, "\n", 1);
    (void)ignored;
}

void report_crash(int signal_number)
{
    const char head[] = "\nfault sweep: the process died in run: ";
    ssize_t ignored = write(2, head, sizeof head - 1);
    ignored = write(2, current_run, strlen(current_run));
    ignored = write(2, "\n", 1);
    (void)ignored;
    std::signal(signal_number, SIG_DFL);
    std::raise(signal_number);
}

// The exit code of a service that fails in its start: its own code.
const DWORD SERVICE_EXIT_CODE = ERROR_FILE_NOT_FOUND;

// The services arranged by arrange_foreign_objects that need the spooler,
// each with those that need it in turn.
const std::vector<std::vector<std::string>> DEPENDENT_SERVICES = {{"Fax", "FaxClient"},
                                                                  {"FaxClient"}};

void arrange_service_fault(const Fault &fault)
{
    if (fault.kind == FaultKind::call_fails && !fault.function.empty())
        winsim::fail_call(fault.function, fault.nth, fault.error, fault.persistent);
    if (fault.kind == FaultKind::service_ends)
        winsim::fail_service_start(fault.nth, ERROR_SERVICE_SPECIFIC_ERROR, fault.error);
    if (fault.kind != FaultKind::service_disabled && fault.kind != FaultKind::service_deleted)
        return;
    winsim::ServiceSetup service{fault.cannot_run[0], {fault.cannot_run[0] == "Fax" ? "Spooler" : "Fax"}};
    service.disabled = fault.kind == FaultKind::service_disabled;
    service.marked_for_deletion = fault.kind == FaultKind::service_deleted;
    winsim::add_service(service);
}

void arrange(const Scenario &scenario)
{
    winsim::MachineSetup setup = winsim::setup_for(scenario.version);
    if (scenario.kind == RunKind::uninstall)
        setup.module_file_name = setup.system_dir + "\\rmzantr.exe";
    winsim::boot(setup);
    set_package_program_behaviours();
    reset_setup_state();
    put_branch_distribution(DIST, scenario.kind == RunKind::install);
    arrange_installed_product("eng");
    arrange_foreign_objects();
    // A dialog left open must not hold the sweep for long.
    winsim::set_dialog_timeout(std::chrono::milliseconds(2000));
}

// The uninstaller's message file is a whole copy of a shipped language
// file, with the short name filled in.
bool message_file_whole()
{
    std::string settings = winsim::machine().system_dir + "\\zantrel.apd";
    if (!winsim::file_present(settings))
        return false;
    for (const char *code : {"ger", "eng", "fre"}) {
        std::string whole;
        for (char c : language_file(code))
            whole += c == '@' ? std::string("Ravelo") : std::string(1, c);
        if (winsim::file_bytes(settings) == whole)
            return true;
    }
    return false;
}

Outcome run_once(const Scenario &scenario, const Fault &fault, Answers answers)
{
    Outcome outcome;
    arrange(scenario);
    RunChecks checks;
    outcome.run_start = winsim::journal().size();
    // No one answers a quiet run: a window it shows meets no script.
    std::shared_ptr<std::vector<BoxAnswered>> answered =
        scenario.switches != nullptr ? std::make_shared<std::vector<BoxAnswered>>()
                                     : script_user(scenario.kind, answers);
    arrange_service_fault(fault);

    outcome.exit_code = scenario.switches != nullptr
                            ? winsim::run_program(WinMain, scenario.switches)
                            : run_setup();

    outcome.journal = winsim::journal();
    outcome.box_asked = !answered->empty();
    if (scenario.switches != nullptr) {
        checks.quiet = true;
        checks.log_path = QUIET_LOG;
        checks.log = winsim::file_present(QUIET_LOG) ? winsim::file_bytes(QUIET_LOG) : "";
        // The log is the run's own file, not a foreign one.
        std::remove(winsim::host_path(QUIET_LOG).c_str());
    }
    outcome.violations = checks.after_run(scenario.kind, outcome.exit_code, *answered, fault);
    outcome.services_skipped = checks.services_skipped;
    int success = scenario.switches != nullptr ? EXIT_RESTART_REQUIRED : 1;
    if (scenario.kind == RunKind::install && outcome.exit_code == success && !message_file_whole())
        outcome.violations.push_back("the installation succeeded with its message file cut or missing");
    return outcome;
}

std::string describe_run(const Scenario &scenario, const Fault &fault, Answers answers,
                         const std::string &arguments)
{
    std::ostringstream text;
    text << scenario.name << ": ";
    if (fault.kind == FaultKind::service_disabled || fault.kind == FaultKind::service_deleted) {
        text << "service " << fault.cannot_run[0]
             << (fault.kind == FaultKind::service_disabled ? " disabled" : " deleted")
             << " while it runs";
    } else {
        text << fault.function << " #" << fault.occurrence << " of the run (#" << fault.nth
             << " from boot; " << arguments << ")"
             << (fault.kind == FaultKind::service_ends ? " is accepted, and the service ends with "
                 : fault.persistent                    ? " and every later call fail with "
                                                       : " fails with ")
             << fault.error;
    }
    if (scenario.switches != nullptr)
        text << ", quiet";
    else
        text << ", boxes answered " << answers_name(answers);
    return text.str();
}

// The ways a call that fails once is answered; a call that fails for good
// is retried a bounded number of times before the run gives up or goes on.
const std::vector<Answers> ANSWERS_ONCE = {Answers::abort, Answers::ignore, Answers::retry_then_abort};
const std::vector<Answers> ANSWERS_PERSISTENT = {Answers::retry_twice_then_abort,
                                                 Answers::retry_then_ignore};

struct Counts {
    int runs = 1; // the run without faults
    int violating_runs = 0;
    int services_unchecked = 0;
};

// Runs the fault with every way of answering; a run that asks no box is
// not repeated. Counts the runs, and the runs with violations.
void sweep_fault(const Scenario &scenario, const Fault &fault, const std::string &arguments,
                 const std::vector<Answers> &ways, Counts *counts)
{
    for (Answers answers : ways) {
        std::string label = describe_run(scenario, fault, answers, arguments);
        snprintf(current_run, sizeof current_run, "%s", label.c_str());
        Outcome outcome = run_once(scenario, fault, answers);
        counts->runs++;
        counts->services_unchecked += outcome.services_skipped ? 1 : 0;
        if (!outcome.violations.empty()) {
            counts->violating_runs++;
            std::string all;
            for (const std::string &violation : outcome.violations)
                all += "\n  - " + violation;
            ADD_FAILURE() << label << ", exit code " << outcome.exit_code << ":" << all;
        }
        // Without a box the answers change nothing: the other passes
        // would repeat this run.
        if (!outcome.box_asked)
            break;
    }
}

// Every function's calls within the run: name, how many were made before
// the run, and the arguments of each, in the journal's order (a call that
// contains others, DialogBoxParamA, is journaled when it returns, so its
// arguments may belong to another occurrence); and which of them is the
// function's first in a step of the run (a new status line begins one).
struct Swept {
    std::string function;
    int before_run;
    std::vector<std::string> arguments;
    std::vector<int> first_in_step; // indexes into arguments
    int last_step = -1;
};

bool is_status_line(const winsim::CallRecord &call)
{
    static const std::string status_control = ", " + std::to_string(IDC_STATUS_LINE) + ", ";
    return call.function == "SetDlgItemTextA" &&
           call.arguments.find(status_control) != std::string::npos;
}

std::vector<Swept> calls_of_run(const Outcome &outcome)
{
    std::map<std::string, Swept> by_function;
    int step = 0;
    for (size_t i = 0; i < outcome.journal.size(); i++) {
        const winsim::CallRecord &call = outcome.journal[i];
        Swept &swept = by_function[call.function];
        swept.function = call.function;
        if (i < outcome.run_start) {
            swept.before_run++;
            continue;
        }
        if (swept.last_step != step)
            swept.first_in_step.push_back((int)swept.arguments.size());
        swept.last_step = step;
        swept.arguments.push_back(call.arguments);
        step += is_status_line(call) ? 1 : 0;
    }
    std::vector<Swept> calls;
    for (auto &entry : by_function) {
        if (!entry.second.arguments.empty())
            calls.push_back(entry.second);
    }
    return calls;
}

// Each line of a quiet run's log is opened and written alike, and a line
// that cannot be is lost alone: of the log's calls of a function only the
// first and the last are swept, which keeps the quiet sweeps short.
bool between_log_calls(const Swept &swept, size_t k)
{
    std::vector<size_t> on_log;
    for (size_t i = 0; i < swept.arguments.size(); i++) {
        if (swept.arguments[i].find(QUIET_LOG) != std::string::npos)
            on_log.push_back(i);
    }
    return on_log.size() > 2 && std::find(on_log.begin() + 1, on_log.end() - 1, k) < on_log.end() - 1;
}

// Names the scenario in test listings.
void PrintTo(const Scenario &scenario, std::ostream *out)
{
    *out << scenario.name;
}

class FaultSweep : public ::testing::TestWithParam<Scenario> {
  protected:
    void TearDown() override
    {
        reset_setup_state();
        winsim::shut_down();
    }
};

} // namespace

TEST_P(FaultSweep, EveryFailingCallStillEndsCleanly)
{
    const Scenario &scenario = GetParam();
    std::signal(SIGSEGV, report_crash);
    std::signal(SIGABRT, report_crash);
    std::signal(SIGBUS, report_crash);
#if SWEEP_WITH_SANITIZER
    __sanitizer_set_death_callback(report_sanitizer_death);
#else
    (void)report_sanitizer_death;
#endif
    auto started = std::chrono::steady_clock::now();
    // The texts the checks know runs by come from the shipped language files.
    ASSERT_EQ(3u, catalog_texts("SetupOk").size()) << "SETUP_SOURCE_DIR must name the sources";
    ASSERT_EQ(3u, catalog_texts("SetupCantStartSpooler").size());

    // The run without faults: it passes every check, and names the calls.
    snprintf(current_run, sizeof current_run, "%s without faults", scenario.name);
    Outcome clean = run_once(scenario, {"", 0, 0, 0}, Answers::abort);
    for (const std::string &violation : clean.violations)
        ADD_FAILURE() << scenario.name << " without faults: " << violation;
    // The uninstaller of the NT family ends by replacing itself with the
    // command interpreter that deletes it.
    // (The quiet one starts it hidden and tells the restart the deletion needs.)
    bool quiet = scenario.switches != nullptr;
    bool replaces_itself = scenario.kind == RunKind::uninstall && !family_95() && !quiet;
    EXPECT_EQ(quiet ? EXIT_RESTART_REQUIRED : replaces_itself ? 0 : 1, clean.exit_code) << scenario.name;
    EXPECT_EQ(replaces_itself ? 1u : 0u, winsim::execs().size()) << scenario.name;
    EXPECT_FALSE(clean.box_asked) << scenario.name;

    int calls_swept = 0;
    int starts_swept = 0;
    int services_swept = 0;
    int persistent_swept = 0;
    Counts counts;
    std::set<std::string> unknown;
    for (const Swept &swept : calls_of_run(clean)) {
        if (calls_not_swept().count(swept.function) != 0)
            continue;
        auto error = sweep_errors().find(swept.function);
        if (error == sweep_errors().end()) {
            unknown.insert(swept.function);
            continue;
        }
        for (size_t k = 0; k < swept.arguments.size(); k++) {
            if (quiet && between_log_calls(swept, k))
                continue;
            Fault fault{swept.function, swept.before_run + (int)k + 1, (int)k + 1, error->second};
            calls_swept++;
            sweep_fault(scenario, fault, swept.arguments[k], ANSWERS_ONCE, &counts);
            if (swept.function != "StartServiceA")
                continue;
            fault.kind = FaultKind::service_ends;
            fault.error = SERVICE_EXIT_CODE;
            starts_swept++;
            sweep_fault(scenario, fault, swept.arguments[k], ANSWERS_ONCE, &counts);
        }
        // Failing for good from its first call in each step: the retries,
        // the later steps and the finish meet the same failure.
        for (int k : swept.first_in_step) {
            Fault fault{swept.function, swept.before_run + k + 1, k + 1, error->second};
            fault.persistent = true;
            persistent_swept++;
            sweep_fault(scenario, fault, swept.arguments[k], ANSWERS_PERSISTENT, &counts);
        }
    }
    if (scenario.version.platform_id == VER_PLATFORM_WIN32_NT) {
        for (const std::vector<std::string> &cannot_run : DEPENDENT_SERVICES) {
            for (FaultKind kind : {FaultKind::service_disabled, FaultKind::service_deleted}) {
                Fault fault{"", 0, 0, 0, kind, cannot_run};
                services_swept++;
                sweep_fault(scenario, fault, "", ANSWERS_ONCE, &counts);
            }
        }
    }
    for (const std::string &function : unknown)
        ADD_FAILURE() << "no error known for " << function << ": add it to one of the tables";

    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::cout << "fault sweep " << scenario.name << ": " << calls_swept << " calls swept, "
              << starts_swept << " starts failed by their service, " << services_swept
              << " services that cannot come back, " << persistent_swept
              << " calls failing for good, " << counts.runs << " runs, " << counts.violating_runs
              << " with violations, " << counts.services_unchecked << " leaving the spooler stopped, " << seconds
              << " s\n";
    RecordProperty("calls_swept", calls_swept);
    RecordProperty("starts_swept", starts_swept);
    RecordProperty("services_swept", services_swept);
    RecordProperty("persistent_swept", persistent_swept);
    RecordProperty("runs", counts.runs);
    EXPECT_GT(calls_swept, 50) << "the run made too few calls to be a real run";
}

INSTANTIATE_TEST_SUITE_P(Scenarios, FaultSweep, ::testing::ValuesIn(SCENARIOS),
                         [](const ::testing::TestParamInfo<Scenario> &info) {
                             return std::string(info.param.name);
                         });

// A call that fails for good, retried for ever, would hold the run for
// ever; the scripted user gives up on the same question past its limit,
// and says so.
TEST(FaultSweepLoops, ARunRetriedForEverEndsAtTheQuestionLimit)
{
    Fault fault{"SetupSetDirectoryIdA", 1, 1, ERROR_NOT_ENOUGH_MEMORY};
    fault.persistent = true;
    Outcome outcome = run_once({"InstallXP", winsim::windows_xp, RunKind::install}, fault,
                               Answers::retry_always);
    winsim::shut_down();

    EXPECT_EQ(0, outcome.exit_code);
    ASSERT_FALSE(outcome.violations.empty());
    EXPECT_EQ(0u, outcome.violations[0].find("user interface: the same box was asked more than "
                                             "50 times, the run loops"))
        << outcome.violations[0];
}
