#include "support/machine_fixture.h"
#include "support/scripted_user.h"

#include "app/setup_state.h"
#include "catalog/string_table.h"
#include "system/spooler_service.h"

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

std::string setup_state_text()
{
    std::string text;
    auto add = [&text](const char *name, const std::string &value) {
        text += std::string(text.empty() ? "" : " ") + name + "=" + value;
    };
    auto quoted = [](const char *value) {
        return value == nullptr ? std::string("NULL") : "'" + std::string(value) + "'";
    };
    auto pointer = [](const void *value) { return std::string(value == nullptr ? "NULL" : "set"); };
    add("instance_handle", pointer(instance_handle));
    add("choice_dialog", pointer(choice_dialog));
    add("progress_dialog", pointer(progress_dialog));
    add("action", std::to_string(action));
    add("processor_installed", std::to_string(processor_installed));
    add("nul_port_present", std::to_string(nul_port_present));
    add("scan_port_index", std::to_string(scan_port_index));
    add("last_error", std::to_string(last_error));
    add("status_callback", pointer((const void *)status_callback));
    add("platform_branch", pointer(platform_branch));
    const std::pair<const char *, const char *> buffers[] = {
        {"message_text", message_text},       {"window_title", window_title},
        {"driver_extension", driver_extension}, {"environment_name", environment_name},
        {"platform_tag", platform_tag},       {"system_dir", system_dir},
        {"driver_dir", driver_dir},           {"print_processor_dir", print_processor_dir},
        {"program_dir", program_dir},         {"platform_source_dir", platform_source_dir}};
    for (const auto &buffer : buffers)
        add(buffer.first, quoted(buffer.second));
    add("product_display_name", quoted(product_display_name));
    add("product_short_name", quoted(product_short_name));
    add("settings_source_name", quoted(settings_source_name));
    add("language_code", quoted(language_code));
    add("language_file_name", quoted(language_file_name));
    add("message_table", pointer(message_table));
    add("spooler_service_list", quoted(spooler_service_list->name) + " " +
                                    pointer(spooler_service_list->dependents));
    return text;
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

void MachineTest::SetUp()
{
    reset_setup_state();
    winsim::boot(winsim::MachineSetup());
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
}
