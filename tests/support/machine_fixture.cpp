#include "support/machine_fixture.h"
#include "support/scripted_user.h"

#include "app/setup_state.h"
#include "catalog/string_table.h"
#include "system/spooler_service.h"

#include <winsim/processes.h>

// What a stop recorded of the spooler's dependents lives as long as the
// process; each test starts as a process of its own would.
static void release_service_tree(ServiceNode *node)
{
    while (node != nullptr) {
        ServiceNode *next = node->next;
        release_service_tree(node->dependents);
        free(node->name);
        free(node);
        node = next;
    }
}

// How the state text shows one value: numbers as they are, names quoted,
// every other pointer as set or NULL.
static std::string state_value(int value)
{
    return std::to_string(value);
}

static std::string state_value(DWORD value)
{
    return std::to_string(value);
}

static std::string state_value(const char *value)
{
    return value == nullptr ? std::string("NULL") : "'" + std::string(value) + "'";
}

template <typename T> static std::string state_value(T *value)
{
    return value == nullptr ? "NULL" : "set";
}

std::vector<std::pair<std::string, std::string>> setup_state_values()
{
    std::vector<std::pair<std::string, std::string>> values;
#define VALUE_OF_VALUE(type, name, start) values.emplace_back(#name, state_value(name));
#define VALUE_OF_BUFFER(name, size, start) values.emplace_back(#name, state_value((const char *)name));
    SETUP_STATE_LIST(VALUE_OF_VALUE, VALUE_OF_BUFFER, VALUE_OF_BUFFER)
#undef VALUE_OF_VALUE
#undef VALUE_OF_BUFFER
    values.emplace_back("spooler_service_list",
                        state_value((const char *)spooler_service_list->name) + " " +
                            state_value(spooler_service_list->dependents));
    return values;
}

std::string setup_state_text()
{
    std::string text;
    for (const auto &value : setup_state_values())
        text += std::string(text.empty() ? "" : " ") + value.first + "=" + value.second;
    return text;
}

// A value unlike any start value, of the value's own type.
static void change(int &value)
{
    value += 7;
}

static void change(DWORD &value)
{
    value += 7;
}

static void change(const char *&value)
{
    value = "changed";
}

template <typename T> static void change(T *&value)
{
    static char stand_in;
    value = reinterpret_cast<T *>(&stand_in);
}

static void change(StringTable *&value)
{
    // The reset releases the table, so it must be a real one.
    value = table_create(compare_entry_keys);
}

void change_setup_state()
{
#define CHANGE_VALUE(type, name, start) change(name);
#define CHANGE_BUFFER(name, size, start) strcpy(name, "x");
    SETUP_STATE_LIST(CHANGE_VALUE, CHANGE_BUFFER, CHANGE_BUFFER)
#undef CHANGE_VALUE
#undef CHANGE_BUFFER
}

// Read during static initialisation, before any test: the product's state
// is constant-initialised, so it holds its start values by then.
static const std::string state_at_process_start = setup_state_text();

const std::string &setup_state_at_process_start()
{
    return state_at_process_start;
}

void reset_setup_state()
{
    table_release(message_table);
    // The start values from the product's own list; the language file name
    // keeps its buffer and gets its start text back.
#define RESET_VALUE(type, name, start) name = start;
#define RESET_BUFFER(name, size, start) strcpy(name, start);
#define RESET_BUFFER_POINTER(name, size, start) strcpy(name, start);
    SETUP_STATE_LIST(RESET_VALUE, RESET_BUFFER, RESET_BUFFER_POINTER)
#undef RESET_VALUE
#undef RESET_BUFFER
#undef RESET_BUFFER_POINTER
    release_service_tree(spooler_service_list->dependents);
    release_service_tree(spooler_service_list->next);
    spooler_service_list->dependents = nullptr;
    spooler_service_list->next = nullptr;
}

std::string crlf(const std::string &text_with_lf)
{
    std::string text;
    for (char c : text_with_lf) {
        if (c == '\n')
            text += '\r';
        text += c;
    }
    return text;
}

void set_package_program_behaviours()
{
    // The fax server opens its top-level window, which ends only on the
    // system menu's Close.
    winsim::set_started_program_behaviour("faxsrv.exe", [] {
        winsim::open_window("FaxSrvClass", "", winsim::ClosesOn::system_close_command);
    });
}

void MachineTest::SetUp()
{
    reset_setup_state();
    winsim::boot(winsim::MachineSetup());
    set_package_program_behaviours();
}

void MachineTest::TearDown()
{
    expect_no_script_failures();
    reset_setup_state();
    winsim::shut_down();
}

void MachineTest::boot(const winsim::MachineSetup &setup)
{
    // A test that boots once per case checks each case's script.
    {
        SCOPED_TRACE("the machine before this boot");
        expect_no_script_failures();
    }
    winsim::boot(setup);
    set_package_program_behaviours();
}
