// winsim: the program's run, its threads (_beginthread) and the replacement
// of its process (_execl).
#include <process.h>

#include "winsim_internal.h"
#include "user_interface_state.h"

#include <cerrno>
#include <csetjmp>
#include <cstdarg>
#include <thread>


namespace
{

using Hold = std::lock_guard<std::recursive_mutex>;

// The instance handle of a program loaded at the usual image base.
const HINSTANCE program_instance = reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(0x400000));

struct ProgramRun {
    std::vector<std::thread> threads; // started and not yet joined
    std::vector<winsim::ExecRecord> execs;
    std::vector<std::function<void()>> after_end; // run_after_program's actions
    bool running = false;
    std::thread::id run_thread;
    int last_exit_code = 0;
};

ProgramRun &run_state()
{
    static ProgramRun state;
    return state;
}

// Where a successful _execl returns to: the run ends there. Only product
// frames (C code without destructors) and _execl's own frame, which holds
// no objects by then, lie between; _execl refuses to jump over a modal
// dialog, whose frames do hold objects.
std::jmp_buf run_end;

// The Windows C runtime's mapping of the system errors an armed fault
// brings to errno.
int errno_for(DWORD error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return ENOENT;
    case ERROR_ACCESS_DENIED:
        return EACCES;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
        return ENOMEM;
    default:
        return EINVAL;
    }
}

// Everything of _execl but the jump: records the call and tells whether the
// process is replaced. The C runtime joins the arguments with one blank,
// quoting nothing, into the new program's command line; it does not search
// for the program. A program that does not exist leaves the process as it
// was, with ENOENT.
bool start_program(const char *path, const char *arg0, va_list more)
{
    std::string command_line;
    for (const char *argument = arg0; argument != nullptr; argument = va_arg(more, const char *))
        command_line += (command_line.empty() ? "" : " ") + std::string(argument);
    Call call("_execl",
              describe("%s, %s", quoted(path).c_str(), quoted(command_line.c_str()).c_str()));
    {
        Hold hold(the_machine().lock);
        run_state().execs.push_back({path != nullptr ? path : "", command_line});
    }
    if (call.faulted()) {
        errno = errno_for(call.fault_error());
        call.fail_injected(-1);
        return false;
    }
    bool on_run_thread;
    {
        Hold hold(the_machine().lock);
        on_run_thread = run_state().running && run_state().run_thread == std::this_thread::get_id();
    }
    if (!on_run_thread || winsim::modal_dialogs_on_this_thread() > 0) {
        // The simulation can end a run only from the run's own thread and
        // outside dialogs; Windows would replace the process from anywhere.
        winsim::record_script_failure(
            "_execl(" + quoted(path) + ") " +
            (on_run_thread ? "inside a modal dialog" : "outside the thread of the program's run"));
        errno = EINVAL;
        call.fail(-1, ERROR_INVALID_FUNCTION);
        return false;
    }
    winsim::ResolvedPath program = winsim::resolve_path(path);
    if (program.error != 0 || !program.exists || program.is_directory) {
        DWORD error = program.is_directory    ? ERROR_ACCESS_DENIED
                      : program.error != 0    ? program.error
                      : program.parent_exists ? ERROR_FILE_NOT_FOUND
                                              : ERROR_PATH_NOT_FOUND;
        errno = program.is_directory ? EACCES : ENOENT;
        call.fail(-1, error);
        return false;
    }
    call.done(0);
    {
        // The C runtime ends this process right after the new one started:
        // until the clock moves on, its image is still mapped.
        Hold hold(the_machine().lock);
        the_machine().image_released_after = the_machine().clock_ms;
    }
    return true;
}

// The new program of a replaced process runs once the old one is left;
// only the system's command interpreter with "/c" is modelled.
void run_replacing_program(const winsim::ExecRecord &exec)
{
    std::string interpreter = winsim::machine().system_dir + "\\cmd.exe";
    winsim::ResolvedPath path = winsim::resolve_path(exec.path.c_str());
    if (path.host != winsim::resolve_path(interpreter.c_str()).host ||
        exec.command_line.compare(0, 3, "/c ") != 0) {
        winsim::record_script_failure("the replacing program is not modelled: " + exec.path);
        return;
    }
    winsim::run_command_interpreter(exec.command_line.substr(3));
}

} // namespace

