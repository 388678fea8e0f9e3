#include "sweep/run_checks.h"

#include "app/exit_codes.h"
#include "app/setup_state.h"
#include "resources/resource.h"
#include "setup/platform_branch.h"
#include "setup/product_names.h"

#include <algorithm>
#include <map>
#include <set>
#include <sstream>

bool family_95()
{
    return winsim::machine().version.platform_id == VER_PLATFORM_WIN32_WINDOWS;
}

std::string branch_folder()
{
    if (family_95())
        return "95";
    if (winsim::machine().version.major >= 5)
        return "W2K";
    return winsim::machine().version.major == 3 ? "nt_351" : "nt_40";
}

const std::string &language_file(const std::string &code)
{
    static std::map<std::string, std::string> files;
    auto found = files.find(code);
    if (found == files.end())
        found = files.emplace(code, shipped_language_file(code)).first;
    return found->second;
}

void put_branch_distribution(const std::string &folder, bool with_payload)
{
    std::string dist = folder;
    if (dist.back() != '\\')
        dist += '\\';
    winsim::put_file(dist + "setup.exe", "MZ setup program");
    for (const char *code : {"ger", "eng", "fre"})
        winsim::put_file(dist + "lang." + code, language_file(code));
    if (!with_payload)
        return;
    // A file whose path Windows could not hold is missing from the medium.
    auto put = [](const std::string &path, const std::string &bytes) {
        if (path.size() < MAX_PATH)
            winsim::put_file(path, bytes);
    };
    std::string tag = branch_folder();
    for (const std::string &name : platform_payload(tag))
        put(dist + tag + "\\" + name, "payload " + name);
    for (const char *code : {"ger", "eng", "fre"}) {
        for (const std::string &name : language_payload(tag))
            put(dist + tag + "\\" + code + "\\" + name, "payload " + name);
    }
}

namespace {

// ---- The product's own objects: only these may change in a run.

// A line of winsim::spooler_snapshot(): its kind ("processor", "driver",
// "printer", "port") and its fields, trimmed.
std::vector<std::string> spooler_fields(const std::string &line, std::string *kind)
{
    std::vector<std::string> fields;
    std::string::size_type start = line.find(' ');
    *kind = line.substr(0, start);
    std::stringstream split(start == std::string::npos ? "" : line.substr(start + 1));
    std::string field;
    while (std::getline(split, field, '|')) {
        std::string::size_type a = field.find_first_not_of(' ');
        std::string::size_type b = field.find_last_not_of(' ');
        fields.push_back(a == std::string::npos ? "" : field.substr(a, b - a + 1));
    }
    return fields;
}

std::string upper(std::string text)
{
    for (char &c : text)
        c = (char)toupper((unsigned char)c);
    return text;
}

std::string environment()
{
    return family_95() ? "Windows 4.0" : "Windows NT x86";
}

bool is_product_driver(const std::string &name)
{
    return is_product_driver_name(name.c_str()) != 0;
}

struct ProductObjects {
    std::set<std::string> files; // upper-case Windows paths

    // Reads the machine's directories; call before the run.
    void collect()
    {
        std::string system = winsim::machine().system_dir + "\\";
        std::string drivers = driver_directory() + "\\";
        for (const PlatformFolder &folder : PLATFORM_FOLDERS) {
            for (const char *const *name = folder.branch->system_files; *name != nullptr; name++)
                files.insert(upper(system + *name));
        }
        files.insert(upper(system + UNINSTALLER_FILE));
        files.insert(upper(system + SETTINGS_COPY_FILE));
        files.insert(upper(print_processor_directory() + "\\" PRINT_PROCESSOR_FILE));
        for (const std::string &name : platform_payload(branch_folder()))
            files.insert(upper(drivers + name));
        for (const std::string &name : language_payload(branch_folder()))
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
        return upper(key).rfind(upper("HKLM\\" UNINSTALL_KEY), 0) == 0;
    }
    static bool is_registry_value(const std::string &key, const std::string &value_line)
    {
        return upper(key) == upper("HKLM\\" RUN_KEY) &&
               upper(value_line).rfind(upper("  \"" RUN_VALUE_NAME "\""), 0) == 0;
    }

