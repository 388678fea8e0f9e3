// winsim: advapi32's registry calls, and the helpers with which tests
// arrange and read the registry. The win.ini profile and library loading
// live in profile.cpp and library.cpp.
#include "winsim_internal.h"
#include "machine_state.h"
#include "paths.h"

#include <winsim/registry.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <memory>

namespace
{

struct Value {
    std::string name;
    DWORD type;
    std::string data;
};

struct Key {
    std::string name; // as created
    Key *parent = nullptr;
    std::vector<std::shared_ptr<Key>> subkeys;
    std::vector<Value> values;
    // A deleted key stays behind the handles that still name it.
    bool deleted = false;
};

struct KeyHandle {
    std::shared_ptr<Key> key;
    REGSAM access;
    std::string path; // for the journal
};

struct Root {
    HKEY handle;
    const char *short_name;
    const char *long_name;
};

const Root roots[] = {
    {HKEY_CLASSES_ROOT, "HKCR", "HKEY_CLASSES_ROOT"},
    {HKEY_CURRENT_USER, "HKCU", "HKEY_CURRENT_USER"},
    {HKEY_LOCAL_MACHINE, "HKLM", "HKEY_LOCAL_MACHINE"},
    {HKEY_USERS, "HKU", "HKEY_USERS"},
};
const int root_count = sizeof roots / sizeof roots[0];

struct Registry {
    std::shared_ptr<Key> trees[root_count];
    std::map<HKEY, KeyHandle> handles;
};

// Kept under the machine's lock.
Registry &registry()
{
    static Registry kept;
    return kept;
}

bool nt_family()
{
    return winsim::machine().version.platform_id == VER_PLATFORM_WIN32_NT;
}

std::vector<std::string> components(const std::string &path)
{
    std::vector<std::string> parts;
    std::string::size_type start = 0;
    while (start <= path.size()) {
        std::string::size_type cut = path.find('\\', start);
        if (cut == std::string::npos)
            cut = path.size();
        if (cut > start)
            parts.push_back(path.substr(start, cut - start));
        start = cut + 1;
    }
    return parts;
}

Key *subkey(Key &key, const std::string &name)
{
    for (const std::shared_ptr<Key> &child : key.subkeys) {
        if (same_name(child->name, name))
            return child.get();
    }
    return nullptr;
}

std::shared_ptr<Key> shared(Key *key)
{
    if (key->parent == nullptr) {
        for (const std::shared_ptr<Key> &tree : registry().trees) {
            if (tree.get() == key)
                return tree;
        }
    }
    for (const std::shared_ptr<Key> &child : key->parent->subkeys) {
        if (child.get() == key)
            return child;
    }
    return nullptr;
}

// The key below `from` that the path names; null when one is missing.
Key *walk(Key *from, const std::string &path)
{
    for (const std::string &part : components(path)) {
        from = subkey(*from, part);
        if (from == nullptr)
            return nullptr;
    }
    return from;
}

Key *create_path(Key *from, const std::string &path, bool *created)
{
    for (const std::string &part : components(path)) {
        Key *next = subkey(*from, part);
        if (next == nullptr) {
            auto made = std::make_shared<Key>();
            made->name = part;
            made->parent = from;
            from->subkeys.push_back(made);
            next = made.get();
            if (created != nullptr)
                *created = true;
        }
        from = next;
    }
    return from;
}

Value *find_value(Key &key, const char *name)
{
    std::string wanted = name == nullptr ? std::string() : std::string(name);
    for (Value &value : key.values) {
        if (same_name(value.name, wanted))
            return &value;
    }
    return nullptr;
}

void set_value(Key &key, const std::string &name, DWORD type, const std::string &data)
{
    if (Value *existing = find_value(key, name.c_str())) {
        existing->type = type;
        existing->data = data;
    } else {
        key.values.push_back({name, type, data});
    }
}

// Handles keep a deleted key alive, but not the keys above it.
void mark_deleted(Key &key)
{
    key.deleted = true;
    key.parent = nullptr;
    for (const std::shared_ptr<Key> &child : key.subkeys)
        mark_deleted(*child);
}

// The key an HKEY stands for: a predefined root, or an open handle (with
// its rights). A handle whose key was deleted reports ERROR_KEY_DELETED.
LONG open_key(HKEY handle, Key **key, REGSAM *access)
{
    Registry &r = registry();
    for (int i = 0; i < root_count; i++) {
        if (handle == roots[i].handle) {
            *key = r.trees[i].get();
            *access = KEY_ALL_ACCESS;
            return ERROR_SUCCESS;
        }
    }
    auto found = r.handles.find(handle);
    if (found == r.handles.end())
        return ERROR_INVALID_HANDLE;
    if (found->second.key->deleted)
        return ERROR_KEY_DELETED;
    *key = found->second.key.get();
    *access = found->second.access;
    return ERROR_SUCCESS;
}

// Only the NT family's registry has security: the 95 family ignores the
// rights a key was opened with.
bool granted(REGSAM access, REGSAM right)
{
    return !nt_family() || (access & right) == right;
}

// Generic rights stand for the key rights of the registry's mapping.
REGSAM key_rights(REGSAM desired)
{
    REGSAM rights = desired & ~static_cast<REGSAM>(GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE |
                                                   GENERIC_ALL);
    if (desired & GENERIC_READ)
        rights |= KEY_READ;
    if (desired & GENERIC_WRITE)
        rights |= KEY_WRITE;
    if (desired & GENERIC_EXECUTE)
        rights |= KEY_EXECUTE;
    if (desired & GENERIC_ALL)
        rights |= KEY_ALL_ACCESS;
    return rights;
}

std::string full_name(const Key *key)
{
    if (key->parent == nullptr)
        return key->name;
    return full_name(key->parent) + "\\" + key->name;
}

HKEY new_key_handle(Machine &m, Key *key, REGSAM access)
{
    HKEY handle = static_cast<HKEY>(m.new_handle());
    registry().handles[handle] = {shared(key), key_rights(access), full_name(key)};
    return handle;
}

// The journal's name for a key handle: the key's path.
std::string key_text(HKEY handle)
{
    Machine &m = the_machine();
    std::lock_guard<std::recursive_mutex> hold(m.lock);
    for (const Root &root : roots) {
        if (handle == root.handle)
            return root.short_name;
    }
    auto found = registry().handles.find(handle);
    if (found == registry().handles.end())
        return handle == nullptr ? std::string("NULL")
                                 : describe("%p", static_cast<void *>(handle));
    return found->second.path;
}

// Registry calls return their status and leave the last error alone; an
// injected fault is returned as the status too.
LONG status(Call &call, LONG result)
{
    return call.done(result);
}

// A test's key path: a root name first, or HKLM when it names none.
Key *test_root(const std::string &path, std::string *rest)
{
    std::vector<std::string> parts = components(path);
    std::string::size_type cut = path.find('\\');
    std::string first = parts.empty() ? std::string() : parts.front();
    for (int i = 0; i < root_count; i++) {
        if (same_name(first, roots[i].short_name) || same_name(first, roots[i].long_name)) {
            *rest = cut == std::string::npos ? std::string() : path.substr(cut + 1);
            return registry().trees[i].get();
        }
    }
    *rest = path;
    return registry().trees[2].get();
}

std::string upper(const std::string &text)
{
    std::string result = text;
    for (char &c : result)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return result;
}

std::string printable(const std::string &data)
{
    std::string text;
    for (unsigned char c : data) {
        if (c >= 0x20 && c < 0x7f && c != '\\' && c != '"')
            text += static_cast<char>(c);
        else
            text += describe("\\x%02x", c);
    }
    return text;
}

void dump(const Key &key, const std::string &path, std::string &text)
{
    text += path + "\n";
    std::vector<const Value *> values;
    for (const Value &value : key.values)
        values.push_back(&value);
    std::sort(values.begin(), values.end(),
              [](const Value *a, const Value *b) { return upper(a->name) < upper(b->name); });
    for (const Value *value : values)
        text += describe("  \"%s\" type %u \"", value->name.c_str(), value->type) +
                printable(value->data) + "\"\n";
    std::vector<const Key *> children;
    for (const std::shared_ptr<Key> &child : key.subkeys)
        children.push_back(child.get());
    std::sort(children.begin(), children.end(),
              [](const Key *a, const Key *b) { return upper(a->name) < upper(b->name); });
    for (const Key *child : children)
        dump(*child, path + "\\" + child->name, text);
}

} // namespace

