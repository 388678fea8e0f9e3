// Whole runs whose dialogs and boxes a test cannot foresee one by one (a
// call made to fail, odd directories or language files), and the checks
// every such run must pass: it ended, brought back the services it stopped,
// left foreign things alone, cleaned up, and told failure from success.
#ifndef TESTS_SWEEP_RUN_CHECKS_H
#define TESTS_SWEEP_RUN_CHECKS_H

#include "support/scenario.h"

#include <memory>
#include <string>
#include <vector>

enum class RunKind { install, remove, uninstall };

// How the user answers every Abort/Retry/Ignore box of a run.
enum class Answers {
    abort,
    ignore,
    retry_then_abort,
    retry_twice_then_abort,
    retry_then_ignore,
    retry_always, // a run that fails for good then never ends by itself
};
const char *answers_name(Answers answers);

struct BoxAnswered {
    std::string text;
    int button;
};

// What goes wrong in a run.
enum class FaultKind {
    call_fails,         // the call fails with the error
    service_ends,       // StartServiceA is accepted; the service then ends
                        // in that start with the error as its exit code
    service_disabled,   // the service is disabled while it runs
    service_deleted,    // the service is marked for deletion while it runs
};

// The call made to fail in a run (no function for a run without a fault),
// or the service that cannot come back.
struct Fault {
    std::string function;
    int nth;        // counted from boot
    int occurrence; // counted within the run
    DWORD error;
    FaultKind kind = FaultKind::call_fails;
    // A service that cannot run again, and those that need it.
    std::vector<std::string> cannot_run = {};
    // The call fails from the nth on, every later call of it too.
    bool persistent = false;
};

bool family_95();
// The folder name of the machine's branch in the distribution.
std::string branch_folder();

// The shipped language file of the code, read once.
const std::string &language_file(const std::string &code);

// Puts setup.exe, the three language files and, with payload, the payload
// of the machine's platform branch into the folder ("D:\\" or longer).
void put_branch_distribution(const std::string &folder, bool with_payload);

// A foreign printer, driver, print processor, port, files, registry values,
// two services that need the spooler (NT family) and the user's print
// window; on the NT family also the running fax server of an earlier
// installation.
void arrange_foreign_objects();

// Works every dialog of the run: English (when it can be chosen), the
// action's button, OK on every result; every Abort/Retry/Ignore box is
// answered as answers says and recorded; the restart prompt (normal runs)
// is answered no. Returns the boxes answered, filled as the run goes.
std::shared_ptr<std::vector<BoxAnswered>> script_user(RunKind kind, Answers answers);

// A result text: the success or failure text of an installation or a
// removal, in any shipped language, or its bare key.
enum class Verdict { none, success, failure };
Verdict classify(const std::string &text);
// The catalog texts of a key in every shipped language, "\n" as CR LF.
const std::vector<std::string> &catalog_texts(const std::string &key);

// Takes the machine's state before a run; after it, names every check the
// run failed.
class RunChecks {
  public:
    RunChecks();
    ~RunChecks();
    std::vector<std::string> after_run(RunKind kind, int exit_code,
                                       const std::vector<BoxAnswered> &answered,
                                       const Fault &fault) const;
    // Whether the last run's services check was left out: the user let the
    // spooler stay stopped.
    mutable bool services_skipped = false;
    // A quiet run (switches /Q /LOG): no one answers, its log tells.
    bool quiet = false;
    std::string log_path;
    std::string log;

  private:
    struct State;
    std::unique_ptr<State> state_;
};

#endif