    // A line of winsim::spooler_snapshot(): the print processor, the
    // drivers, the printers that use them, and the port "NUL:".
    static bool is_spooler_line(const std::string &line)
    {
        std::string kind;
        std::vector<std::string> fields = spooler_fields(line, &kind);
        if (kind == "port")
            return fields.size() == 1 && fields[0] == "NUL:";
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

// ---- The package as a whole: what an installation adds and a removal
// takes away, from the product's own records of its platform branch.

const PlatformBranch &machine_branch()
{
    for (const PlatformFolder &folder : PLATFORM_FOLDERS) {
        if (branch_folder() == folder.tag)
            return *folder.branch;
    }
    return *PLATFORM_FOLDERS[0].branch;
}

// Each part by name, and whether the machine holds it.
std::map<std::string, bool> package_parts(RunKind kind)
{
    const PlatformBranch &branch = machine_branch();
    std::string system = winsim::machine().system_dir + "\\";
    std::map<std::string, bool> parts;
    auto file = [&parts](const std::string &path) {
        parts["file " + path] = winsim::file_present(path);
    };
    if (kind == RunKind::install) {
        for (const char *const *name = branch.system_files; *name != nullptr; name++)
            file(system + *name);
        for (const char *const *name = branch.driver_files; *name != nullptr; name++)
            file(driver_directory() + "\\" + *name);
        file(print_processor_directory() + "\\" PRINT_PROCESSOR_FILE);
        file(system + UNINSTALLER_FILE);
        file(system + SETTINGS_COPY_FILE);
    } else {
        for (const RemovedFile *removed = branch.removed_files; removed->name != nullptr; removed++)
            file((removed->place == IN_SYSTEM_DIR            ? system
                  : removed->place == IN_PRINT_PROCESSOR_DIR ? print_processor_directory() + "\\"
                                                             : driver_directory() + "\\") +
                 removed->name);
    }
    // The removal takes every driver of the product, the installation adds two.
    std::vector<std::string> drivers = {FAX_DRIVER_NAME, TELEX_DRIVER_NAME};
    if (kind != RunKind::install)
        drivers.insert(drivers.end(), {BITMAP_DRIVER_NAME, TELEX_95_DRIVER_NAME});
    for (const std::string &driver : drivers) {
        parts["driver " + driver] = false;
        parts["printer on " + driver] = false;
    }
    parts["print processor " PRINT_PROCESSOR_NAME] = false;
    int fax_printers = 0;
    std::stringstream spooler(winsim::spooler_snapshot());
    std::string line, what;
    while (std::getline(spooler, line)) {
        std::vector<std::string> f = spooler_fields(line, &what);
        if (what == "processor" && f.size() > 1 && f[0] == environment() && f[1] == PRINT_PROCESSOR_NAME)
            parts["print processor " PRINT_PROCESSOR_NAME] = true;
        if (what == "driver" && f.size() > 1 && f[0] == environment() && parts.count("driver " + f[1]))
            parts["driver " + f[1]] = true;
        if (what == "printer" && f.size() > 3 && f[0].empty() && parts.count("printer on " + f[3]))
            parts["printer on " + f[3]] = true;
        if (what == "printer" && f.size() > 3 && f[0].empty() && f[3] == FAX_DRIVER_NAME)
            fax_printers++;
    }
    // The 95 family's merge printer uses the fax driver too.
    if (kind == RunKind::install && family_95())
        parts["second printer on " FAX_DRIVER_NAME] = fax_printers > 1;
    parts["uninstall entry"] = winsim::registry_key_exists(std::string("HKLM\\") + UNINSTALL_KEY);
    if (!family_95())
        parts["autostart value"] =
            winsim::registry_value(std::string("HKLM\\") + RUN_KEY, RUN_VALUE_NAME).has_value();
    return parts;
}

const char *const SERVICES[] = {"Spooler", "Fax", "FaxClient"};

} // namespace

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
    // Where a path composed from an unread directory would point.
    winsim::put_file(winsim::machine().current_dir.substr(0, 2) + "\\tqvprint.dll",
                     "foreign file of the same name");
    if (!family_95()) {
        // Services that need the spooler, so that its whole tree is stopped.
        winsim::add_service({"Fax", {"Spooler"}});
        winsim::add_service({"FaxClient", {"Fax"}});
        // The earlier installation's fax server is running.
        winsim::open_window("FaxSrvClass", "", winsim::ClosesOn::system_close_command);
    }
    winsim::open_window("kxprnwnd_Administrator", "", winsim::ClosesOn::close_message);
}

const char *answers_name(Answers answers)
{
    switch (answers) {
    case Answers::abort:
        return "Abort";
    case Answers::ignore:
        return "Ignore";
    case Answers::retry_then_abort:
        return "Retry once, then Abort";
    case Answers::retry_twice_then_abort:
        return "Retry twice, then Abort";
    case Answers::retry_then_ignore:
        return "Retry once, then Ignore";
    case Answers::retry_always:
        return "Retry always";
    }
    return "";
}

namespace {

// The value of each key in each shipped language file, "\n" as CR LF.
std::map<std::string, std::vector<std::string>> &all_catalog_texts()
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
        for (const std::string &value : catalog_texts(key)) {
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

// The text of a MessageBoxA call as the journal has it: owner, "text",
// "caption", type.
std::string box_text_of(const winsim::CallRecord &call)
{
    std::string::size_type start = call.arguments.find(", \"");
    std::string::size_type end = call.arguments.find("\", \"", start + 1);
    if (start == std::string::npos || end == std::string::npos)
        return "";
    return call.arguments.substr(start + 3, end - start - 3);
}

// Whether the spooler stays stopped because the user let it: the last
// question about its start was answered other than Retry (or could not be
// shown), and no start was tried after it. Every start opens the service
// manager first, and a start that fails asks again.
bool spooler_left_stopped(const std::vector<winsim::CallRecord> &journal, size_t run_start)
{
    size_t last_question = journal.size();
    for (size_t i = run_start; i < journal.size(); i++) {
        if (journal[i].function != "MessageBoxA")
            continue;
        std::string text = box_text_of(journal[i]);
        if (is_catalog_text(text.substr(0, text.find("\r\n")), {"SetupCantStartSpooler"}))
            last_question = i;
    }
    if (last_question == journal.size() || journal[last_question].result == std::to_string(IDRETRY))
        return false;
    for (size_t i = last_question + 1; i < journal.size(); i++) {
        if (journal[i].function == "OpenSCManagerA")
            return false;
    }
    return true;
}

// The product writes the autostart value, and deletes it, the uninstall
// entry and its files, without looking at the results: a fault in those
// calls leaves the part as it was, unseen, and the run still succeeds.
bool unseen_by_design(const std::string &part, const Fault &fault)
{
    static const std::map<std::string, std::set<std::string>> unchecked_calls = {
        {"autostart value", {"RegCreateKeyExA", "RegSetValueExA", "RegOpenKeyExA", "RegDeleteValueA"}},
        {"uninstall entry", {"RegDeleteKeyA"}},
        {"file", {"_unlink"}},
    };
    std::string what = part.rfind("file ", 0) == 0 ? "file" : part;
    auto calls = unchecked_calls.find(what);
    return calls != unchecked_calls.end() && calls->second.count(fault.function) != 0;
}

// Whether the system's text for the fault's error was shown, in a result
// dialog or a box.
bool fault_shown(const Fault &fault, const std::string *quiet_log)
{
    if (fault.function.empty())
        return false;
    if (quiet_log != nullptr) {
        std::string code = std::to_string(fault.error);
        return quiet_log->find("error " + code + ":") != std::string::npos ||
               quiet_log->find("own exit code " + code) != std::string::npos;
    }
    std::string error_text = system_text(fault.error);
    std::vector<std::string> shown = winsim::control_text_history(IDD_RESULT, IDC_RESULT_TEXT);
    for (const winsim::MessageBoxSeen &box : winsim::message_boxes_shown())
        shown.push_back(box.text);
    for (const std::string &text : shown) {
        if (!error_text.empty() && text.find(error_text) != std::string::npos)
            return true;
    }
    return false;
}

// ---- Quiet runs: no one is asked, the log tells.

// The log's lines, after their time stamps.
std::vector<std::string> log_lines(const std::string &log)
{
    std::vector<std::string> lines;
    std::stringstream text(log);
    for (std::string line; std::getline(text, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line.size() > 24 ? line.substr(24) : line);
    }
    return lines;
}

// The answer of each question the log records ("question KEY, answer X,
// error N: text"), for one key or, with no key, every one.
std::vector<std::string> quiet_answers(const std::vector<std::string> &lines, const std::string &key)
{
    std::vector<std::string> answers;
    std::string head = "question " + key;
    for (const std::string &line : lines) {
        std::string::size_type at = line.find(", answer ");
        if (line.rfind(head, 0) == 0 && at != std::string::npos)
            answers.push_back(line.substr(at + 9, line.find(',', at + 9) - at - 9));
    }
    return answers;
}

// What no quiet run may do: show a window, end with a code outside the
// table, or end its log without naming the code.
void check_quiet_run(const std::vector<winsim::CallRecord> &journal, size_t run_start,
                     const std::vector<std::string> &lines, const std::string &log_path,
                     int exit_code, std::vector<std::string> *v)
{
    for (size_t i = run_start; i < journal.size(); i++) {
        const std::string &f = journal[i].function;
        if (f == "DialogBoxParamA" || f == "MessageBoxA" || f == "SetupPromptReboot")
            v->push_back("quiet run showed a window: " + f + "(" + journal[i].arguments + ")");
    }
    if (winsim::setup_progress_windows_shown() != 0)
        v->push_back("quiet run showed the Setup API's copy progress window");
    // The package's fax server shows its own window in every run.
    for (const winsim::ProcessStart &started : winsim::started_processes()) {
        if (started.show_window != SW_HIDE &&
            upper(started.application).find(upper(FAX_SERVER_FILE)) == std::string::npos)
            v->push_back("quiet run started a visible process: " + started.command_line);
    }
#define SWEEP_EXIT_CODE(name, number, meaning) number,
    static const std::set<int> codes = {SETUP_EXIT_CODE_LIST(SWEEP_EXIT_CODE)};
#undef SWEEP_EXIT_CODE
    if (codes.count(exit_code) == 0)
        v->push_back("exit code " + std::to_string(exit_code) + " is not one of the table");
    // A log line that cannot be opened or written is lost by design (the
    // disk is full, the file went): the last one may be.
    bool last_write_failed = false;
    for (size_t i = run_start; i < journal.size(); i++) {
        const winsim::CallRecord &call = journal[i];
        if ((call.function == "fopen" || call.function == "WriteFile") &&
            call.arguments.find(log_path) != std::string::npos)
            last_write_failed = call.result == "NULL" || call.result == "0";
    }
    std::string last = lines.empty() ? "no log" : lines.back();
    if (!last_write_failed && last != "exit code " + std::to_string(exit_code))
        v->push_back("exit code " + std::to_string(exit_code) + ", the log ends: " + last);
}

} // namespace

const std::vector<std::string> &catalog_texts(const std::string &key)
{
    return all_catalog_texts()[key];
}

Verdict classify(const std::string &text)
{
    if (is_catalog_text(text, {"SetupOk", "SetupOk95", "RemoveOk", "RemoveOk95"}))
        return Verdict::success;
    if (is_catalog_text(text, {"SetupFailed", "RemoveFailed"}))
        return Verdict::failure;
    return Verdict::none;
}

namespace {

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


} // namespace

std::shared_ptr<std::vector<BoxAnswered>> script_user(RunKind kind, Answers answers)
{
    auto answered = std::make_shared<std::vector<BoxAnswered>>();
    // English when it can be had, else the language offered.
    winsim::answer_every_dialog(IDD_LANGUAGE, [](winsim::Dialog &dialog) {
        if (dialog.enabled(IDC_ENGLISH))
            dialog.click(IDC_ENGLISH);
        dialog.click(IDOK);
    });
    int choice = kind == RunKind::install ? IDC_INSTALL : IDC_REMOVE;
    winsim::answer_every_dialog(IDD_CHOICE, [choice](winsim::Dialog &dialog) { dialog.click(choice); });
    winsim::answer_every_dialog(IDD_PROGRESS, [](winsim::Dialog &) {});
    winsim::answer_every_dialog(IDD_RESULT, [](winsim::Dialog &dialog) { dialog.click(IDOK); });
    // The first boxes of the run are retried, the rest get the final answer.
    size_t retries = answers == Answers::retry_always           ? SIZE_MAX
                     : answers == Answers::retry_twice_then_abort ? 2
                     : answers == Answers::retry_then_abort ||
                             answers == Answers::retry_then_ignore
                         ? 1
                         : 0;
    int final_answer =
        answers == Answers::ignore || answers == Answers::retry_then_ignore ? IDIGNORE : IDABORT;
    winsim::answer_every_message_box([retries, final_answer, answered](const winsim::MessageBoxSeen &box) {
        int button = answered->size() < retries ? IDRETRY : final_answer;
        answered->push_back({box.text, button});
        return button;
    });
    if (kind != RunKind::uninstall)
        expect_reboot(false);
    return answered;
}

struct RunChecks::State {
    ProductObjects product;
    ForeignState before;
    size_t run_start; // the journal's length when the run began
};

RunChecks::RunChecks() : state_(new State)
{
    state_->product.collect();
    state_->before = foreign_state(state_->product);
    state_->run_start = winsim::journal().size();
}

RunChecks::~RunChecks() = default;

std::vector<std::string> RunChecks::after_run(RunKind kind, int exit_code,
                                              const std::vector<BoxAnswered> &answered,
                                              const Fault &fault) const
{
    std::vector<std::string> v;
    std::vector<winsim::CallRecord> journal = winsim::journal();

    // It ended, and every dialog it showed was ended too.
    for (const std::string &failure : winsim::script_failures())
        v.push_back("user interface: " + failure);
    for (const std::string &failure : winsim::setup_api_script_failures())
        v.push_back("Setup API prompt: " + failure);
    for (const std::string &unused : winsim::unused_expectations()) {
        if (fault.function != "SetupPromptReboot")
            v.push_back("never came: " + unused);
    }

    // The services it stopped run again, unless the user gave up on the
    // spooler's start. A service that cannot come back fails that start
    // by itself: the others must still run then.
    // A quiet run retries the spooler's start twice, then gives up on it.
    std::vector<std::string> lines = log_lines(log);
    std::vector<std::string> spooler_answers = quiet_answers(lines, "SetupCantStartSpooler");
    services_skipped = !family_95() && fault.cannot_run.empty() &&
                       (quiet ? !spooler_answers.empty() && spooler_answers.back() != "Retry"
                              : spooler_left_stopped(journal, state_->run_start));
    if (!family_95()) {
        if (!services_skipped) {
            for (const char *service : SERVICES) {
                DWORD state = winsim::service_state(service);
                bool can_run = std::find(fault.cannot_run.begin(), fault.cannot_run.end(),
                                         service) == fault.cannot_run.end();
                if (can_run && state != 0 && state != SERVICE_RUNNING)
                    v.push_back("service left in state " + std::to_string(state) + ": " + service);
            }
        }
    }

    // Nothing foreign changed; the temporary INF is gone.
    for (const std::string &change : foreign_changes(state_->before, foreign_state(state_->product)))
        v.push_back(change);
    // (A file cannot go while every deletion fails.)
    bool deletions_fail = fault.persistent && (fault.function == "_unlink" ||
                                               fault.function == "DeleteFileA");
    for (const auto &file : file_snapshot()) {
        if (ProductObjects::is_temporary_inf(file.first) && !deletions_fail)
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
            v.push_back("left open: " + std::to_string(count.count) + " " + count.what);
    }

    // A failed run does not end with a success text, and the exit code
    // tells the same as the text. A run failed when the user aborted at
    // any box, or went on past a failed step.
    bool step_failed = false;
    for (const BoxAnswered &box : answered) {
        if (box.button == IDABORT || (box.button == IDIGNORE && is_step_box(box.text)))
            step_failed = true;
    }
    bool replaced = false;
    for (size_t i = state_->run_start; i < journal.size(); i++) {
        // A box that could not be shown counts as Ignore.
        if (journal[i].function == "MessageBoxA" && journal[i].result == "0")
            step_failed = true;
        if (journal[i].function == "_execl" && journal[i].result == "0")
            replaced = true;
    }
    // A quiet run's answers are in its log; it never answers Ignore.
    for (const std::string &answer : quiet_answers(lines, ""))
        step_failed = step_failed || answer != "Retry";
    // The quiet uninstaller starts its hidden interpreter and goes on.
    bool deleting = replaced;
    for (const winsim::ProcessStart &started : winsim::started_processes())
        deleting = deleting || upper(started.application).find("CMD.EXE") != std::string::npos;
    std::string final_text;
    Verdict verdict =
        final_verdict(kind == RunKind::uninstall
                          ? status_history()
                          : winsim::control_text_history(IDD_RESULT, IDC_RESULT_TEXT),
                      &final_text);
    // A quiet run's result is its log's result line; a log that lost it
    // leaves the exit code.
    if (quiet) {
        std::vector<std::string> results;
        for (const std::string &line : lines) {
            if (line.rfind("result ", 0) == 0)
                results.push_back(line.substr(7));
        }
        final_text = results.empty() ? "exit code " + std::to_string(exit_code) : results.back();
        verdict = !results.empty()                  ? classify(results.back())
                  : exit_code == EXIT_RESTART_REQUIRED ? Verdict::success
                  : exit_code == EXIT_FAILED           ? Verdict::failure
                                                       : Verdict::none;
        check_quiet_run(journal, state_->run_start, lines, log_path, exit_code, &v);
    }
    if (step_failed && verdict == Verdict::success)
        v.push_back("a step failed, yet the result says success: " + final_text);
    bool says_failure = quiet ? exit_code != EXIT_RESTART_REQUIRED : exit_code == 0;
    if (!replaced && verdict != Verdict::none && says_failure != (verdict == Verdict::failure))
        v.push_back("exit code " + std::to_string(exit_code) + " with the result: " + final_text);
    if (quiet && verdict == Verdict::failure && exit_code != EXIT_FAILED)
        v.push_back("a failed quiet run ends with " + std::to_string(exit_code));

    // A success leaves the whole package, a removal's success none of it,
    // unless the user was shown the failure on the way (the steps show some
    // failures at once and go on).
    if (verdict == Verdict::success && !fault_shown(fault, quiet ? &log : nullptr)) {
        for (const auto &part : package_parts(kind)) {
            if (unseen_by_design(part.first, fault))
                continue;
            if (kind == RunKind::install && !part.second)
                v.push_back("the installation succeeded without its " + part.first);
            if (kind != RunKind::install && part.second)
                v.push_back("the removal succeeded, leaving its " + part.first);
        }
    }

    // The uninstaller of the NT family deletes itself when, and only when,
    // the uninstall entry no longer names it; an entry it could not read
    // counts as there, and so does one whose interpreter did not start.
    if (kind == RunKind::uninstall && !family_95()) {
        bool entry = winsim::registry_key_exists(
            "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\zantrel");
        std::string system = winsim::machine().system_dir + "\\";
        if (deleting && entry)
            v.push_back("the uninstaller deleted itself while the uninstall entry names it: " +
                        final_text);
        if (deleting && (winsim::file_present(system + "rmzantr.exe") ||
                         winsim::file_present(system + "zantrel.apd")))
            v.push_back("the uninstaller's delete command left its copy");
        if (!deleting && !entry && fault.function != "_execl" && fault.function != "CreateProcessA" &&
            fault.function != "RegOpenKeyExA")
            v.push_back("the uninstaller kept its copy though nothing names it: " + final_text);
    }
    return v;
}