namespace winsim
{

// library.cpp: loaded libraries and removed exports go with a reboot.
void boot_libraries();

void boot_registry(Machine &)
{
    boot_libraries();
    Registry &r = registry();
    r.handles.clear();
    for (int i = 0; i < root_count; i++) {
        r.trees[i] = std::make_shared<Key>();
        r.trees[i]->name = roots[i].short_name;
    }
    create_registry_key("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run");
    create_registry_key("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall");
}

void set_registry_value(const std::string &key_path, const std::string &name, DWORD type,
                        const std::string &data)
{
    Machine &m = the_machine();
    std::lock_guard<std::recursive_mutex> hold(m.lock);
    std::string rest;
    Key *root = test_root(key_path, &rest);
    set_value(*create_path(root, rest, nullptr), name, type, data);
}

void create_registry_key(const std::string &key_path)
{
    Machine &m = the_machine();
    std::lock_guard<std::recursive_mutex> hold(m.lock);
    std::string rest;
    Key *root = test_root(key_path, &rest);
    create_path(root, rest, nullptr);
}

bool registry_key_exists(const std::string &key_path)
{
    Machine &m = the_machine();
    std::lock_guard<std::recursive_mutex> hold(m.lock);
    std::string rest;
    Key *root = test_root(key_path, &rest);
    return walk(root, rest) != nullptr;
}

std::optional<RegistryValue> registry_value(const std::string &key_path, const std::string &name)
{
    Machine &m = the_machine();
    std::lock_guard<std::recursive_mutex> hold(m.lock);
    std::string rest;
    Key *key = walk(test_root(key_path, &rest), rest);
    Value *value = key == nullptr ? nullptr : find_value(*key, name.c_str());
    if (value == nullptr)
        return std::nullopt;
    return RegistryValue{value->type, value->data};
}

std::string registry_snapshot()
{
    Machine &m = the_machine();
    std::lock_guard<std::recursive_mutex> hold(m.lock);
    std::string text;
    for (int i = 0; i < root_count; i++)
        dump(*registry().trees[i], roots[i].short_name, text);
    return text;
}

int open_key_handle_count()
{
    Machine &m = the_machine();
    std::lock_guard<std::recursive_mutex> hold(m.lock);
    return static_cast<int>(registry().handles.size());
}

} // namespace winsim

