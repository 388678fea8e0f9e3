"""A Windows machine made of a Wine prefix under Xvfb, for the end-to-end
tests and the demonstration run: the display, the prefix, the programs run in
it, the automation program that clicks through the setup's dialogs, and what
the machine holds (spooler, registry, files).

Standard library only. Every process started here is bounded in time and
ended by its owner: Xvfb dies with this process (PR_SET_PDEATHSIG) and the
Wine server is killed when a machine is closed."""

import ctypes
import json
import os
import re
import shutil
import signal
import subprocess
import time

WINE_VERSIONS = ("win98", "nt351", "nt40", "win2k", "winxp", "win10")
WINE_ARCHES = ("32", "64")

# Names that Wine and the tools use in every prefix.
SYSTEM_DIR = ("windows", "system32")
BASE_READY = "base.ready"
SERVER_LINGER_S = 30
# Wine's spooler service runs again before its RPC endpoint answers: for a
# moment after a restart a query gets RPC_S_SERVER_UNAVAILABLE, and is asked
# again, within this many seconds.
RPC_S_SERVER_UNAVAILABLE = 1722
SPOOLER_ANSWER_S = 20


class MachineError(Exception):
    """Something the machine could not do: a time-out, a program that failed."""


def log(text):
    print(f"[{time.strftime('%H:%M:%S')}] {text}", flush=True)


def _die_with_parent():
    # Runs in the child before exec: SIGKILL it when this process ends, so
    # that no display outlives a killed test.
    libc = ctypes.CDLL(None, use_errno=True)
    pr_set_pdeathsig = 1
    libc.prctl(pr_set_pdeathsig, signal.SIGKILL)


