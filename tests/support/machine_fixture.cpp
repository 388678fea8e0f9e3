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

void reset_setup_state()
{
    instance_handle = nullptr;
    choice_dialog = nullptr;
    progress_dialog = nullptr;
    action = 0;
    processor_installed = 0;
    nul_port_present = 0;
    scan_port_index = 0;
    last_error = 0;
    status_callback = nullptr;
    message_text[0] = '\0';
    window_title[0] = '\0';
    driver_extension[0] = '\0';
    environment_name[0] = '\0';
    platform_tag[0] = '\0';
    system_dir[0] = '\0';
    driver_dir[0] = '\0';
    print_processor_dir[0] = '\0';
    program_dir[0] = '\0';
    platform_source_dir[0] = '\0';
    product_display_name = "LUMETRA MAPI connector";
    product_short_name = "LUMETRA";
    settings_source_name = nullptr;
    language_code = "ger";
    strcpy(language_file_name, "lang.ger");
    table_release(message_table);
    message_table = nullptr;
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
    winsim::boot(setup);
}