// NULL or "" as the subkey opens the key itself again.
extern "C" LONG WINAPI RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired,
                                     PHKEY phkResult)
{
    Call call(__func__, describe("%s, %s, %u, 0x%x", key_text(hKey).c_str(),
                                 quoted(lpSubKey).c_str(), ulOptions, samDesired));
    if (call.faulted())
        return status(call, static_cast<LONG>(call.fault_error()));
    Machine &m = the_machine();
    std::lock_guard<std::recursive_mutex> hold(m.lock);
    if (phkResult == nullptr)
        return status(call, ERROR_INVALID_PARAMETER);
    *phkResult = nullptr;
    Key *parent;
    REGSAM access;
    if (LONG error = open_key(hKey, &parent, &access))
        return status(call, error);
    Key *key = walk(parent, lpSubKey == nullptr ? "" : lpSubKey);
    if (key == nullptr)
        return status(call, ERROR_FILE_NOT_FOUND);
    *phkResult = new_key_handle(m, key, samDesired);
    return status(call, ERROR_SUCCESS);
}

// Creates the key and any missing keys above it, or opens it when it
// exists, and tells which. On the NT family creating needs the right to
// create subkeys of the handle's key.
extern "C" LONG WINAPI RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR lpClass,
                                       DWORD dwOptions, REGSAM samDesired,
                                       LPSECURITY_ATTRIBUTES lpSecurityAttributes, PHKEY phkResult,
                                       LPDWORD lpdwDisposition)
{
    Call call(__func__, describe("%s, %s, %u, %s, 0x%x, 0x%x, %p", key_text(hKey).c_str(),
                                 quoted(lpSubKey).c_str(), Reserved, quoted(lpClass).c_str(),
                                 dwOptions, samDesired, static_cast<void *>(lpSecurityAttributes)));
    if (call.faulted())
        return status(call, static_cast<LONG>(call.fault_error()));
    Machine &m = the_machine();
    std::lock_guard<std::recursive_mutex> hold(m.lock);
    if (phkResult == nullptr || lpSubKey == nullptr)
        return status(call, ERROR_INVALID_PARAMETER);
    *phkResult = nullptr;
    Key *parent;
    REGSAM access;
    if (LONG error = open_key(hKey, &parent, &access))
        return status(call, error);
    Key *key = walk(parent, lpSubKey);
    bool created = false;
    if (key == nullptr) {
        if (!granted(access, KEY_CREATE_SUB_KEY))
            return status(call, ERROR_ACCESS_DENIED);
        key = create_path(parent, lpSubKey, &created);
    }
    *phkResult = new_key_handle(m, key, samDesired);
    if (lpdwDisposition != nullptr)
        *lpdwDisposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    return status(call, ERROR_SUCCESS);
}