class Display:
    """An Xvfb server on a display number it picks itself (-displayfd), so
    that tests running side by side never collide."""

    def __init__(self, timeout=20):
        read_end, write_end = os.pipe()
        self.process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24",
             "-nolisten", "tcp", "-noreset"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
            preexec_fn=_die_with_parent)
        os.close(write_end)
        number = b""
        deadline = time.monotonic() + timeout
        os.set_blocking(read_end, False)
        while not number.endswith(b"\n"):
            if time.monotonic() > deadline or self.process.poll() is not None:
                os.close(read_end)
                self.close()
                raise MachineError("Xvfb did not start")
            try:
                chunk = os.read(read_end, 16)
            except BlockingIOError:
                chunk = None
            if chunk:
                number += chunk
            else:
                time.sleep(0.02)
        os.close(read_end)
        self.name = ":" + number.decode().strip()

    def screenshot(self, path, rect):
        """Saves the screen area rect = [left, top, right, bottom] as a PNG
        without time stamps, so that the same picture gives the same file."""
        left, top, right, bottom = rect
        left, top = max(left, 0), max(top, 0)
        geometry = f"{right - left}x{bottom - top}+{left}+{top}"
        xwd = subprocess.run(["xwd", "-root", "-silent", "-display", self.name],
                             capture_output=True, timeout=20, check=True)
        subprocess.run(["convert", "xwd:-", "-crop", geometry, "+repage", "-strip",
                        "-define", "png:exclude-chunks=date,time", "PNG8:" + str(path)],
                       input=xwd.stdout, capture_output=True, timeout=20, check=True)

    def close(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(timeout=5)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait(timeout=5)


class SharedDisplay:
    """A display that is not ours to start or stop."""

    def __init__(self, name):
        self.name = name

    def screenshot(self, path, rect):
        raise MachineError("no screenshots on a shared display")

    def close(self):
        pass


class Wine:
    """The Wine of one architecture: "32" runs the 32-bit build through the
    wine wrapper; "64" the 64-bit build through the 64-bit loader and server
    themselves, since the wrapper picks the 32-bit loader whenever wine32 is
    installed. The spooler of a 64-bit Wine, like that of 64-bit Windows,
    keeps its NT drivers in its own environment."""

    def __init__(self, arch):
        if arch not in WINE_ARCHES:
            raise MachineError(f"unknown Wine architecture {arch}")
        self.arch = arch
        if arch == "64":
            self.loader = "/usr/lib/wine/wine64"
            self.server = "/usr/lib/wine/wineserver64"
            self.winearch = "win64"
            self.nt_environment = "Windows x64"
        else:
            self.loader = "wine"
            self.server = "wineserver"
            self.winearch = "win32"
            self.nt_environment = "Windows NT x86"

    def command(self, *args):
        return [self.loader, *args]


def wine_environment(wine, prefix, display):
    environment = dict(os.environ)
    if wine.arch == "64":
        environment.update({"WINELOADER": wine.loader, "WINESERVER": wine.server})
    environment.update({
        "WINEPREFIX": str(prefix),
        "WINEARCH": wine.winearch,
        "WINEDEBUG": "-all",
        # No Mono or Gecko: their installers would ask on the display.
        "WINEDLLOVERRIDES": "mscoree,mshtml=",
        "DISPLAY": display,
        # Wine reads the command line in the locale's character set.
        "LC_ALL": "C.UTF-8",
    })
    environment.pop("WAYLAND_DISPLAY", None)
    return environment


def make_base_prefix(work, wine):
    """The prefix every scenario copies: made once per test run."""
    base = os.path.join(work, "base")
    shutil.rmtree(work, ignore_errors=True)
    # The server needs the prefix folder to exist.
    os.makedirs(base)
    display = Display()
    environment = wine_environment(wine, base, display.name)
    try:
        started = time.monotonic()
        _run([wine.server, f"-p{SERVER_LINGER_S}"], environment, 30, "wineserver -p",
             quiet=True)
        _run(wine.command("wineboot", "-i"), environment, 180, "wineboot", quiet=True)
        log(f"wineboot took {time.monotonic() - started:.1f} s")
        # Without a window manager under Xvfb, Wine must place and draw its
        # windows itself.
        _reg_add(wine, environment, r"HKCU\Software\Wine\X11 Driver", "Managed", "N")
        # Each scenario puts its own version in place of this one.
        _reg_add(wine, environment, r"HKCU\Software\Wine", "Version", "winxp")
        # Windows runs the spooler service from boot; a fresh Wine prefix has
        # it on demand and stopped. On Windows the setup's scan would start
        # it, since the directory queries fail while it is stopped; Wine's
        # spooler answers them all the same, so the service would stay
        # stopped and the setup's first stop fail (ERROR_SERVICE_NOT_ACTIVE).
        _reg_add(wine, environment, r"HKLM\System\CurrentControlSet\Services\Spooler", "Start",
                 "2", "REG_DWORD")
    finally:
        # The server writes the registry to the prefix as it ends.
        for command in ([wine.server, "-k"], [wine.server, "-w"]):
            try:
                subprocess.run(command, env=environment, timeout=60,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            except subprocess.TimeoutExpired:
                log(f"{' '.join(command)}: no end within 60 s")
        display.close()
    with open(os.path.join(base, "user.reg"), encoding="utf-8", errors="replace") as user:
        if '"Version"="winxp"' not in user.read():
            raise MachineError("the base prefix does not hold the Windows version")
    with open(os.path.join(work, BASE_READY), "w") as ready:
        ready.write("ok\n")
    return base


def _reg_add(wine, environment, key, name, data, kind="REG_SZ"):
    _run(wine.command("reg", "add", key, "/v", name, "/t", kind, "/d", data, "/f"), environment,
         60, f"reg add {key} {name}", quiet=True)


def _run(command, environment, timeout, what, cwd=None, quiet=False):
    """Runs a command to its end. quiet: its output goes nowhere, for a
    command that starts the Wine server or the prefix's processes."""
    output = subprocess.DEVNULL if quiet else subprocess.PIPE
    try:
        result = subprocess.run(command, env=environment, cwd=cwd, stdin=subprocess.DEVNULL,
                                stdout=output, stderr=output, timeout=timeout)
    except subprocess.TimeoutExpired as expired:
        raise MachineError(f"{what}: no end within {timeout} s") from expired
    if result.returncode != 0:
        raise MachineError(f"{what}: exit code {result.returncode}\n"
                           + (result.stdout or b"").decode(errors="replace")
                           + (result.stderr or b"").decode(errors="replace"))
    return result


def parse_json_lines(output):
    events = []
    for line in output.decode("utf-8", errors="replace").splitlines():
        line = line.strip()
        if line.startswith("{"):
            events.append(json.loads(line))
    return events


def window_attempts(trace):
    """The programs that tried to create a window, by name, from a trace
    with process ids and the loader's lines."""
    programs = {}
    attempts = []
    for line in trace.splitlines():
        loaded = re.match(r'^([0-9a-f]+):[0-9a-f]+:trace:loaddll:.*Loaded L"(?:.*\\)?'
                          r'([^"\\]+\.exe)"', line, re.IGNORECASE)
        if loaded:
            programs.setdefault(loaded.group(1), loaded.group(2).lower())
        elif "tried to create a window" in line:
            process = line.split(":", 1)[0]
            attempts.append(process)
    return sorted({programs.get(p, f"process {p}") for p in attempts})


class SetupProcess:
    """The setup (or its uninstaller copy) started under Wine."""

    def __init__(self, process, what):
        self.process = process
        self.what = what

    def wait(self, timeout):
        try:
            return self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired as expired:
            raise MachineError(f"{self.what} did not end within {timeout} s") from expired

    def running(self):
        return self.process.poll() is None

    def kill(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait(timeout=10)


class Machine:
    """One Windows machine: a copy of the base prefix set to one Windows
    version, with the distribution copied to C:\\install."""

    def __init__(self, work, name, version, dist, tools, wine, display=None):
        if version not in WINE_VERSIONS:
            raise MachineError(f"unknown Windows version {version}")
        base = os.path.join(work, "base")
        if not os.path.exists(os.path.join(work, BASE_READY)):
            raise MachineError(f"no base prefix in {work}: run the prepare step first")
        self.version = version
        self.tools = tools
        self.runner = wine
        self.root = os.path.join(work, name)
        self.prefix = os.path.join(self.root, "prefix")
        shutil.rmtree(self.root, ignore_errors=True)
        os.makedirs(self.root)
        started = time.monotonic()
        copied = subprocess.run(["cp", "-a", base, self.prefix], timeout=120,
                                capture_output=True)
        if copied.returncode != 0:
            raise MachineError("the base prefix could not be copied: "
                               + copied.stderr.decode(errors="replace"))
        self._set_version(version)
        self.install_dir = os.path.join(self.prefix, "drive_c", "install")
        shutil.copytree(dist, self.install_dir)
        log(f"prefix {self.prefix} ({version}) ready in {time.monotonic() - started:.1f} s")
        # A person's display, or an Xvfb of our own.
        self.display = SharedDisplay(display) if display else Display()
        self.environment = wine_environment(wine, self.prefix, self.display.name)
        self.processes = []
        try:
            self._boot()
        except BaseException:
            self.close()
            raise

    def _boot(self):
        """Starts the Wine server and the prefix's own processes (services,
        desktop) with no output pipes of ours: they inherit the standard
        handles of whoever starts them, and a pipe held by them would never
        reach its end."""
        # One server for the whole scenario: without it every program started
        # after a pause would boot the services again. It ends by itself 30 s
        # after the last program, should this process die before close();
        # the programs end with the display, which dies with this process.
        _run([self.runner.server, f"-p{SERVER_LINGER_S}"], self.environment, 30,
             "wineserver -p", quiet=True)
        _run(self.runner.command(os.path.join(self.tools, "winauto.exe"), "list"),
             self.environment, 60, "first Wine program", cwd=self.root, quiet=True)

    def _set_version(self, version):
        path = os.path.join(self.prefix, "user.reg")
        with open(path, encoding="utf-8", errors="surrogateescape") as user:
            text = user.read()
        changed = text.replace('"Version"="winxp"', f'"Version"="{version}"', 1)
        if changed == text and version != "winxp":
            raise MachineError("the prefix has no Windows version to change")
        with open(path, "w", encoding="utf-8", errors="surrogateescape") as user:
            user.write(changed)

    # Paths -----------------------------------------------------------------

    def host_path(self, windows_path):
        """The Linux path of a C: path in the prefix."""
        match = re.match(r"^[cC]:\\?(.*)$", windows_path)
        if match is None:
            raise MachineError(f"not a C: path: {windows_path}")
        parts = [p for p in match.group(1).split("\\") if p]
        return os.path.join(self.prefix, "drive_c", *parts)

    def system_dir(self, *names):
        return os.path.join(self.prefix, "drive_c", *SYSTEM_DIR, *names)

    # Programs ----------------------------------------------------------------

    def start(self, program, args=(), cwd=None, what=None):
        """Starts a Windows program (a path in the prefix or on the host)."""
        process = subprocess.Popen(self.runner.command(program, *args), env=self.environment,
                                   cwd=cwd or self.install_dir, stdin=subprocess.DEVNULL,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        started = SetupProcess(process, what or os.path.basename(program))
        self.processes.append(started)
        return started

    def start_setup(self, program="setup.exe", cwd=None):
        return self.start(program, cwd=cwd, what=program)

    def run_switches(self, program, args, cwd, timeout, headless=False, direct=False):
        """Runs a program with switches to its end from a batch file: its
        exit code, its wall time, and with headless the Wine errors printed.
        The batch file reports the exit code whole, where the Wine loader's
        own exit status keeps only its low 8 bits (3010 would come as 194).
        headless: no display at all, so that any window a program tries to
        create fails and Wine says so (winediag); the programs that tried,
        by name, come back in place of the output. direct: the program is
        started with no batch file and so with no console, which its own
        children would share; its exit code is then the low 8 bits only."""
        environment = dict(self.environment)
        if headless:
            del environment["DISPLAY"]
            # Each line with its process id; the loader's lines name each
            # process's program.
            environment["WINEDEBUG"] = "-all,err+winediag,+loaddll,+pid"
        command = [program, *args]
        batch = os.path.join(self.prefix, "drive_c", "switchrun.bat")
        if not direct:
            with open(batch, "w", newline="\r\n") as script:
                script.write(f'@echo off\n"{program}" {" ".join(args)}\n'
                             "echo exit code %errorlevel%\n")
            command = ["cmd", "/c", r"C:\switchrun.bat"]
        output_path = os.path.join(self.root, "switch-run.out")
        started = time.monotonic()
        # The output goes to a file: a child left running would hold a pipe.
        with open(output_path, "w+b") as output:
            process = subprocess.Popen(self.runner.command(*command), env=environment, cwd=cwd,
                                       stdin=subprocess.DEVNULL, stdout=output,
                                       stderr=subprocess.STDOUT)
            started_process = SetupProcess(process, f"{program} {' '.join(args)}")
            self.processes.append(started_process)
            code = started_process.wait(timeout)
            seconds = time.monotonic() - started
            output.seek(0)
            text = output.read().decode(errors="replace")
        if not direct:
            os.remove(batch)
            found = re.search(r"^exit code (-?\d+)", text, re.MULTILINE)
            if found is None:
                raise MachineError(f"{program} {args}: no exit code reported:\n{text}")
            code = int(found.group(1))
        return code, seconds, window_attempts(text) if headless else text

    def run_tool(self, name, args, timeout):
        command = self.runner.command(os.path.join(self.tools, name), *args)
        try:
            result = subprocess.run(command, env=self.environment, cwd=self.root,
                                    stdin=subprocess.DEVNULL, capture_output=True,
                                    timeout=timeout)
        except subprocess.TimeoutExpired as expired:
            raise MachineError(f"{name} {args}: no end within {timeout} s") from expired
        return result

    def auto(self, *commands, timeout=60):
        """Runs the automation program's commands; their events, or
        MachineError with everything it printed when one failed."""
        result = self.run_tool("winauto.exe", list(commands), timeout)
        events = parse_json_lines(result.stdout)
        if result.returncode != 0:
            raise MachineError(
                f"automation failed (exit {result.returncode}) in {list(commands)}:\n"
                + "\n".join(json.dumps(e, ensure_ascii=False) for e in events))
        return events

    def wine(self, args, timeout=60):
        return subprocess.run(self.runner.command(*args), env=self.environment, cwd=self.root,
                              stdin=subprocess.DEVNULL, capture_output=True, timeout=timeout)

    # What the machine holds ------------------------------------------------

    def spooler(self):
        deadline = time.monotonic() + SPOOLER_ANSWER_S
        while True:
            result = self.run_tool("spoolstate.exe", [], 60)
            events = parse_json_lines(result.stdout)
            unavailable = any(e.get("kind") == "error" and e.get("error") == RPC_S_SERVER_UNAVAILABLE
                              for e in events)
            if not unavailable or time.monotonic() >= deadline:
                break
            time.sleep(0.5)
        if result.returncode != 0 or not events or events[-1].get("kind") != "end":
            raise MachineError(f"spoolstate failed (exit {result.returncode}):\n"
                               + result.stdout.decode(errors="replace")
                               + result.stderr.decode(errors="replace")[-2000:])
        errors = [e for e in events if e["kind"] == "error"]
        if errors:
            raise MachineError(f"the spooler did not answer: {errors}")
        return SpoolerState(events)

    def registry_values(self, key):
        """The values of a registry key as {name: data}, or None when the
        key does not exist."""
        result = self.wine(["reg", "query", key])
        if result.returncode != 0:
            return None
        values = {}
        for line in result.stdout.decode("utf-8", errors="replace").splitlines():
            match = re.match(r"^    (.*?)    (REG_\w+)    ?(.*)$", line)
            if match:
                values[match.group(1)] = match.group(3)
        return values

    def close(self):
        """Ends every program, the Wine server and the display."""
        for process in self.processes:
            process.kill()
        for command in ([self.runner.server, "-k"], [self.runner.server, "-w"]):
            try:
                subprocess.run(command, env=self.environment, timeout=30,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            except subprocess.TimeoutExpired:
                log(f"{' '.join(command)}: no end within 30 s")
        self.display.close()

    def remove(self):
        shutil.rmtree(self.root, ignore_errors=True)


class SpoolerState:
    """What spoolstate.exe printed, by kind."""

    def __init__(self, events):
        self.events = events

    def of(self, kind, **fields):
        return [e for e in self.events if e["kind"] == kind
                and all(e.get(k) == v for k, v in fields.items())]

    def processors(self, env):
        return [e["name"] for e in self.of("processor", env=env)]

    def drivers(self, env):
        return {e["name"]: e for e in self.of("driver", env=env)}

    def printers(self):
        return {e["name"]: e for e in self.of("printer")}

    def ports(self):
        return [e["name"] for e in self.of("port")]

    def directories(self, env):
        found = self.of("directories", env=env)
        return found[0] if found else None
