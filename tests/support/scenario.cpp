#include "support/scenario.h"

#include "app/entry_point.h"
#include "resources/resource.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

const char DIST[] = "D:\\";

std::string shipped_language_file(const std::string &code)
{
    const char *source = std::getenv("SETUP_SOURCE_DIR");
    std::ifstream in(std::string(source != nullptr ? source : ".") + "/resources/lang." + code,
                     std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

std::vector<std::string> platform_payload(const std::string &tag)
{
    if (tag == "95")
        return {"tqvprint.dll", "devura.dll", "kxdrvw32.dll", "ravelo.drv", "ravtlx.drv"};
    if (tag == "W2K")
        return {"tqvprint.dll", "tqvdrv32.dll", "faxsrv.exe", "ravelo.dll", "ravtlx.ini",
                "ravelo.gpd", "ravtlx.gpd", "stdnames.gpd"};
    return {"tqvprint.dll", "tqvdrv32.dll", "faxsrv.exe", "ravelo.dll", "ravtlx.dll"};
}

std::vector<std::string> language_payload(const std::string &tag)
{
    if (tag == "95")
        return {"unidrv.dll", "unidrv.hlp"};
    if (tag == "W2K")
        return {"unidrv.dll", "unidrvui.dll", "unidrv.hlp", "unires.dll",
                "tty.dll",    "ttyui.dll",    "ttyui.hlp", "ttyres.dll"};
    return {"rasdd.dll", "rasddui.dll", "rasddui.hlp"};
}

void put_distribution(bool with_payload)
{
    std::string dist = DIST;
    winsim::put_file(dist + "setup.exe", "MZ setup program");
    for (const char *code : {"ger", "eng", "fre"})
        winsim::put_file(dist + "lang." + code, shipped_language_file(code));
    if (!with_payload)
        return;
    for (const char *tag : {"95", "nt_351", "nt_40", "W2K"}) {
        for (const std::string &name : platform_payload(tag))
            winsim::put_file(dist + tag + "\\" + name, "payload " + name);
        for (const char *code : {"ger", "eng", "fre"}) {
            for (const std::string &name : language_payload(tag))
                winsim::put_file(dist + tag + "\\" + code + "\\" + name, "payload " + name);
        }
    }
}

int run_setup()
{
    return winsim::run_program(WinMain);
}

int run_normal(int choice_button, std::string *result_text, std::function<void()> during)
{
    expect_language(IDC_ENGLISH);
    expect_choice(choice_button);
    expect_progress();
    if (during)
        during();
    expect_result(result_text);
    expect_reboot();
    return run_setup();
}

std::function<void()> one_box(int button, std::vector<std::string> *texts)
{
    return [button, texts] {
        winsim::expect_message_box([button, texts](const winsim::MessageBoxSeen &box) {
            texts->push_back(box.text);
            return button;
        });
    };
}

void expect_no_temporary_inf()
{
    for (const auto &file : file_snapshot())
        EXPECT_EQ(std::string::npos, file.first.find("\\INS")) << file.first;
}

std::string system_file(const std::string &name)
{
    return winsim::machine().system_dir + "\\" + name;
}

void expect_language(int radio_id)
{
    winsim::expect_dialog(IDD_LANGUAGE, [radio_id](winsim::Dialog &dialog) {
        dialog.click(radio_id);
        dialog.click(IDOK);
    });
}

void expect_language_cancel()
{
    winsim::expect_dialog(IDD_LANGUAGE, [](winsim::Dialog &dialog) { dialog.click(IDCANCEL); });
}

void expect_choice(int button_id, std::string *system_line, std::string *report)
{
    winsim::expect_dialog(IDD_CHOICE, [=](winsim::Dialog &dialog) {
        if (system_line != nullptr)
            *system_line = dialog.text(IDC_SYSTEM_LINE);
        if (report != nullptr)
            *report = dialog.text(IDC_REPORT);
        dialog.click(button_id);
    });
}

void expect_progress()
{
    winsim::expect_dialog(IDD_PROGRESS, [](winsim::Dialog &) {});
}

void expect_result(std::string *text)
{
    winsim::expect_dialog(IDD_RESULT, [text](winsim::Dialog &dialog) {
        if (text != nullptr)
            *text = dialog.text(IDC_RESULT_TEXT);
        dialog.click(IDOK);
    });
}

void expect_reboot(bool restart)
{
    winsim::expect_reboot_prompt(restart);
}

void answer_error_boxes(int button)
{
    winsim::answer_every_message_box([button](const winsim::MessageBoxSeen &) { return button; });
}

std::vector<std::string> status_history()
{
    return winsim::control_text_history(IDD_PROGRESS, IDC_STATUS_LINE);
}

std::vector<std::string> call_arguments(const std::string &function)
{
    std::vector<std::string> arguments;
    for (const winsim::CallRecord &call : winsim::journal()) {
        if (call.function == function)
            arguments.push_back(call.arguments);
    }
    return arguments;
}

std::string system_text(DWORD code)
{
    char *text = nullptr;
    std::string copy;
    if (FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                           FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, code, 0, (LPSTR)&text, 0, nullptr) != 0) {
        copy = text;
        LocalFree(text);
    }
    return copy;
}

static std::string spooler_directory(bool drivers)
{
    char directory[MAX_PATH] = "";
    DWORD needed = 0;
    if (drivers)
        GetPrinterDriverDirectoryA(nullptr, nullptr, 1, (LPBYTE)directory, sizeof directory, &needed);
    else
        GetPrintProcessorDirectoryA(nullptr, nullptr, 1, (LPBYTE)directory, sizeof directory, &needed);
    return directory;
}

std::string print_processor_directory()
{
    return spooler_directory(false);
}

std::string driver_directory()
{
    return spooler_directory(true);
}

static bool family_95()
{
    return winsim::machine().version.platform_id == VER_PLATFORM_WIN32_WINDOWS;
}

static bool nt5_or_later()
{
    return !family_95() && winsim::machine().version.major >= 5;
}

static winsim::DriverSetup product_driver(const std::string &name, const std::string &base)
{
    winsim::DriverSetup driver;
    driver.environment = family_95() ? "Windows 4.0" : "Windows NT x86";
    driver.name = name;
    driver.default_datatype = "RAW";
    if (family_95()) {
        driver.driver_path = driver.data_file = driver.config_file = base + ".drv";
        driver.dependent_files = {base + ".DRV"};
    } else if (!nt5_or_later()) {
        driver.version = 2;
        driver.driver_path = "rasdd.dll";
        driver.data_file = base + ".dll";
        driver.config_file = "rasddui.dll";
        driver.help_file = "rasddui.hlp";
        driver.dependent_files = {base + ".dll", "RASDD.DLL", "RASDDUI.DLL", "RASDDUI.HLP"};
    } else {
        driver.driver_path = "unidrv.dll";
        driver.data_file = base + ".gpd";
        driver.config_file = "unidrvui.dll";
        driver.help_file = "unidrv.hlp";
        driver.dependent_files = {base == "ravelo" ? "ravelo.dll" : "ravtlx.ini", "unires.dll",
                                  "stdnames.gpd"};
    }
    return driver;
}

void arrange_installed_product(const std::string &language)
{
    std::string system = winsim::machine().system_dir + "\\";
    std::string drivers = driver_directory() + "\\";
    std::string environment = family_95() ? "Windows 4.0" : "Windows NT x86";
    std::string tag = family_95() ? "95" : nt5_or_later() ? "W2K" : "nt_40";

    winsim::put_file(print_processor_directory() + "\\tqvprint.dll", "payload tqvprint.dll");
    winsim::add_print_processor(environment, "tqvprint", "tqvprint.dll");
    for (const std::string &name : language_payload(tag))
        winsim::put_file(drivers + name, "payload " + name);
    for (const std::string &name : platform_payload(tag)) {
        if (name == "tqvprint.dll")
            continue;
        bool into_system = name == "faxsrv.exe" || name == "tqvdrv32.dll" ||
                           name == "devura.dll" || name == "kxdrvw32.dll";
        winsim::put_file((into_system ? system : drivers) + name, "payload " + name);
    }
    winsim::add_printer_driver(product_driver("Ravelo Printer Driver", "ravelo"));
    winsim::add_printer_driver(product_driver("Ravelo Telex Driver", "ravtlx"));
    winsim::add_port("NUL:");
    winsim::add_printer({"Ravelo Printer Driver", "NUL:", "Ravelo Printer Driver", "tqvprint"});
    winsim::add_printer({"Ravelo Telex Driver", "NUL:", "Ravelo Telex Driver", "tqvprint"});
    if (family_95())
        winsim::add_printer({"Ravelo Merge Driver", "FILE:", "Ravelo Printer Driver", "tqvprint"});
    const std::string uninstall = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\zantrel";
    winsim::set_registry_value(uninstall, "DisplayName", REG_SZ,
                               std::string("Ravelo Printer driver ") + '\0');
    winsim::set_registry_value(uninstall, "UninstallString", REG_SZ,
                               system + "rmzantr.exe" + '\0');
    if (!family_95()) {
        winsim::set_registry_value("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run",
                                   "tqvPRINT", REG_SZ, std::string("faxsrv.exe") + '\0');
    }
    winsim::put_file(system + "rmzantr.exe", "MZ setup program");
    // The settings copy with the short name filled in, as the installation writes it.
    std::string filled;
    for (char c : shipped_language_file(language))
        filled += c == '@' ? std::string("Ravelo") : std::string(1, c);
    winsim::put_file(system + "zantrel.apd", filled);
}

MachineState capture()
{
    std::string spooler;
    std::string environment = family_95() ? "Windows 4.0" : "Windows NT x86";
    for (const std::string &processor : winsim::print_processors(environment))
        spooler += "processor " + processor + "\n";
    for (const winsim::DriverSetup &driver : winsim::printer_drivers(environment))
        spooler += "driver " + driver.name + " " + driver.driver_path + "\n";
    for (const winsim::PrinterSetup &printer : winsim::printers())
        spooler += "printer " + printer.name + " " + printer.port + " " + printer.driver + "\n";
    return {file_snapshot(), winsim::registry_snapshot(), spooler, winsim::ports()};
}

std::map<std::string, std::string> file_snapshot()
{
    std::map<std::string, std::string> files;
    for (char drive : std::string("CD")) {
        std::string root = winsim::host_path(std::string(1, drive) + ":\\");
        if (root.empty() || !std::filesystem::exists(root))
            continue;
        for (const auto &entry : std::filesystem::recursive_directory_iterator(root)) {
            if (!entry.is_regular_file())
                continue;
            std::string relative = entry.path().string().substr(root.size());
            std::string windows_path = std::string(1, drive) + ":";
            for (char c : relative)
                windows_path += c == '/' ? '\\' : c;
            files[windows_path] = winsim::file_bytes(windows_path);
        }
    }
    return files;
}