// The predefined keys may be closed too; that changes nothing.
extern "C" LONG WINAPI RegCloseKey(HKEY hKey)
{
    Call call(__func__, key_text(hKey));
    if (call.faulted())
        return status(call, static_cast<LONG>(call.fault_error()));
    Machine &m = the_machine();
    std::lock_guard<std::recursive_mutex> hold(m.lock);
    for (const Root &root : roots) {
        if (hKey == root.handle)
            return status(call, ERROR_SUCCESS);
    }
    if (registry().handles.erase(hKey) == 0)
        return status(call, ERROR_INVALID_HANDLE);
    return status(call, ERROR_SUCCESS);
}

// The NT family stores the cbData bytes as given, so a string's size must
// count its terminator. The 95 family stores a string up to its first NUL
// and appends the terminator itself.
extern "C" LONG WINAPI RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType,
                                      const BYTE *lpData, DWORD cbData)
{
    Call call(__func__, describe("%s, %s, %u, %u, size %u", key_text(hKey).c_str(),
                                 quoted(lpValueName).c_str(), Reserved, dwType, cbData));
    if (call.faulted())
        return status(call, static_cast<LONG>(call.fault_error()));
    Machine &m = the_machine();
    std::lock_guard<std::recursive_mutex> hold(m.lock);
    Key *key;
    REGSAM access;
    if (LONG error = open_key(hKey, &key, &access))
        return status(call, error);
    if (!granted(access, KEY_SET_VALUE))
        return status(call, ERROR_ACCESS_DENIED);
    std::string data;
    if (lpData != nullptr)
        data.assign(reinterpret_cast<const char *>(lpData), cbData);
    if (!nt_family() && (dwType == REG_SZ || dwType == REG_EXPAND_SZ))
        data = data.substr(0, data.find('\0')) + '\0';
    set_value(*key, lpValueName == nullptr ? "" : lpValueName, dwType, data);
    return status(call, ERROR_SUCCESS);
}

