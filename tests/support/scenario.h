// Scenario helpers: the distribution on the machine, the program run, and
// the scripted user's usual answers.
#ifndef TESTS_SCENARIO_H
#define TESTS_SCENARIO_H

#include "support/machine_fixture.h"

#include <winsim/processes.h>
#include <winsim/registry.h>
#include <winsim/setup_api.h>
#include <winsim/spooler.h>
#include <winsim/user.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

// The distribution folder the administrator starts the setup from.
extern const char DIST[];

// The shipped language file of the code ("ger", "eng", "fre"), as bytes.
std::string shipped_language_file(const std::string &code);

// Places setup.exe, the three language files and the driver payload of
// every platform and language into the distribution folder.
void put_distribution(bool with_payload = true);
// The payload names of one platform tag: from the platform folder and from
// its language folders.
std::vector<std::string> platform_payload(const std::string &tag);
std::vector<std::string> language_payload(const std::string &tag);

// The program's own entry, as the process would run it.
int run_setup();

// A normal run in English that ends in the choice's button (IDC_INSTALL or
// IDC_REMOVE): the language, choice, progress and result dialogs and the
// restart offer. during expects what the run shows while the progress
// dialog is open. Returns the exit code.
int run_normal(int choice_button, std::string *result_text, std::function<void()> during = {});

// For run_normal's during: one error box, answered with the button, its
// text kept in *texts.
std::function<void()> one_box(int button, std::vector<std::string> *texts);

// No temporary INF file ("\INS...") is left anywhere on the machine.
void expect_no_temporary_inf();

// A path in the machine's system directory.
std::string system_file(const std::string &name);

// The usual answers.
void expect_language(int radio_id);          // ticks the radio, OK
void expect_language_cancel();               // Cancel
void expect_choice(int button_id, std::string *system_line = nullptr,
                   std::string *report = nullptr);
void expect_progress();                      // watches; the worker ends it
void expect_result(std::string *text);       // reads the text, OK
void expect_reboot(bool restart = false);
// Answers every Abort/Retry/Ignore box with the given button.
void answer_error_boxes(int button);

// The texts the progress dialog's status line showed, in order.
std::vector<std::string> status_history();

// The arguments of every call of the function, as the journal has them.
std::vector<std::string> call_arguments(const std::string &function);

// The system's text for an error code, as the error boxes show it.
std::string system_text(DWORD code);

// The machine's spooler directories for its own environment.
std::string print_processor_directory();
std::string driver_directory();

// What an installation of the package leaves on this machine's platform
// branch: print processor, drivers, printers, files, registry entries.
void arrange_installed_product(const std::string &language = "ger");
// Every file of the machine (Windows path, bytes), for before/after checks.
std::map<std::string, std::string> file_snapshot();

// What a run may change: files, registry, the spooler's processors,
// drivers and printers of the machine's environment (in one text), ports.
struct MachineState {
    std::map<std::string, std::string> files;
    std::string registry;
    std::string spooler;
    std::vector<std::string> ports;
};
MachineState capture();

#endif
