// winsim: kernel32's run-time library loading. The one library a program
// loads here is the spooler's client, WINSPOOL.DRV, whose functions are
// winsim's own.
#include "winsim_internal.h"
#include "machine_state.h"
#include "paths.h"

#include <winsim/registry.h>
#include <winspool.h>

#include <map>
#include <set>

namespace
{

struct Export {
    const char *name;
    FARPROC address;
    // The Windows versions whose library has it.
    bool (*present)(const winsim::Version &version);
};

bool always(const winsim::Version &)
{
    return true;
}

bool windows_2000_or_later(const winsim::Version &version)
{
    return version.platform_id == VER_PLATFORM_WIN32_NT && version.major >= 5;
}

// Through the generic function type, which converts to any other.
template <typename Function> FARPROC address_of(Function *function)
{
    return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)(void)>(function));
}

const Export winspool_exports[] = {
    {"AddPrintProcessorA", address_of(AddPrintProcessorA), always},
    {"AddPrinterA", address_of(AddPrinterA), always},
    {"AddPrinterDriverA", address_of(AddPrinterDriverA), always},
    {"ClosePrinter", address_of(ClosePrinter), always},
    {"DeletePrintProcessorA", address_of(DeletePrintProcessorA), always},
    {"DeletePrinter", address_of(DeletePrinter), always},
    {"DeletePrinterDriverA", address_of(DeletePrinterDriverA), always},
    {"DeletePrinterDriverExA", address_of(DeletePrinterDriverExA), windows_2000_or_later},
    {"EnumPortsA", address_of(EnumPortsA), always},
    {"EnumPrintProcessorsA", address_of(EnumPrintProcessorsA), always},
    {"EnumPrinterDriversA", address_of(EnumPrinterDriversA), always},
    {"EnumPrintersA", address_of(EnumPrintersA), always},
    {"GetPrintProcessorDirectoryA", address_of(GetPrintProcessorDirectoryA), always},
    {"GetPrinterA", address_of(GetPrinterA), always},
    {"GetPrinterDriverDirectoryA", address_of(GetPrinterDriverDirectoryA), always},
    {"OpenPrinterA", address_of(OpenPrinterA), always},
    {"SetPrinterA", address_of(SetPrinterA), always},
};

const char winspool_file[] = "WINSPOOL.DRV";

struct Module {
    std::string file; // as the library is known
    int loads;
};

struct Libraries {
    std::map<HMODULE, Module> loaded;
    std::set<std::pair<std::string, std::string>> removed; // file, function
};

// Kept under the machine's lock.
Libraries &libraries()
{
    static Libraries kept;
    return kept;
}

std::string upper(const std::string &text)
{
    std::string result = text;
    for (char &c : result)
        c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    return result;
}

// The library a name means: a file name is looked for in the system
// directory; a name without an extension gets ".dll" (a trailing dot
// means none). Empty when it is not a library winsim has.
std::string library_file(Machine &m, const std::string &name)
{
    std::string::size_type cut = name.find_last_of("\\/");
    std::string file = cut == std::string::npos ? name : name.substr(cut + 1);
    if (cut != std::string::npos && !same_name(name.substr(0, cut), m.setup.system_dir))
        return std::string();
    if (file.find('.') == std::string::npos)
        file += ".dll";
    else if (file.back() == '.')
        file.pop_back();
    return same_name(file, winspool_file) ? winspool_file : std::string();
}

std::string module_text(HMODULE module)
{
    Machine &m = the_machine();
    std::lock_guard<std::recursive_mutex> hold(m.lock);
    auto found = libraries().loaded.find(module);
    if (found == libraries().loaded.end())
        return module == nullptr ? std::string("NULL")
                                 : describe("%p", static_cast<void *>(module));
    return found->second.file;
}

} // namespace

namespace winsim
{

void boot_libraries()
{
    libraries() = Libraries();
}

int loaded_library_count()
{
    Machine &m = the_machine();
    std::lock_guard<std::recursive_mutex> hold(m.lock);
    int loads = 0;
    for (const auto &module : libraries().loaded)
        loads += module.second.loads;
    return loads;
}

void remove_export(const std::string &library, const std::string &function)
{
    Machine &m = the_machine();
    std::lock_guard<std::recursive_mutex> hold(m.lock);
    libraries().removed.insert({upper(library), function});
}

} // namespace winsim

// Each load of a loaded library counts and returns the same handle.
extern "C" HMODULE WINAPI LoadLibraryA(LPCSTR lpLibFileName)
{
    Call call(__func__, quoted(lpLibFileName));
    const HMODULE none = nullptr;
    if (call.faulted())
        return call.fail_injected(none);
    Machine &m = the_machine();
    std::lock_guard<std::recursive_mutex> hold(m.lock);
    if (lpLibFileName == nullptr)
        return call.fail(none, ERROR_INVALID_PARAMETER);
    // The 95 family's loader reports a missing library as ERROR_DLL_NOT_FOUND.
    std::string file = library_file(m, lpLibFileName);
    if (file.empty())
        return call.fail(none, m.setup.version.platform_id == VER_PLATFORM_WIN32_NT
                                   ? ERROR_MOD_NOT_FOUND
                                   : ERROR_DLL_NOT_FOUND);
    for (auto &module : libraries().loaded) {
        if (module.second.file == file) {
            module.second.loads++;
            return call.done(module.first);
        }
    }
    HMODULE module = static_cast<HMODULE>(m.new_handle());
    libraries().loaded[module] = {file, 1};
    return call.done(module);
}

// Export names are matched exactly, case and all; ordinals are not
// modelled. Windows 2000 brought DeletePrinterDriverExA to the spooler's
// library: earlier ones lack it.
extern "C" FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName)
{
    bool by_name = reinterpret_cast<uintptr_t>(lpProcName) > 0xFFFF;
    Call call(__func__, describe("%s, %s", module_text(hModule).c_str(),
                                 by_name ? quoted(lpProcName).c_str() : "ordinal"));
    void *const none = nullptr;
    if (call.faulted())
        return reinterpret_cast<FARPROC>(call.fail_injected(none));
    Machine &m = the_machine();
    std::lock_guard<std::recursive_mutex> hold(m.lock);
    auto module = libraries().loaded.find(hModule);
    if (module == libraries().loaded.end())
        return reinterpret_cast<FARPROC>(call.fail(none, ERROR_MOD_NOT_FOUND));
    if (!by_name || libraries().removed.count({upper(module->second.file), lpProcName}) != 0)
        return reinterpret_cast<FARPROC>(call.fail(none, ERROR_PROC_NOT_FOUND));
    for (const Export &entry : winspool_exports) {
        if (std::string(entry.name) == lpProcName && entry.present(m.setup.version))
            return reinterpret_cast<FARPROC>(call.done(reinterpret_cast<void *>(entry.address)));
    }
    return reinterpret_cast<FARPROC>(call.fail(none, ERROR_PROC_NOT_FOUND));
}

// The library goes with its last load's FreeLibrary.
extern "C" BOOL WINAPI FreeLibrary(HMODULE hLibModule)
{
    Call call(__func__, module_text(hLibModule));
    if (call.faulted())
        return call.fail_injected(FALSE);
    Machine &m = the_machine();
    std::lock_guard<std::recursive_mutex> hold(m.lock);
    auto module = libraries().loaded.find(hLibModule);
    if (module == libraries().loaded.end())
        return call.fail(FALSE, ERROR_MOD_NOT_FOUND);
    if (--module->second.loads == 0)
        libraries().loaded.erase(module);
    return call.done(TRUE);
}
