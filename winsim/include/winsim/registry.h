// winsim: the registry and run-time library loading, for arranging and
// checking a test's machine.
#ifndef WINSIM_REGISTRY_H
#define WINSIM_REGISTRY_H

#include <windows.h>

#include <optional>
#include <string>

namespace winsim
{

// Key paths start with their root, "HKLM\\SOFTWARE\\..." ("HKCU", "HKCR",
// "HKU" and the long names too); without one they are under HKLM. Names
// compare without regard to case.
struct RegistryValue {
    DWORD type;
    std::string data; // the bytes as stored
};

// Creates the key and those above it as needed; replaces a value of the name.
void set_registry_value(const std::string &key_path, const std::string &name, DWORD type,
                        const std::string &data);
void create_registry_key(const std::string &key_path);
bool registry_key_exists(const std::string &key_path);
std::optional<RegistryValue> registry_value(const std::string &key_path, const std::string &name);
// Every key and value in a text that compares equal exactly when the
// registries are equal; names in the case they were created with.
std::string registry_snapshot();
// Key handles that are open (not the predefined ones).
int open_key_handle_count();

// Libraries loaded with LoadLibraryA and not yet freed, counted per load.
int loaded_library_count();
// The library (e.g. "WINSPOOL.DRV") then lacks the function.
void remove_export(const std::string &library, const std::string &function);

} // namespace winsim

#endif