// Reports the type and size; copies the data when a buffer is given. A
// buffer too small gives ERROR_MORE_DATA with the size needed; without a
// buffer the size alone is reported.
extern "C" LONG WINAPI RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved,
                                        LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData)
{
    Call call(__func__,
              describe("%s, %s, size %u", key_text(hKey).c_str(), quoted(lpValueName).c_str(),
                       lpcbData == nullptr ? 0u : static_cast<unsigned>(*lpcbData)));
    (void)lpReserved;
    if (call.faulted())
        return status(call, static_cast<LONG>(call.fault_error()));
    Machine &m = the_machine();
    std::lock_guard<std::recursive_mutex> hold(m.lock);
    Key *key;
    REGSAM access;
    if (LONG error = open_key(hKey, &key, &access))
        return status(call, error);
    if (!granted(access, KEY_QUERY_VALUE))
        return status(call, ERROR_ACCESS_DENIED);
    if (lpData != nullptr && lpcbData == nullptr)
        return status(call, ERROR_INVALID_PARAMETER);
    const Value *value = find_value(*key, lpValueName);
    if (value == nullptr)
        return status(call, ERROR_FILE_NOT_FOUND);
    if (lpType != nullptr)
        *lpType = value->type;
    if (lpcbData == nullptr)
        return status(call, ERROR_SUCCESS);
    DWORD size = static_cast<DWORD>(value->data.size());
    DWORD room = *lpcbData;
    *lpcbData = size;
    if (lpData == nullptr)
        return status(call, ERROR_SUCCESS);
    if (room < size)
        return status(call, ERROR_MORE_DATA);
    std::memcpy(lpData, value->data.data(), size);
    return status(call, ERROR_SUCCESS);
}

extern "C" LONG WINAPI RegDeleteValueA(HKEY hKey, LPCSTR lpValueName)
{
    Call call(__func__, describe("%s, %s", key_text(hKey).c_str(), quoted(lpValueName).c_str()));
    if (call.faulted())
        return status(call, static_cast<LONG>(call.fault_error()));
    Machine &m = the_machine();
    std::lock_guard<std::recursive_mutex> hold(m.lock);
    Key *key;
    REGSAM access;
    if (LONG error = open_key(hKey, &key, &access))
        return status(call, error);
    if (!granted(access, KEY_SET_VALUE))
        return status(call, ERROR_ACCESS_DENIED);
    Value *value = find_value(*key, lpValueName);
    if (value == nullptr)
        return status(call, ERROR_FILE_NOT_FOUND);
    key->values.erase(key->values.begin() + (value - key->values.data()));
    return status(call, ERROR_SUCCESS);
}

// The NT family deletes a key only when it has no subkeys
// (ERROR_ACCESS_DENIED); the 95 family deletes the key with everything
// below it. Open handles of a deleted key report ERROR_KEY_DELETED. The
// predefined keys cannot be deleted.
extern "C" LONG WINAPI RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey)
{
    Call call(__func__, describe("%s, %s", key_text(hKey).c_str(), quoted(lpSubKey).c_str()));
    if (call.faulted())
        return status(call, static_cast<LONG>(call.fault_error()));
    Machine &m = the_machine();
    std::lock_guard<std::recursive_mutex> hold(m.lock);
    if (lpSubKey == nullptr)
        return status(call, ERROR_INVALID_PARAMETER);
    Key *parent;
    REGSAM access;
    if (LONG error = open_key(hKey, &parent, &access))
        return status(call, error);
    Key *key = walk(parent, lpSubKey);
    if (key == nullptr)
        return status(call, ERROR_FILE_NOT_FOUND);
    if (key->parent == nullptr)
        return status(call, ERROR_ACCESS_DENIED);
    if (nt_family() && !key->subkeys.empty())
        return status(call, ERROR_ACCESS_DENIED);
    std::shared_ptr<Key> kept = shared(key);
    std::vector<std::shared_ptr<Key>> &siblings = key->parent->subkeys;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), kept), siblings.end());
    mark_deleted(*kept);
    return status(call, ERROR_SUCCESS);
}
