// winsim internals: the one machine and the recorder that every simulated
// call goes through.
#ifndef WINSIM_MACHINE_STATE_H
#define WINSIM_MACHINE_STATE_H

#include <winsim/machine.h>

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace winsim {

struct Fault {
    std::string function;
    int nth;
    DWORD error;
    bool persistent;
};

struct Machine {
    std::recursive_mutex lock;
    bool running = false;
    MachineSetup setup;
    std::string root; // host folder that holds the drives
    std::atomic<unsigned long long> clock_ms{0};
    bool journal_enabled = true;
    std::vector<CallRecord> journal;
    std::map<std::string, int> calls; // per function, counted from boot
    std::vector<Fault> faults;
    std::string current_dir;
    std::map<std::string, DWORD> attributes; // by host path; absent: archive
    std::map<std::string, int> open_files;   // by host path
};

Machine &the_machine();

// printf-style composition of a journal text.
std::string describe(const char *format, ...) __attribute__((format(printf, 1, 2)));
// Quotes a possibly null string argument for the journal.
std::string quoted(const char *text);

// One simulated call: counts it, tells whether a fault is armed for it, and
// journals its result and the thread's last error when it returns.
class Call {
  public:
    Call(const char *function, std::string arguments);
    bool faulted() const
    {
        return fault_error_ != 0;
    }
    DWORD fault_error() const
    {
        return fault_error_;
    }
    // Fails with the armed fault's error.
    template <typename T> T fail_injected(T result)
    {
        return fail(result, fault_error_);
    }
    template <typename T> T fail(T result, DWORD error);
    template <typename T> T done(T result);
    void done_void();

  private:
    void record(const std::string &result);
    const char *function_;
    std::string arguments_;
    DWORD fault_error_ = 0;
};

std::string result_text(long long value);
std::string result_text(const void *value);

template <typename T> T Call::fail(T result, DWORD error)
{
    SetLastError(error);
    record(result_text(result));
    return result;
}

template <typename T> T Call::done(T result)
{
    record(result_text(result));
    return result;
}

} // namespace winsim

#endif