namespace winsim
{

void boot_program_run(Machine &m)
{
    run_state().execs.clear();
    run_state().after_end.clear();
    run_state().last_exit_code = 0;
    // The NT family's command interpreter; the 95 family has command.com instead.
    if (m.setup.version.platform_id == VER_PLATFORM_WIN32_NT)
        put_file(m.setup.system_dir + "\\cmd.exe", "MZ command interpreter");
}

// Threads may start threads: joins until none is left. A thread does not
// join itself.
void join_program_threads()
{
    for (;;) {
        std::vector<std::thread> threads;
        {
            Hold hold(the_machine().lock);
            threads.swap(run_state().threads);
        }
        if (threads.empty())
            return;
        for (std::thread &thread : threads) {
            if (thread.get_id() == std::this_thread::get_id())
                thread.detach();
            else
                thread.join();
        }
    }
}

// Returning from the entry is how the program exits; a successful _execl
// ends the run with 0, as the C runtime ends the replaced process. The
// program's threads then end on their own; they are waited for.
int run_program(int(WINAPI *entry)(HINSTANCE, HINSTANCE, LPSTR, int), const std::string &command_line)
{
    {
        Hold hold(the_machine().lock);
        if (run_state().running) {
            record_script_failure("run_program during a run");
            return -1;
        }
        run_state().running = true;
        run_state().run_thread = std::this_thread::get_id();
        the_machine().image_in_use = true;
        the_machine().image_released_after = ~0ull;
    }
    // Static, as the longjmp of _execl leaves this frame's objects behind.
    static std::vector<char> arguments;
    arguments.assign(command_line.begin(), command_line.end());
    arguments.push_back('\0');
    int exit_code = 0;
    bool replaced = false;
    if (setjmp(run_end) == 0)
        exit_code = entry(program_instance, nullptr, arguments.data(), SW_SHOWNORMAL);
    else
        replaced = true;
    join_program_threads();
    std::vector<std::function<void()>> after_end;
    {
        Hold hold(the_machine().lock);
        after_end.swap(run_state().after_end);
        // The process ends now, unless _execl ended it already.
        if (!replaced)
            the_machine().image_released_after = the_machine().clock_ms;
    }
    if (replaced) {
        close_program_kernel_objects();
        run_replacing_program(execs().back());
    }
    for (const std::function<void()> &action : after_end)
        action();
    Hold hold(the_machine().lock);
    the_machine().image_in_use = false;
    run_state().running = false;
    run_state().last_exit_code = exit_code;
    return exit_code;
}

void run_after_program(std::function<void()> action)
{
    {
        Hold hold(the_machine().lock);
        if (run_state().running) {
            run_state().after_end.push_back(std::move(action));
            return;
        }
    }
    action();
}

int last_exit_code()
{
    Hold hold(the_machine().lock);
    return run_state().last_exit_code;
}

std::vector<ExecRecord> execs()
{
    Hold hold(the_machine().lock);
    return run_state().execs;
}

} // namespace winsim

// A thread the machine keeps until it is joined (at the end of the run, at
// shut-down and at boot). A thread that cannot start gives -1 with EAGAIN.
extern "C" uintptr_t _beginthread(_beginthread_proc_type _StartAddress, unsigned _StackSize,
                                  void *_ArgList)
{
    Call call(__func__, describe("%u", _StackSize));
    const uintptr_t failed = static_cast<uintptr_t>(-1);
    if (call.faulted()) {
        errno = EAGAIN;
        return call.fail_injected(failed);
    }
    Hold hold(the_machine().lock);
    run_state().threads.emplace_back([_StartAddress, _ArgList] { _StartAddress(_ArgList); });
    return call.done(reinterpret_cast<uintptr_t>(the_machine().new_handle()));
}

extern "C" intptr_t _execl(const char *_Filename, const char *_ArgList, ...)
{
    va_list more;
    va_start(more, _ArgList);
    bool replaced = start_program(_Filename, _ArgList, more);
    va_end(more);
    if (replaced)
        std::longjmp(run_end, 1);
    return -1;
}
