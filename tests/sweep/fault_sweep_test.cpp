// Every call a whole run makes, made to fail in turn: the run still ends,
// brings back the services it stopped, leaves foreign things alone, cleans
// up after itself and does not call a failed run a success.
//
// A scenario is run once without faults; each call of that run (function
// and occurrence) is then made to fail from a fresh boot, once for every
// way the user answers the error boxes. The machine starts from an earlier
// installation of the package beside foreign printers, drivers, files,
// registry values and services.
#include "support/scenario.h"

#include "app/setup_state.h"
#include "resources/resource.h"
#include "system/spooler_service.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstring>
#include <iostream>
#include <memory>
#include <set>
#include <sstream>
#include <unistd.h>

namespace {

enum class RunKind { install, remove, uninstall };

struct Scenario {
    const char *name;
    winsim::Version version;
    RunKind kind;
};

const Scenario SCENARIOS[] = {
    {"Install98", winsim::windows_98, RunKind::install},
    {"InstallNT351", winsim::windows_nt_351, RunKind::install},
    {"InstallNT4", winsim::windows_nt_40, RunKind::install},
    {"Install2000", winsim::windows_2000, RunKind::install},
    {"InstallXP", winsim::windows_xp, RunKind::install},
    {"RemoveXP", winsim::windows_xp, RunKind::remove},
    {"UninstallerNT4", winsim::windows_nt_40, RunKind::uninstall},
    {"Uninstaller98", winsim::windows_98, RunKind::uninstall},
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

// Read once: a sweep boots thousands of times.
const std::string &language_file(const std::string &code)
{
    static std::map<std::string, std::string> files;
    auto found = files.find(code);
    if (found == files.end())
        found = files.emplace(code, shipped_language_file(code)).first;
    return found->second;
}

// ---- The product's own objects: only these may change in a run.

std::string upper(std::string text)
{
    for (char &c : text)
        c = (char)toupper((unsigned char)c);
    return text;
}

bool family_95()
{
    return winsim::machine().version.platform_id == VER_PLATFORM_WIN32_WINDOWS;
}

std::string environment()
{
    return family_95() ? "Windows 4.0" : "Windows NT x86";
}

std::string platform_tag()
{
    if (family_95())
        return "95";
    return winsim::machine().version.major >= 5 ? "W2K" : "nt_40";
}

bool is_product_driver(const std::string &name)
{
    return name == "Ravelo Printer Driver" || name == "Ravelo Telex Driver" ||
           name == "RAR Ozedur Ureder" || name == "Telex Driver W95";
}

struct ProductObjects {
    std::set<std::string> files; // upper-case Windows paths

    // Reads the machine's directories; call before the run.
    void collect()
    {
        std::string system = winsim::machine().system_dir + "\\";
        std::string drivers = driver_directory() + "\\";
        for (const char *name : {"faxsrv.exe", "tqvdrv32.dll", "devura.dll", "kxdrvw32.dll",
                                 "rmzantr.exe", "zantrel.apd"})
            files.insert(upper(system + name));
        files.insert(upper(print_processor_directory() + "\\tqvprint.dll"));
        for (const std::string &name : platform_payload(platform_tag()))
            files.insert(upper(drivers + name));
        for (const std::string &name : language_payload(platform_tag()))
            files.insert(upper(drivers + name));
    }

    bool is_file(const std::string &path) const
    {
        if (files.count(upper(path)) != 0)
            return true;
        // A file the Setup API could not replace waits beside it.
        for (const winsim::PendingReplacement &pending : winsim::pending_file_replacements()) {
            if (upper(pending.temporary_file) == upper(path))
                return true;
        }
        return false;
    }

    // The uninstall entry and the autostart value.
    static bool is_registry_key(const std::string &key)
    {
        return upper(key).rfind(
                   "HKLM\\SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\UNINSTALL\\ZANTREL", 0) == 0;
    }
    static bool is_registry_value(const std::string &key, const std::string &value_line)
    {
        return upper(key) == "HKLM\\SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\RUN" &&
               upper(value_line).rfind("  \"TQVPRINT\"", 0) == 0;
    }

    // A line of winsim::spooler_snapshot(): the print processor, the
    // drivers, the printers that use them, and the port "NUL:".
    static bool is_spooler_line(const std::string &line)
    {
        std::vector<std::string> fields;
        std::string::size_type start = line.find(' ');
        std::string kind = line.substr(0, start);
        std::string rest = start == std::string::npos ? "" : line.substr(start + 1);
        if (kind == "port")
            return rest == "NUL:";
        std::stringstream split(rest);
        std::string field;
        while (std::getline(split, field, '|')) {
            std::string::size_type a = field.find_first_not_of(' ');
            std::string::size_type b = field.find_last_not_of(' ');
            fields.push_back(a == std::string::npos ? "" : field.substr(a, b - a + 1));
        }
        if (kind == "processor")
            return fields.size() > 1 && fields[1] == "tqvprint";
        if (kind == "driver")
            return fields.size() > 1 && is_product_driver(fields[1]);
        if (kind == "printer")
            return fields.size() > 3 && is_product_driver(fields[3]);
        return false;
    }

    // The temporary INF: "INS" + hex digits + ".TMP" in the temporary folder.
    static bool is_temporary_inf(const std::string &path)
    {
        std::string temp = upper(winsim::machine().temp_dir + "\\");
        std::string name = upper(path);
        if (name.rfind(temp, 0) != 0)
            return false;
        name = name.substr(temp.size());
        return name.size() > 7 && name.rfind("INS", 0) == 0 &&
               name.compare(name.size() - 4, 4, ".TMP") == 0 && name.find('\\') == std::string::npos;
    }
};

// win.ini without the port entry the installation adds, and without a
// [ports] section left empty by that; an absent win.ini reads as empty.
std::string without_nul_port(const std::string &win_ini)
{
    std::stringstream lines(win_ini);
    std::string line, kept, pending_header;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (upper(line).rfind("NUL:=", 0) == 0)
            continue;
        if (upper(line) == "[PORTS]") {
            pending_header = line + "\n";
            continue;
        }
        if (!line.empty() && line[0] == '[' && !pending_header.empty())
            pending_header.clear();
        kept += pending_header + line + "\n";
        pending_header.clear();
    }
    return kept;
}

struct ForeignState {
    std::map<std::string, std::string> files;
    std::string registry;
    std::string spooler;
};

ForeignState foreign_state(const ProductObjects &product)
{
    ForeignState state;
    std::string win_ini = upper(winsim::machine().windows_dir + "\\win.ini");
    state.files[win_ini] = "";
    for (const auto &file : file_snapshot()) {
        if (product.is_file(file.first) || ProductObjects::is_temporary_inf(file.first))
            continue;
        state.files[upper(file.first)] =
            upper(file.first) == win_ini ? without_nul_port(file.second) : file.second;
    }
    std::stringstream registry(winsim::registry_snapshot());
    std::string line, key;
    while (std::getline(registry, line)) {
        bool value = line.rfind("  ", 0) == 0;
        if (!value)
            key = line;
        if (ProductObjects::is_registry_key(key) ||
            (value && ProductObjects::is_registry_value(key, line)))
            continue;
        state.registry += line + "\n";
    }
    std::stringstream spooler(winsim::spooler_snapshot());
    while (std::getline(spooler, line)) {
        if (!ProductObjects::is_spooler_line(line))
            state.spooler += line + "\n";
    }
    return state;
}

// What differs, named briefly.
std::vector<std::string> foreign_changes(const ForeignState &before, const ForeignState &after)
{
    std::vector<std::string> changes;
    for (const auto &file : before.files) {
        auto now = after.files.find(file.first);
        if (now == after.files.end())
            changes.push_back("foreign file deleted: " + file.first);
        else if (now->second != file.second)
            changes.push_back("foreign file changed: " + file.first);
    }
    for (const auto &file : after.files) {
        if (before.files.count(file.first) == 0)
            changes.push_back("file created: " + file.first);
    }
    if (before.registry != after.registry)
        changes.push_back("foreign registry changed:\n" + before.registry + "---\n" + after.registry);
    if (before.spooler != after.spooler)
        changes.push_back("foreign spooler objects changed:\n" + before.spooler + "---\n" +
                          after.spooler);
    return changes;
}

// ---- The machine of a scenario.

void arrange_foreign_objects()
{
    std::string drivers = driver_directory() + "\\";
    std::string processors = print_processor_directory() + "\\";
    winsim::put_file(drivers + "office.dll", "foreign driver");
    winsim::put_file(drivers + "office.hlp", "foreign help");
    winsim::add_printer_driver({environment(), "Office Driver", family_95() ? 0u : 2u, "office.dll",
                                "office.dll", "office.dll", "office.hlp", {"office.hlp"}});
    winsim::add_printer({"Office", "LPT1:", "Office Driver"});
    winsim::put_file(processors + "officepp.dll", "foreign print processor");
    winsim::add_print_processor(environment(), "OfficeProc", "officepp.dll");
    winsim::add_port("COM7:");
    winsim::set_registry_value("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", "Office",
                               REG_SZ, std::string("office.exe") + '\0');
    winsim::set_registry_value("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Office",
                               "DisplayName", REG_SZ, std::string("Office") + '\0');
    winsim::put_file(winsim::machine().system_dir + "\\office.exe", "foreign program");
    winsim::put_file(winsim::machine().temp_dir + "\\INSTALL.LOG", "foreign log");
    if (!family_95()) {
        // Services that need the spooler, so that its whole tree is stopped.
        winsim::add_service({"Fax", {"Spooler"}});
        winsim::add_service({"FaxClient", {"Fax"}});
        // The earlier installation's fax server is running.
        winsim::open_window("FaxSrvClass", "", winsim::ClosesOn::system_close_command);
    }
    winsim::open_window("kxprnwnd_Administrator", "", winsim::ClosesOn::close_message);
}

const char *const SERVICES[] = {"Spooler", "Fax", "FaxClient"};

// The spooler tree a stop records lives for the process; each run here
// stands for a process of its own.
void release_service_tree(ServiceNode *node)
{
    while (node != nullptr) {
        ServiceNode *next = node->next;
        release_service_tree(node->dependents);
        free(node->name);
        free(node);
        node = next;
    }
}

void reset_product()
{
    reset_setup_state();
    release_service_tree(spooler_service_list->dependents);
    release_service_tree(spooler_service_list->next);
    spooler_service_list->dependents = nullptr;
    spooler_service_list->next = nullptr;
}

// ---- The user.

enum class Answers { abort, ignore, retry_then_abort };

const char *answers_name(Answers answers)
{
    switch (answers) {
    case Answers::abort:
        return "Abort";
    case Answers::ignore:
        return "Ignore";
    case Answers::retry_then_abort:
        return "Retry once, then Abort";
    }
    return "";
}

struct BoxAnswered {
    std::string text;
    int button;
};

// The value of each key in each shipped language file, "\n" as CR LF.
std::map<std::string, std::vector<std::string>> &catalog_texts()
{
    static std::map<std::string, std::vector<std::string>> texts = [] {
        std::map<std::string, std::vector<std::string>> found;
        for (const char *code : {"ger", "eng", "fre"}) {
            std::stringstream lines(language_file(code));
            std::string line;
            while (std::getline(lines, line)) {
                if (!line.empty() && line.back() == '\r')
                    line.pop_back();
                std::string::size_type colon = line.find(": ");
                if (line.empty() || line[0] == ';' || colon == std::string::npos)
                    continue;
                std::string value;
                for (size_t i = colon + 2; i < line.size(); i++) {
                    if (line[i] == '\\' && i + 1 < line.size() && line[i + 1] == 'n') {
                        value += "\r\n";
                        i++;
                    } else {
                        value += line[i];
                    }
                }
                found[line.substr(0, colon)].push_back(value);
            }
        }
        return found;
    }();
    return texts;
}

// Whether the text is the catalog text with its "%s" and "@" filled in
// somehow.
bool matches_template(const std::string &text, const std::string &value)
{
    std::vector<std::string> pieces(1);
    for (size_t i = 0; i < value.size(); i++) {
        if (value.compare(i, 2, "%s") == 0) {
            pieces.emplace_back();
            i++;
        } else if (value[i] == '@') {
            pieces.emplace_back();
        } else {
            pieces.back() += value[i];
        }
    }
    if (pieces.size() == 1)
        return text == value;
    if (text.compare(0, pieces.front().size(), pieces.front()) != 0)
        return false;
    if (text.size() < pieces.back().size() ||
        text.compare(text.size() - pieces.back().size(), pieces.back().size(), pieces.back()) != 0)
        return false;
    size_t at = pieces.front().size();
    for (size_t i = 1; i + 1 < pieces.size(); i++) {
        at = text.find(pieces[i], at);
        if (at == std::string::npos)
            return false;
        at += pieces[i].size();
    }
    return at <= text.size() - pieces.back().size();
}

// The text of one of the keys, in any language, or the bare key (the
// catalog did not load).
bool is_catalog_text(const std::string &text, std::initializer_list<const char *> keys)
{
    for (const char *key : keys) {
        if (text == key)
            return true;
        for (const std::string &value : catalog_texts()[key]) {
            if (matches_template(text, value))
                return true;
        }
    }
    return false;
}

// A step's Abort/Retry/Ignore box: its text, then the system's.
bool is_step_box(const std::string &text)
{
    std::string::size_type cut = text.find("\r\n");
    return is_catalog_text(text.substr(0, cut),
                           {"SetupCantInit", "SetupCantRemoveOld", "SetupCantStopSpooler",
                            "SetupCantInstallFiles", "SetupCantStartSpooler",
                            "SetupCantInstallDriver"});
}

enum class Verdict { none, success, failure };

Verdict classify(const std::string &text)
{
    if (is_catalog_text(text, {"SetupOk", "SetupOk95", "RemoveOk", "RemoveOk95"}))
        return Verdict::success;
    if (is_catalog_text(text, {"SetupFailed", "RemoveFailed"}))
        return Verdict::failure;
    return Verdict::none;
}

// The last success or failure text among the texts shown.
Verdict final_verdict(const std::vector<std::string> &texts, std::string *text)
{
    for (auto it = texts.rbegin(); it != texts.rend(); ++it) {
        Verdict verdict = classify(*it);
        if (verdict != Verdict::none) {
            *text = *it;
            return verdict;
        }
    }
    return Verdict::none;
}

// ---- One run.

struct Fault {
    std::string function; // empty: no fault
    int nth;              // from boot
    int occurrence;       // within the run
    DWORD error;
};

struct Outcome {
    int exit_code = 0;
    bool box_asked = false;
    std::vector<std::string> violations;
    std::vector<winsim::CallRecord> journal;
    size_t run_start = 0; // journal index where the run began
};

// Shown when the test process dies in a run.
char current_run[1024];

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

// The distribution as put_distribution() places it, but with the payload
// of this machine's platform branch only: a sweep boots thousands of times.
void put_branch_distribution(bool with_payload)
{
    std::string dist = DIST;
    winsim::put_file(dist + "setup.exe", "MZ setup program");
    for (const char *code : {"ger", "eng", "fre"})
        winsim::put_file(dist + "lang." + code, language_file(code));
    if (!with_payload)
        return;
    std::string tag = platform_tag();
    if (tag == "nt_40" && winsim::machine().version.major == 3)
        tag = "nt_351";
    for (const std::string &name : platform_payload(tag))
        winsim::put_file(dist + tag + "\\" + name, "payload " + name);
    for (const char *code : {"ger", "eng", "fre"}) {
        for (const std::string &name : language_payload(tag))
            winsim::put_file(dist + tag + "\\" + code + "\\" + name, "payload " + name);
    }
}

void arrange(const Scenario &scenario)
{
    winsim::MachineSetup setup = winsim::setup_for(scenario.version);
    if (scenario.kind == RunKind::uninstall)
        setup.module_file_name = setup.system_dir + "\\rmzantr.exe";
    auto a0 = std::chrono::steady_clock::now();
    winsim::boot(setup);
    auto a1 = std::chrono::steady_clock::now();
    reset_product();
    put_branch_distribution(scenario.kind == RunKind::install);
    auto a2 = std::chrono::steady_clock::now();
    arrange_installed_product("eng");
    auto a3 = std::chrono::steady_clock::now();
    arrange_foreign_objects();
    auto a4 = std::chrono::steady_clock::now();
    if (getenv("SWEEP_TIME")) std::cout << "A " << std::chrono::duration<double,std::milli>(a1-a0).count() << " " << std::chrono::duration<double,std::milli>(a2-a1).count() << " " << std::chrono::duration<double,std::milli>(a3-a2).count() << " " << std::chrono::duration<double,std::milli>(a4-a3).count() << "\n";
    // A dialog left open must not hold the sweep for long.
    winsim::set_dialog_timeout(std::chrono::milliseconds(2000));
}

void script_user(const Scenario &scenario, Answers answers,
                 std::shared_ptr<std::vector<BoxAnswered>> answered)
{
    // English when it can be had, else the language offered.
    winsim::answer_every_dialog(IDD_LANGUAGE, [](winsim::Dialog &dialog) {
        if (dialog.enabled(IDC_ENGLISH))
            dialog.click(IDC_ENGLISH);
        dialog.click(IDOK);
    });
    int choice = scenario.kind == RunKind::install ? IDC_INSTALL : IDC_REMOVE;
    winsim::answer_every_dialog(IDD_CHOICE, [choice](winsim::Dialog &dialog) { dialog.click(choice); });
    winsim::answer_every_dialog(IDD_PROGRESS, [](winsim::Dialog &) {});
    winsim::answer_every_dialog(IDD_RESULT, [](winsim::Dialog &dialog) { dialog.click(IDOK); });
    winsim::answer_every_message_box([answers, answered](const winsim::MessageBoxSeen &box) {
        int button = IDABORT;
        if (answers == Answers::ignore)
            button = IDIGNORE;
        else if (answers == Answers::retry_then_abort && answered->empty())
            button = IDRETRY;
        answered->push_back({box.text, button});
        return button;
    });
    if (scenario.kind != RunKind::uninstall)
        expect_reboot(false);
}

bool nt_family()
{
    return !family_95();
}

Outcome run_once(const Scenario &scenario, const Fault &fault, Answers answers)
{
    Outcome outcome;
    auto t0 = std::chrono::steady_clock::now();
    arrange(scenario);
    ProductObjects product;
    product.collect();
    ForeignState before = foreign_state(product);
    auto answered = std::make_shared<std::vector<BoxAnswered>>();
    script_user(scenario, answers, answered);
    if (!fault.function.empty())
        winsim::fail_call(fault.function, fault.nth, fault.error);
    outcome.run_start = winsim::journal().size();
    auto t1 = std::chrono::steady_clock::now();
    outcome.exit_code = run_setup();
    auto t2 = std::chrono::steady_clock::now();

    outcome.journal = winsim::journal();
    if (fault.function.empty() && getenv("SWEEP_DEBUG")) { for (auto &t : status_history()) std::cout << "STATUS " << t << "\n"; for (size_t i = outcome.run_start; i < outcome.journal.size(); i++) std::cout << outcome.journal[i].function << "(" << outcome.journal[i].arguments << ") = " << outcome.journal[i].result << " err " << outcome.journal[i].error << "\n"; }
    outcome.box_asked = !answered->empty();
    std::vector<std::string> &v = outcome.violations;

    // It ended, and every dialog it showed was ended too.
    for (const std::string &failure : winsim::script_failures())
        v.push_back("user interface: " + failure);
    for (const std::string &unused : winsim::unused_expectations()) {
        if (fault.function != "SetupPromptReboot")
            v.push_back("never came: " + unused);
    }

    // The services it stopped run again, unless the user gave up on a start
    // that failed.
    if (nt_family()) {
        static const std::set<std::string> start_calls = {"OpenSCManagerA", "OpenServiceA",
                                                          "StartServiceA", "QueryServiceStatus"};
        // The box that was given up names the start's error (the start
        // step's own box, or the removal's when its restart failed).
        std::string error_text = system_text(fault.error);
        bool start_given_up = false;
        for (const BoxAnswered &box : *answered) {
            if (box.button != IDRETRY && !error_text.empty() &&
                box.text.find(error_text) != std::string::npos)
                start_given_up = true;
        }
        if (!(start_given_up && start_calls.count(fault.function) != 0)) {
            for (const char *service : SERVICES) {
                if (winsim::service_state(service) != SERVICE_RUNNING)
                    v.push_back(std::string("service left in state ") +
                                std::to_string(winsim::service_state(service)) + ": " + service);
            }
        }
    }

    // Nothing foreign changed; the temporary INF is gone.
    for (const std::string &change : foreign_changes(before, foreign_state(product)))
        v.push_back(change);
    for (const auto &file : file_snapshot()) {
        if (ProductObjects::is_temporary_inf(file.first))
            v.push_back("temporary INF left: " + file.first);
    }

    // Nothing it opened or allocated is left.
    struct Count {
        const char *what;
        int count;
    } counts[] = {
        {"service handles", winsim::open_service_handle_count()},
        {"printer handles", winsim::open_printer_handle_count()},
        {"registry keys", winsim::open_key_handle_count()},
        {"INF handles", winsim::open_inf_count()},
        {"queue contexts", winsim::live_queue_contexts()},
        {"LocalAlloc buffers", winsim::local_allocation_count()},
        {"loaded libraries", winsim::loaded_library_count()},
        {"kernel handles", winsim::open_kernel_handle_count()},
        {"C runtime streams", winsim::open_stream_count()},
    };
    for (const Count &count : counts) {
        if (count.count != 0)
            v.push_back(std::string("left open: ") + std::to_string(count.count) + " " + count.what);
    }

    // A failed run does not end with a success text, and the exit code
    // tells the same as the text.
    bool step_failed = false;
    for (const BoxAnswered &box : *answered) {
        if (is_step_box(box.text) && box.button != IDRETRY)
            step_failed = true;
    }
    if (fault.function == "MessageBoxA") {
        // The box that could not be shown counts as Ignore.
        for (size_t i = outcome.run_start; i < outcome.journal.size(); i++) {
            const winsim::CallRecord &call = outcome.journal[i];
            if (call.function == "MessageBoxA" && call.result == "0")
                step_failed = true;
        }
    }
    std::string final_text;
    Verdict verdict;
    bool replaced = false;
    if (scenario.kind == RunKind::uninstall) {
        verdict = final_verdict(status_history(), &final_text);
        for (size_t i = outcome.run_start; i < outcome.journal.size(); i++) {
            if (outcome.journal[i].function == "_execl" && outcome.journal[i].result == "0")
                replaced = true;
        }
    } else {
        verdict = final_verdict(winsim::control_text_history(IDD_RESULT, IDC_RESULT_TEXT), &final_text);
    }
    if (step_failed && verdict == Verdict::success)
        v.push_back("a step failed, yet the result says success: " + final_text);
    if (replaced) {
        // The uninstaller deletes itself only once the package is gone.
        if (verdict != Verdict::success)
            v.push_back("the uninstaller deleted itself after a failed removal: " + final_text);
    } else if (verdict != Verdict::none &&
               (outcome.exit_code == 0) != (verdict == Verdict::failure)) {
        v.push_back("exit code " + std::to_string(outcome.exit_code) + " with the result: " +
                    final_text);
    }
    auto t3 = std::chrono::steady_clock::now();
    if (getenv("SWEEP_TIME")) std::cout << "T " << std::chrono::duration<double,std::milli>(t1-t0).count() << " " << std::chrono::duration<double,std::milli>(t2-t1).count() << " " << std::chrono::duration<double,std::milli>(t3-t2).count() << "\n";
    return outcome;
}

std::string describe_run(const Scenario &scenario, const Fault &fault, Answers answers,
                         const std::string &arguments)
{
    std::ostringstream text;
    text << scenario.name << ": " << fault.function << " #" << fault.occurrence << " of the run (#"
         << fault.nth << " from boot; " << arguments << ") fails with " << fault.error
         << ", boxes answered " << answers_name(answers);
    return text.str();
}

// Every function's calls within the run: name, first occurrence number
// from boot, how many, and the arguments of each (in the journal's order).
struct Swept {
    std::string function;
    int before_run;
    std::vector<std::string> arguments;
};

std::vector<Swept> calls_of_run(const Outcome &outcome)
{
    std::map<std::string, Swept> by_function;
    for (size_t i = 0; i < outcome.journal.size(); i++) {
        const winsim::CallRecord &call = outcome.journal[i];
        Swept &swept = by_function[call.function];
        swept.function = call.function;
        if (i < outcome.run_start)
            swept.before_run++;
        else
            swept.arguments.push_back(call.arguments);
    }
    std::vector<Swept> calls;
    for (auto &entry : by_function) {
        if (!entry.second.arguments.empty())
            calls.push_back(entry.second);
    }
    return calls;
}

class FaultSweep : public ::testing::TestWithParam<Scenario> {
  protected:
    void TearDown() override
    {
        reset_product();
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
    auto started = std::chrono::steady_clock::now();
    // The texts the checks know runs by come from the shipped language files.
    ASSERT_EQ(3u, catalog_texts()["SetupOk"].size()) << "SETUP_SOURCE_DIR must name the sources";
    ASSERT_EQ(3u, catalog_texts()["SetupCantStartSpooler"].size());

    // The run without faults: it passes every check, and names the calls.
    snprintf(current_run, sizeof current_run, "%s without faults", scenario.name);
    Outcome clean = run_once(scenario, {"", 0, 0, 0}, Answers::abort);
    for (const std::string &violation : clean.violations)
        ADD_FAILURE() << scenario.name << " without faults: " << violation;
    // The uninstaller of the NT family ends by replacing itself with the
    // command interpreter that deletes it.
    bool replaces_itself = scenario.kind == RunKind::uninstall && !family_95();
    EXPECT_EQ(replaces_itself ? 0 : 1, clean.exit_code) << scenario.name;
    EXPECT_EQ(replaces_itself ? 1u : 0u, winsim::execs().size()) << scenario.name;
    EXPECT_FALSE(clean.box_asked) << scenario.name;

    int calls_swept = 0;
    int runs = 1;
    int violating_runs = 0;
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
            Fault fault{swept.function, swept.before_run + (int)k + 1, (int)k + 1, error->second};
            calls_swept++;
            for (Answers answers : {Answers::abort, Answers::ignore, Answers::retry_then_abort}) {
                std::string label = describe_run(scenario, fault, answers, swept.arguments[k]);
                snprintf(current_run, sizeof current_run, "%s", label.c_str());
                Outcome outcome = run_once(scenario, fault, answers);
                runs++;
                if (!outcome.violations.empty()) {
                    violating_runs++;
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
    }
    for (const std::string &function : unknown)
        ADD_FAILURE() << "no error known for " << function << ": add it to one of the tables";

    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::cout << "fault sweep " << scenario.name << ": " << calls_swept << " calls swept, " << runs
              << " runs, " << violating_runs << " with violations, " << seconds << " s\n";
    RecordProperty("calls_swept", calls_swept);
    RecordProperty("runs", runs);
    EXPECT_GT(calls_swept, 50) << "the run made too few calls to be a real run";
}

INSTANTIATE_TEST_SUITE_P(Scenarios, FaultSweep, ::testing::ValuesIn(SCENARIOS),
                         [](const ::testing::TestParamInfo<Scenario> &info) {
                             return std::string(info.param.name);
                         });
