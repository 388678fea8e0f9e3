#!/usr/bin/env python3
"""End-to-end tests of the real setup.exe under Wine.

    e2e.py prepare  --work DIR                 the base prefix, once per run
    e2e.py scenario NAME --work DIR --build DIR --dist DIR --source DIR
                    [--screenshots DIR] [--keep]
    e2e.py list                                the scenario names

Each scenario copies the base prefix, sets its Windows version, copies the
distribution folder to C:\\install, starts its own Xvfb, drives the setup
through its dialogs with tools/winauto.exe and checks the exit code, the
registry, the files in drive_c and the spooler (tools/spoolstate.exe).

Where Wine 8.0 differs from Windows on a point the setup relies on, the check
says so in a comment and checks what Wine can show."""

import argparse
import os
import re
import signal
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import catalog  # noqa: E402
from wine_machine import (WINE_ARCHES, Machine, MachineError, Wine, log,  # noqa: E402
                          make_base_prefix)

SCENARIO_DEADLINE_S = 150

# What the setup's INF and driver registration put where, per branch: the
# test's own record of the package, independent of cmake/dist.cmake.
BRANCH = {"win98": "95", "nt351": "nt4", "nt40": "nt4", "win2k": "nt5", "winxp": "nt5"}
PLATFORM_TAG = {"win98": "95", "nt351": "nt_351", "nt40": "nt_40", "win2k": "W2K",
                "winxp": "W2K"}
WINDOWS_95_ENVIRONMENT = "Windows 4.0"
# Like Windows 10, Wine reports 6.2 to a program whose manifest does not name
# Windows 10.
WIN10_SYSTEM_LINE = "Microsoft Windows NT Version - 6.2\r\n"
SYSTEM_LINE = {
    "win98": "Microsoft Windows 95 Version - 4.10",
    "nt351": "Microsoft Windows NT Version - 3.51",
    "nt40": "Microsoft Windows NT Version - 4.0",
    "win2k": "Microsoft Windows NT Version - 5.0",
    "winxp": "Microsoft Windows NT Version - 5.1",
}
SYSTEM_FILES = {"95": ["kxdrvw32.dll", "devura.dll"],
                "nt4": ["faxsrv.exe", "tqvdrv32.dll"],
                "nt5": ["faxsrv.exe", "tqvdrv32.dll"]}
DRIVER_FILES = {
    "95": ["unidrv.dll", "unidrv.hlp", "ravelo.drv", "ravtlx.drv"],
    "nt4": ["rasdd.dll", "rasddui.dll", "rasddui.hlp", "ravelo.dll", "ravtlx.dll"],
    "nt5": ["unidrv.dll", "unidrvui.dll", "unidrv.hlp", "unires.dll", "tty.dll", "ttyui.dll",
            "ttyui.hlp", "ttyres.dll", "ravelo.gpd", "ravtlx.gpd", "ravelo.dll", "ravtlx.ini",
            "stdnames.gpd"],
}
# The files each branch takes from the language folder; the rest come from
# the platform folder.
LANGUAGE_FILES = {
    "95": {"unidrv.dll", "unidrv.hlp"},
    "nt4": {"rasdd.dll", "rasddui.dll", "rasddui.hlp"},
    "nt5": {"unidrv.dll", "unidrvui.dll", "unidrv.hlp", "unires.dll", "tty.dll", "ttyui.dll",
            "ttyui.hlp", "ttyres.dll"},
}
# Level-3 fields: driver, data, config, help, dependent files.
DRIVERS = {
    "95": {
        "Ravelo Printer Driver": ("ravelo.drv", "ravelo.drv", "ravelo.drv", None,
                                  ["ravelo.DRV"]),
        "Ravelo Telex Driver": ("ravtlx.drv", "ravtlx.drv", "ravtlx.drv", None,
                                ["ravtlx.DRV"]),
    },
    "nt4": {
        "Ravelo Printer Driver": ("rasdd.dll", "ravelo.dll", "rasddui.dll", "rasddui.hlp",
                                  ["ravelo.dll", "RASDD.DLL", "RASDDUI.DLL", "RASDDUI.HLP"]),
        "Ravelo Telex Driver": ("rasdd.dll", "ravtlx.dll", "rasddui.dll", "rasddui.hlp",
                                ["ravtlx.dll", "RASDD.DLL", "RASDDUI.DLL", "RASDDUI.HLP"]),
    },
    "nt5": {
        "Ravelo Printer Driver": ("unidrv.dll", "ravelo.gpd", "unidrvui.dll", "unidrv.hlp",
                                  ["ravelo.dll", "unidrv.dll", "unidrvui.dll", "unires.dll",
                                   "unidrv.hlp", "stdnames.gpd"]),
        "Ravelo Telex Driver": ("unidrv.dll", "ravtlx.gpd", "unidrvui.dll", "unidrv.hlp",
                                ["ravtlx.ini", "tty.dll", "ttyres.dll", "ttyui.dll",
                                 "ttyui.hlp", "unires.dll", "stdnames.gpd"]),
    },
}
FAX_DRIVER = "Ravelo Printer Driver"
TELEX_DRIVER = "Ravelo Telex Driver"
MERGE_PRINTER = "Ravelo Merge Driver"
PRODUCT_DRIVERS = (FAX_DRIVER, TELEX_DRIVER)
PROCESSOR = "tqvprint"
PRINTER_ATTRIBUTE_DEFAULT = 0x4
PRINTER_ATTRIBUTE_DIRECT = 0x2
PRINTER_ATTRIBUTE_RAW_ONLY = 0x1000

UNINSTALL_KEY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\zantrel"
RUN_KEY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Run"
INSTALL_TITLE = {"ravelo": "Ravelo Printer Driver Setup install Version 3.0",
                 "sorvik": "Sorvik Printer Driver Setup install Version 3.0"}
REMOVE_TITLE = "FAX Printer Driver remove Version 3.0"
DISPLAY_NAME = {"ravelo": "Ravelo Printer driver ", "sorvik": "Sorvik Printer driver "}
SHORT_NAME = {"ravelo": "Ravelo", "sorvik": "Sorvik"}
# A removal run never sets the installed identity: its texts carry the
# program's own product name.
REMOVAL_PRODUCT_NAME = "LUMETRA MAPI connector"

LANGUAGE_RADIO = {"ger": 2000, "eng": 2001, "fre": 2002}
IDOK, IDCANCEL, IDABORT, IDRETRY, IDIGNORE, IDNO = 1, 2, 3, 4, 5, 7
IDC_STATUS, IDC_INSTALL, IDC_REMOVE, IDC_REPORT = 1001, 1002, 1003, 1004
MESSAGE_TEXT_ID = 0xFFFF

# Status keys an installation or removal may show; any status text outside
# these (in the chosen language) is a fault.
INSTALL_STATUS_KEYS = ("SetupInit", "SetupRemoveOld", "ClosingPrintServer", "SetupStopSpooler",
                       "SetupStartSpooler", "SetupInstallFiles", "Installing port...",
                       "Waiting for port..", "Port installed", "installing...", "Register",
                       "Register1", "Register2", "StartPrinter", "SetupInstallDriver")
REMOVAL_STATUS_KEYS = ("SetupInit", "SetupRemoveOld", "ClosingPrintServer", "SetupStopSpooler",
                       "SetupStartSpooler")

FOREIGN_DRIVER = "Foreign Test Driver"
FOREIGN_PRINTER = "Foreign Test Printer"
FOREIGN_FILE = "fortest.dll"


class ScenarioFailed(Exception):
    pass


def spooler_environment(machine, branch):
    """Where the setup puts its drivers: the 95 family's environment, or the
    NT environment native to the machine's Wine ("Windows NT x86" in the
    32-bit one, "Windows x64" in the 64-bit one)."""
    return WINDOWS_95_ENVIRONMENT if branch == "95" else machine.runner.nt_environment


class Run:
    """One scenario's machine, expectations and findings."""

    def __init__(self, machine, options, quiet=False):
        self.machine = machine
        self.options = options
        self.quiet = quiet
        self.version = machine.version
        self.branch = BRANCH.get(machine.version)
        self.spooler_env = spooler_environment(machine, self.branch)
        self.failures = []
        self.lang_dir = os.path.join(options.source, "resources")

    # Findings ----------------------------------------------------------------

    def expect(self, ok, what):
        if ok:
            if not self.quiet:
                log(f"ok    {what}")
        else:
            log(f"FAIL  {what}")
            self.failures.append(what)
        return ok

    def equal(self, actual, expected, what):
        return self.expect(actual == expected,
                           f"{what}: {actual!r}" if actual == expected
                           else f"{what}: got {actual!r}, expected {expected!r}")

    def require(self, ok, what):
        if not self.expect(ok, what):
            raise ScenarioFailed(what)

    # Texts -------------------------------------------------------------------

    def shipped_catalog(self, language):
        return catalog.load(os.path.join(self.lang_dir, f"lang.{language}"))

    def installed_catalog(self):
        return catalog.load(self.machine.system_dir("zantrel.apd"))

    # Screenshots -------------------------------------------------------------

    def screenshot(self, name, event):
        if not self.options.screenshots:
            return
        os.makedirs(self.options.screenshots, exist_ok=True)
        # The dialog is mapped; give Wine a moment to paint it.
        time.sleep(0.4)
        path = os.path.join(self.options.screenshots, f"{name}.png")
        self.machine.display.screenshot(path, event["rect"])
        log(f"screenshot {path}")


def controls(event):
    return {c["id"]: c for c in event["controls"]}


def control_text(event, control_id):
    return controls(event)[control_id]["text"]


def one(events, kind):
    found = [e for e in events if e.get("event") == kind]
    if not found:
        raise ScenarioFailed(f"no {kind} event in {events}")
    return found[-1]


# Dialog steps ------------------------------------------------------------------


def language_dialog(run, language, brand="ravelo", present=("ger", "eng", "fre"),
                    answer=IDOK, screenshot=None):
    window = one(run.machine.auto("wait language 30"), "window")
    run.equal(window["title"], INSTALL_TITLE[brand], "language dialog title")
    radios = controls(window)
    preset = "eng" if brand == "sorvik" else "ger"
    for code, radio in LANGUAGE_RADIO.items():
        run.equal(radios[radio]["enabled"], code in present,
                  f"language {code} selectable when lang.{code} is there")
        run.equal(radios[radio]["checked"], code == preset, f"language {code} preselected")
    commands = []
    if language != preset:
        commands.append(f"click {LANGUAGE_RADIO[language]}")
    commands.append("dump")
    dumped = one(run.machine.auto("wait language 5", *commands), "dump")
    run.expect(controls(dumped)[LANGUAGE_RADIO[language]]["checked"],
               f"language {language} checked after the click")
    if screenshot:
        run.screenshot(screenshot, dumped)
    run.machine.auto("wait language 5", f"click {answer}", "gone 10")


def choice_dialog(run, brand="ravelo", report="", answer=IDC_INSTALL, screenshot=None,
                  system_line=None):
    window = one(run.machine.auto("wait choice 60"), "window")
    run.equal(window["title"], INSTALL_TITLE[brand], "choice dialog title")
    run.equal(control_text(window, IDC_STATUS), system_line or SYSTEM_LINE[run.version],
              "system line")
    if report is not None:
        run.equal(control_text(window, IDC_REPORT), report, "report of installed components")
    if screenshot:
        run.screenshot(screenshot, window)
    run.machine.auto("wait choice 5", f"click {answer}")
    return window


def expected_report(run, state):
    """The choice dialog's report of what an installation left, built from
    the spooler's lists in the order the spooler gives them."""
    env = run.spooler_env
    lines = []
    lines += [f"Installed PrintProcessor {name} found\r\n"
              for name in state.processors(env) if name == PROCESSOR]
    lines += [f"Printer Driver {name} found\r\n"
              for name in state.drivers(env) if name in PRODUCT_DRIVERS]
    lines += [f"Printer {p['name']} found\r\n " for p in state.of("printer")
              if p["driver"] in PRODUCT_DRIVERS]
    # Wine's EnumPortsA never lists NUL: (added through win.ini), so this
    # line, which Windows would show, does not come up under Wine.
    lines += [f"Port {name} found\r\n " for name in state.ports() if name == "NUL:"]
    return "".join(lines)


def watch_progress(run, title, allowed, pause_at=None, screenshot=None, optional=False,
                   wait_seconds=60):
    """Follows the progress dialog's status line until the dialog ends or a
    box comes up; returns the texts seen and why the watch ended. optional:
    the dialog may have come and gone before it could be seen."""
    wait = f"wait progress {wait_seconds}" + (" optional" if optional else "")
    if pause_at is not None:
        events = run.machine.auto(wait, f"watch {IDC_STATUS} 60 {pause_at}")
    else:
        events = run.machine.auto(wait, f"watch {IDC_STATUS} 90")
    windows = [e for e in events if e.get("event") == "window"]
    if windows:
        run.equal(windows[0]["title"], title, "progress dialog title")
    statuses = [e for e in events if e.get("event") == "status"]
    end = one(events, "watch-end")
    if end["reason"] == "text":
        if screenshot:
            run.screenshot(screenshot, windows[0])
        # The rest, unless the dialog ended meanwhile.
        events = run.machine.auto("wait progress 5 optional", f"watch {IDC_STATUS} 90")
        statuses += [e for e in events if e.get("event") == "status"]
        end = one(events, "watch-end")
    run.last_statuses = statuses
    seen = [e["text"] for e in statuses]
    log(f"status line: {seen} ({end['reason']})")
    strange = [text for text in seen if text not in allowed]
    run.equal(strange, [], "status texts outside the chosen language")
    return seen, end


def port_wait_ms(statuses, waiting_text):
    """How long the status line showed the wait for the port: from its first
    sighting to the next text."""
    for index, status in enumerate(statuses[:-1]):
        if status["text"] == waiting_text:
            following = [s for s in statuses[index + 1:] if s["text"] != waiting_text]
            return following[0]["ms"] - status["ms"] if following else None
    return None


def status_texts(language_catalog, keys, extra=()):
    return {language_catalog.text(key) for key in keys} | set(extra)


def result_dialog(run, expected, screenshot=None):
    window = one(run.machine.auto("wait result 60"), "window")
    run.equal(control_text(window, IDC_REPORT), expected, "result text")
    if screenshot:
        run.screenshot(screenshot, window)
    run.machine.auto("wait result 5", f"click {IDOK}", "gone 10")


def finish(run, process, exit_code):
    """Waits for the setup to end, answering a restart offer with No."""
    try:
        code = process.wait(8)
    except MachineError:
        # Windows offers a restart here. Wine's SetupPromptReboot is a stub
        # that shows nothing and returns 0, so under Wine this branch is
        # never taken.
        events = run.machine.auto("wait msgbox 2", f"click {IDNO}")
        log(f"restart offer answered: {events}")
        code = process.wait(30)
    run.equal(code, exit_code, "exit code")
    leftovers = [e for e in run.machine.auto("list") if e.get("visible")
                 and e.get("class") == "#32770"]
    run.equal(leftovers, [], "no dialog left on the screen")


# The machine's state -----------------------------------------------------------


def listing(root):
    found = {}
    for directory, _, files in os.walk(root):
        for name in files:
            path = os.path.join(directory, name)
            found[os.path.relpath(path, root)] = os.path.getsize(path)
    return found


def snapshot(run):
    """Everything an installation would change."""
    machine = run.machine
    with open(machine.host_path(r"C:\windows\win.ini"), "rb") as win_ini:
        win_ini_bytes = win_ini.read()
    return {
        "spooler": machine.spooler().events,
        "uninstall": machine.registry_values(UNINSTALL_KEY),
        "run": (machine.registry_values(RUN_KEY) or {}).get("tqvPRINT"),
        "system32": {name: size for name, size in listing(machine.system_dir()).items()
                     if not name.startswith("spool")},
        "spool": listing(machine.system_dir("spool")),
        "win.ini": win_ini_bytes,
    }


def expect_unchanged(run, before):
    after = snapshot(run)
    for part in before:
        if part == "system32":
            run.equal(sorted(set(after[part]) ^ set(before[part])), [],
                      "files in the system directory unchanged")
        else:
            run.equal(after[part], before[part], f"{part} unchanged")


def read_bytes(path):
    with open(path, "rb") as source:
        return source.read()


def processor_dir(run, state):
    return run.machine.host_path(state.directories(run.spooler_env)["processor_dir"])


def driver_dir(run, state):
    return run.machine.host_path(state.directories(run.spooler_env)["driver_dir"])


def placeholder_of(run, name, language):
    tag = PLATFORM_TAG[run.version]
    folder = f"{tag}/{language}" if name in LANGUAGE_FILES[run.branch] else tag
    return f"PLACEHOLDER: {name} ({folder}) ".encode()


def check_installed(run, language, brand="ravelo"):
    """The package is in place: files, uninstaller, registry, spooler."""
    machine = run.machine
    state = machine.spooler()
    env = run.spooler_env
    dist = run.options.dist
    tag = PLATFORM_TAG[run.version]

    # Files, each from the folder the INF names for it. Wine's default queue
    # callback skips a missing source file silently (Windows would ask for
    # it), so a successful installation alone proves nothing here.
    for name in SYSTEM_FILES[run.branch]:
        path = machine.system_dir(name)
        if not run.expect(os.path.exists(path), f"{name} in the system directory"):
            continue
        if name == "faxsrv.exe":
            run.expect(read_bytes(path) == read_bytes(os.path.join(dist, tag, name)),
                       "faxsrv.exe is the built fax server")
        else:
            run.expect(read_bytes(path).startswith(placeholder_of(run, name, language)),
                       f"{name} copied from {tag}")
    path = os.path.join(processor_dir(run, state), "tqvprint.dll")
    run.expect(os.path.exists(path) and read_bytes(path).startswith(
        placeholder_of(run, "tqvprint.dll", language)),
        "tqvprint.dll in the print-processor directory, from the platform folder")
    for name in DRIVER_FILES[run.branch]:
        path = os.path.join(driver_dir(run, state), name)
        run.expect(os.path.exists(path) and read_bytes(path).startswith(
            placeholder_of(run, name, language)),
            f"{name} in the driver directory, from its folder")
    temp = machine.host_path(r"C:\users")
    leftovers = [n for n in listing(temp) if os.path.basename(n).upper().startswith("INS")
                 and n.lower().endswith(".tmp")]
    run.equal(leftovers, [], "the written INF file deleted again")

    # The uninstaller copy and its settings file.
    run.expect(read_bytes(machine.system_dir("rmzantr.exe"))
               == read_bytes(os.path.join(dist, "setup.exe")),
               "rmzantr.exe is a copy of setup.exe")
    shipped = read_bytes(os.path.join(run.lang_dir, f"lang.{language}"))
    run.expect(read_bytes(machine.system_dir("zantrel.apd"))
               == catalog.substituted(shipped, SHORT_NAME[brand]),
               f"zantrel.apd is lang.{language} with @ as {SHORT_NAME[brand]}")

    # Registry.
    run.equal(machine.registry_values(UNINSTALL_KEY),
              {"DisplayName": DISPLAY_NAME[brand],
               "UninstallString": r"C:\windows\system32\rmzantr.exe"}, "uninstall entry")
    autostart = (machine.registry_values(RUN_KEY) or {}).get("tqvPRINT")
    run.equal(autostart, None if run.branch == "95" else "faxsrv.exe", "fax server autostart")

    # The port: written to win.ini's [ports]. Wine's EnumPortsA does not
    # list a port added this way, so the spooler's port list cannot show it.
    win_ini = read_bytes(machine.host_path(r"C:\windows\win.ini")).decode("cp1252")
    run.expect("[ports]" in win_ini and "NUL:=" in win_ini, "NUL: in win.ini [ports]")

    # Spooler: processor, drivers with their files, printers.
    run.expect(PROCESSOR in state.processors(env), f"print processor {PROCESSOR} in {env}")
    drivers = state.drivers(env)
    for name, (driver, data, config, help_file, dependent) in DRIVERS[run.branch].items():
        if not run.expect(name in drivers, f"driver {name} in {env}"):
            continue
        info = drivers[name]
        # Wine stores its own driver version (3 on NT, 0 for Windows 4.0),
        # whatever cVersion the setup gives, so the version is not checked.
        run.equal(info["environment"], env, f"{name} environment")
        base = os.path.basename

        def win_base(path):
            return None if path is None else base(path.replace("\\", "/"))

        run.equal((win_base(info["driver_path"]), win_base(info["data_file"]),
                   win_base(info["config_file"]), win_base(info["help_file"])),
                  (driver, data, config, help_file), f"{name} files")
        run.equal([win_base(p) for p in info["dependent_files"]], dependent,
                  f"{name} dependent files")
        run.equal(info["default_datatype"], "RAW", f"{name} data type")
    printers = state.printers()
    if run.branch == "95":
        wanted = PRINTER_ATTRIBUTE_DEFAULT
    else:
        wanted = PRINTER_ATTRIBUTE_DIRECT | PRINTER_ATTRIBUTE_RAW_ONLY
    for name in PRODUCT_DRIVERS:
        printer = printers.get(name)
        if not run.expect(printer is not None, f"printer {name}"):
            continue
        run.equal((printer["port"], printer["driver"], printer["processor"]),
                  ("NUL:", name, PROCESSOR), f"printer {name} port, driver, processor")
        run.equal(printer["attributes"] & wanted, wanted, f"printer {name} attributes")
    merge = printers.get(MERGE_PRINTER)
    if run.branch == "95":
        run.expect(merge is not None and (merge["port"], merge["driver"], merge["processor"])
                   == ("FILE:", FAX_DRIVER, PROCESSOR),
                   "merge printer on FILE: with the fax driver")
    else:
        run.equal(merge, None, "no merge printer on the NT family")
    spooler_service_running(run, "after the installation")
    return state


def check_removed(run, state_before_install=None):
    """Everything of the package is gone again (the removal succeeded)."""
    machine = run.machine
    state = machine.spooler()
    env = run.spooler_env
    run.equal([p for p in state.printers().values() if p["driver"] in PRODUCT_DRIVERS], [],
              "no printer of the package")
    run.equal(sorted(n for n in state.drivers(env) if n in PRODUCT_DRIVERS), [],
              "no driver of the package")
    # Wine's DeletePrintProcessorA returns TRUE and deletes nothing, so the
    # processor's registration cannot be checked; its file can.
    run.expect(not os.path.exists(os.path.join(processor_dir(run, state), "tqvprint.dll")),
               "tqvprint.dll deleted")
    for name in SYSTEM_FILES[run.branch]:
        run.expect(not os.path.exists(machine.system_dir(name)), f"{name} deleted")
    extension = "drv" if run.branch == "95" else "dll"
    if run.branch != "nt5":
        for name in (f"ravelo.{extension}", f"ravtlx.{extension}"):
            run.expect(not os.path.exists(os.path.join(driver_dir(run, state), name)),
                       f"{name} deleted from the driver directory")
    run.equal(machine.registry_values(UNINSTALL_KEY), None, "uninstall entry deleted")
    run.equal((machine.registry_values(RUN_KEY) or {}).get("tqvPRINT"), None,
              "autostart value deleted")
    fax_server_running(run, False)
    spooler_service_running(run, "after the removal")
    return state


def spooler_service_running(run, when):
    """On the NT family the setup leaves the spooler service running, after
    an installation and after a removal. Wine's service manager does not
    model dependencies: the stop records no dependent services, so only the
    spooler's own restart can be seen."""
    if run.branch == "95":
        return
    result = run.machine.wine(["sc", "query", "spooler"])
    output = result.stdout.decode(errors="replace")
    run.expect(result.returncode == 0 and "RUNNING" in output,
               f"spooler service running {when}")


def fax_server_running(run, expected):
    events = run.machine.auto("class FaxSrvClass")
    run.equal(one(events, "class")["present"], expected,
              "fax server window " + ("present" if expected else "gone"))


def add_foreign_printer(run):
    """Another vendor's driver and printer, which the setup must leave alone."""
    env = run.spooler_env
    state = run.machine.spooler()
    directory = driver_dir(run, state)
    with open(os.path.join(directory, FOREIGN_FILE), "wb") as driver_file:
        driver_file.write(b"PLACEHOLDER: a driver of another vendor\r\n")
    for args in (["add-driver", FOREIGN_DRIVER, env, FOREIGN_FILE],
                 ["add-printer", FOREIGN_PRINTER, FOREIGN_DRIVER, "LPT1:"]):
        result = run.machine.run_tool("spoolstate.exe", args, 60)
        run.require(result.returncode == 0,
                    f"spoolstate {args[0]}: {result.stdout.decode(errors='replace')}")
    state = run.machine.spooler()
    return state.drivers(env)[FOREIGN_DRIVER], state.printers()[FOREIGN_PRINTER]


def expect_foreign_kept(run, foreign):
    env = run.spooler_env
    state = run.machine.spooler()
    run.equal(state.drivers(env).get(FOREIGN_DRIVER), foreign[0], "foreign driver kept")
    run.equal(state.printers().get(FOREIGN_PRINTER), foreign[1], "foreign printer kept")


# Whole runs --------------------------------------------------------------------


def install(run, language, brand="ravelo", shots=None):
    """A normal run that installs; returns the spooler state afterwards."""
    machine = run.machine
    texts = run.shipped_catalog(language)
    started = time.monotonic()
    process = machine.start_setup()
    language_dialog(run, language, brand=brand,
                    screenshot=shots and f"{shots}-language")
    choice_dialog(run, brand=brand, report="", answer=IDC_INSTALL)
    allowed = status_texts(texts, INSTALL_STATUS_KEYS, ["Copy setup.exe ..."])
    # A status that stays long enough to be seen for sure: the spooler stop
    # waits 2 s on the NT family; the 95 family waits for the new port.
    lasting = texts.text("Waiting for port.." if run.branch == "95" else "SetupStopSpooler")
    seen, end = watch_progress(run, INSTALL_TITLE[brand], allowed,
                               pause_at=lasting if shots else None,
                               screenshot=shots and f"{shots}-progress")
    run.expect(lasting in seen, f"status {lasting!r} shown")
    if run.branch == "95" and not shots:
        # Wine's EnumPortsA never lists the port written to win.ini, so the
        # setup waits for it the whole time it allows (10 s) and goes on.
        # That time is what can be checked here.
        waited = port_wait_ms(run.last_statuses, lasting)
        run.expect(waited is not None and 9000 <= waited <= 14000,
                   f"the wait for the port given up after about 10 s ({waited} ms)")
    run.expect(end["reason"] in ("gone", "result"), f"progress ended normally ({end})")
    key = "SetupOk95" if run.branch == "95" else "SetupOk"
    result_dialog(run, texts.formatted(key, DISPLAY_NAME[brand]),
                  screenshot=shots and f"{shots}-result")
    finish(run, process, 1)
    log(f"interactive installation on {run.version}: {time.monotonic() - started:.1f} s")
    return check_installed(run, language, brand)


def removal_choice(run, state, shots=None, brand="ravelo"):
    """A normal run up to the REMOVE click, the report checked."""
    process = run.machine.start_setup()
    language_dialog(run, "ger", brand=brand)
    choice_dialog(run, brand=brand, report=expected_report(run, state), answer=IDC_REMOVE,
                  screenshot=shots and f"{shots}-choice")
    return process


def remove(run, state, shots=None):
    """A normal run that removes what the installation put in place."""
    installed = run.installed_catalog()
    process = removal_choice(run, state, shots=shots)
    allowed = status_texts(installed, REMOVAL_STATUS_KEYS)
    # The removal on the 95 family has no step that waits: its progress
    # dialog may come and go before it can be seen.
    seen, end = watch_progress(run, REMOVE_TITLE, allowed | {
        installed.formatted("RemoveOk95" if run.branch == "95" else "RemoveOk",
                            REMOVAL_PRODUCT_NAME)}, optional=run.branch == "95")
    if run.branch != "95":
        run.expect(installed.text("SetupStopSpooler") in seen,
                   "removal status shown in the installed language")
    key = "RemoveOk95" if run.branch == "95" else "RemoveOk"
    result_dialog(run, installed.formatted(key, REMOVAL_PRODUCT_NAME),
                  screenshot=shots and f"{shots}-removed")
    finish(run, process, 1)
    return check_removed(run)


def refused_removal(run, state, answers, shots=None, result_shot=None):
    """The removal on Windows 2000 and later under Wine. Wine's
    DeletePrinterDriverExA fails with ERROR_INVALID_PARAMETER (87) for every
    delete flag, so the setup takes its path for a driver the spooler refuses
    to delete: it asks Abort/Retry/Ignore with "SetupCantRemoveOld"; every
    answer but Retry ends the removal as failed ("RemoveFailed")."""
    machine = run.machine
    installed = run.installed_catalog()
    process = removal_choice(run, state, shots=shots)
    seen, end = watch_progress(run, REMOVE_TITLE, status_texts(installed, REMOVAL_STATUS_KEYS))
    run.equal(end["reason"], "msgbox", "the removal asks what to do")
    # The spooler has been started again before the question.
    run.equal(end.get("text"), installed.text("SetupStartSpooler"),
              "status line while the question is open")
    for number, answer in enumerate(answers):
        box = one(machine.auto("wait msgbox 30"), "window")
        run.equal(box["title"], REMOVE_TITLE, "question title")
        text = control_text(box, MESSAGE_TEXT_ID)
        first_line = installed.text("SetupCantRemoveOld") + "\r\n"
        # The second line is the system's text for error 87 (Wine's wording).
        run.expect(text.startswith(first_line) and len(text) > len(first_line),
                   f"question text {text!r}")
        buttons = controls(box)
        run.expect(all(b in buttons for b in (IDABORT, IDRETRY, IDIGNORE)),
                   "Abort, Retry and Ignore offered")
        if number == 0 and shots:
            run.screenshot(f"{shots}-error", box)
        machine.auto("wait msgbox 5", f"click {answer}", "gone 10")
    result_dialog(run, installed.formatted("RemoveFailed", REMOVAL_PRODUCT_NAME),
                  screenshot=result_shot)
    finish(run, process, 0)
    # The printers went first; the drivers stay and so does the entry.
    after = machine.spooler()
    env = run.spooler_env
    run.equal([p for p in after.printers().values() if p["driver"] in PRODUCT_DRIVERS], [],
              "the package's printers deleted before the refusal")
    run.equal(sorted(n for n in after.drivers(env) if n in PRODUCT_DRIVERS),
              sorted(PRODUCT_DRIVERS), "the refused drivers still there")
    run.expect(machine.registry_values(UNINSTALL_KEY) is not None,
               "uninstall entry kept for a later removal")
    run.equal((machine.registry_values(RUN_KEY) or {}).get("tqvPRINT"), None,
              "autostart value deleted")
    fax_server_running(run, False)
    spooler_service_running(run, "after the refused removal")


def uninstaller(run, brand="ravelo"):
    """The uninstaller copy run from the system directory: the removal
    without questions, then (on the NT family) its own deletion."""
    machine = run.machine
    installed = run.installed_catalog()
    process = machine.start_setup(r"C:\windows\system32\rmzantr.exe",
                                  cwd=machine.system_dir())
    key = "RemoveOk95" if run.branch == "95" else "RemoveOk"
    allowed = status_texts(installed, REMOVAL_STATUS_KEYS) | {
        installed.formatted(key, REMOVAL_PRODUCT_NAME)}
    # On the 95 family nothing follows a missed progress dialog: wait less.
    seen, end = watch_progress(run, REMOVE_TITLE, allowed, optional=run.branch == "95",
                               wait_seconds=10 if run.branch == "95" else 60)
    if run.branch != "95":
        run.expect(installed.text("SetupStopSpooler") in seen, "removal status shown")
    run.expect(end["reason"] in ("gone", "absent"),
               f"no result dialog after the uninstaller's removal ({end['reason']})")
    code = process.wait(30)
    log(f"uninstaller exit code {code}")
    copies = [machine.system_dir("rmzantr.exe"), machine.system_dir("zantrel.apd")]
    if run.branch == "95":
        run.equal(code, 1, "uninstaller exit code")
        run.expect(all(os.path.exists(p) for p in copies),
                   "the copy and its settings stay behind on the 95 family")
    else:
        # The command interpreter that deletes them runs on after the
        # uninstaller ended.
        deadline = time.monotonic() + 20
        while any(os.path.exists(p) for p in copies) and time.monotonic() < deadline:
            time.sleep(0.2)
        run.expect(not any(os.path.exists(p) for p in copies),
                   "rmzantr.exe and zantrel.apd deleted after the removal")
    return check_removed(run)


# Scenarios ---------------------------------------------------------------------

SCENARIOS = {}


def scenario(name, version):
    def register(function):
        SCENARIOS[name] = (version, function)
        return function
    return register


@scenario("winxp_install_remove", "winxp")
def winxp_install_remove(run):
    """German: install, then a removal that Wine refuses; Retry, then Abort."""
    fax_server_running(run, False)
    state = install(run, "ger", shots="ger")
    fax_server_running(run, True)
    refused_removal(run, state, [IDRETRY, IDABORT], shots="ger")


@scenario("win2k_install_remove", "win2k")
def win2k_install_remove(run):
    """English with a foreign printer: install, then a refused removal; Ignore."""
    foreign = add_foreign_printer(run)
    state = install(run, "eng", shots="eng")
    fax_server_running(run, True)
    refused_removal(run, state, [IDIGNORE], shots="eng")
    expect_foreign_kept(run, foreign)


@scenario("nt40_install_remove", "nt40")
def nt40_install_remove(run):
    """English with the user's print window open and a foreign printer:
    install, then a complete removal."""
    machine = run.machine
    foreign = add_foreign_printer(run)
    print_window = machine.start(os.path.join(run.options.build, "tools", "kxprnwnd.exe"))
    user = one(machine.auto("user"), "user")["name"]
    machine.auto(f"waitclass kxprnwnd_{user} 20")
    state = install(run, "eng")
    # Stopping the spooler closes the user's print window.
    events = machine.auto(f"class kxprnwnd_{user}")
    run.equal(one(events, "class")["present"], False, "print window closed by the setup")
    try:
        print_window.wait(10)
        run.expect(True, "print window program ended")
    except MachineError:
        run.expect(False, "print window program ended")
    fax_server_running(run, True)
    remove(run, state)
    expect_foreign_kept(run, foreign)


@scenario("nt351_install_remove", "nt351")
def nt351_install_remove(run):
    """German on NT 3.51: install and a complete removal."""
    state = install(run, "ger")
    fax_server_running(run, True)
    remove(run, state)


@scenario("win98_install_remove", "win98")
def win98_install_remove(run):
    """French on Windows 98: install (with the port wait) and removal."""
    state = install(run, "fre")
    # The fax server is only started on the NT family.
    fax_server_running(run, False)
    remove(run, state)


@scenario("language_cancel", "nt40")
def language_cancel(run):
    """Cancel in the language dialog ends with 0 and changes nothing; a
    missing language file disables its choice."""
    os.remove(os.path.join(run.machine.install_dir, "lang.fre"))
    before = snapshot(run)
    process = run.machine.start_setup()
    language_dialog(run, "eng", present=("ger", "eng"), answer=IDCANCEL)
    finish(run, process, 0)
    expect_unchanged(run, before)


@scenario("choice_cancel", "winxp")
def choice_cancel(run):
    """Cancel in the choice dialog ends with 1 and changes nothing."""
    before = snapshot(run)
    process = run.machine.start_setup()
    language_dialog(run, "fre")
    choice_dialog(run, report="", answer=IDCANCEL)
    finish(run, process, 1)
    expect_unchanged(run, before)


@scenario("remove_nothing_installed", "nt40")
def remove_nothing_installed(run):
    """REMOVE with nothing installed does nothing and ends with 1."""
    before = snapshot(run)
    process = run.machine.start_setup()
    language_dialog(run, "ger")
    choice_dialog(run, report="", answer=IDC_REMOVE)
    finish(run, process, 1)
    expect_unchanged(run, before)


@scenario("win10_not_supported", "win10")
def win10_not_supported(run):
    """Windows 10 is an NT version the setup does not support."""
    before = snapshot(run)
    process = run.machine.start_setup()
    language_dialog(run, "eng")
    choice_dialog(run, report="not supported!", answer=IDCANCEL,
                  system_line=WIN10_SYSTEM_LINE)
    finish(run, process, 1)
    expect_unchanged(run, before)


@scenario("uninstaller_nt40", "nt40")
def uninstaller_nt40(run):
    """English install, then rmzantr.exe from the system directory."""
    install(run, "eng")
    uninstaller(run)


@scenario("uninstaller_win98", "win98")
def uninstaller_win98(run):
    """German install on Windows 98, then rmzantr.exe."""
    install(run, "ger")
    uninstaller(run)


@scenario("sorvik_nt40", "nt40")
def sorvik_nt40(run):
    """The Sorvik variant: the marker file in the current directory."""
    with open(os.path.join(run.machine.install_dir, "sorvik"), "wb"):
        pass
    install(run, "eng", brand="sorvik")
    # The removal title is the same for both brands.
    uninstaller(run, brand="sorvik")


# Switch runs -------------------------------------------------------------------

SETUP_EXE = r"C:\install\setup.exe"
UNINSTALLER_EXE = r"C:\windows\system32\rmzantr.exe"
LOG_STAMP = re.compile(r"^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} ")
# The waits the program must make, in seconds.
SPOOLER_STOP_WAIT_S = 2
PRINT_WINDOW_WAIT_S = 1


def switch_run(run, program, args, code, cwd=r"C:\windows\temp", timeout=90, headless=False,
               windowed=(), direct=False):
    """Runs a quiet program to its end and checks its exit code; its wall
    time. A headless run has no display: a window any program tried to
    create fails, and Wine's diagnostic names the process. This shows that
    the setup creates no window at all, hidden ones included, where a look
    at the screen would miss a window shown briefly. windowed: the programs
    the run starts that may try, if they get that far before the run ends
    (the fax server's hidden window)."""
    machine = run.machine
    got, seconds, attempts = machine.run_switches(program, args, machine.host_path(cwd),
                                                  timeout, headless=headless, direct=direct)
    what = f"{os.path.basename(program.replace(chr(92), '/'))} {' '.join(args)}"
    log(f"{what}: exit code {got} after {seconds:.1f} s")
    # Started directly, the exit code comes through Wine's loader as its
    # low 8 bits; the log's last line has the whole code.
    run.equal(got, code & 0xFF if direct else code, f"{what}: exit code")
    if headless:
        run.equal([name for name in attempts if name not in windowed], [],
                  f"{what}: programs that tried to create a window")
    return seconds


def expect_log(run, path, steps, code):
    """The log holds lines beginning with steps, in this order, each stamped
    to the millisecond, and names the exit code on its last line."""
    host = run.machine.host_path(path)
    if not run.expect(os.path.exists(host), f"log {path} written"):
        return []
    with open(host, encoding="cp1252", errors="replace") as log_file:
        lines = log_file.read().splitlines()
    run.equal([line for line in lines if not LOG_STAMP.match(line)], [],
              f"{path}: lines without a time stamp")
    events = [LOG_STAMP.sub("", line) for line in lines]
    stamps = [time.strptime(line[:19], "%Y-%m-%d %H:%M:%S") for line in lines[:1] + lines[-1:]
              if LOG_STAMP.match(line)]
    if len(stamps) == 2:
        span = (time.mktime(stamps[1]) + int(lines[-1][20:23]) / 1000
                - time.mktime(stamps[0]) - int(lines[0][20:23]) / 1000)
        log(f"{path}: {span:.1f} s from the first line to the last")
    position = 0
    for step in steps:
        found = [i for i in range(position, len(events)) if events[i].startswith(step)]
        if not run.expect(found, f"{path}: {step!r} in order"):
            log(f"{path}:\n" + "\n".join(events))
            break
        position = found[0] + 1
    run.equal(events[-1:], [f"exit code {code}"], f"{path}: last line")
    return events


def wait_for_copies_deleted(run, seconds):
    """The hidden command interpreter deletes the copy and its settings
    after the uninstaller ended, with pauses of 2 and 30 s while the copy
    is still in use."""
    copies = [run.machine.system_dir("rmzantr.exe"), run.machine.system_dir("zantrel.apd")]
    deadline = time.monotonic() + seconds
    while any(os.path.exists(p) for p in copies) and time.monotonic() < deadline:
        time.sleep(0.2)
    run.expect(not any(os.path.exists(p) for p in copies),
               "rmzantr.exe and zantrel.apd deleted after the quiet removal")


@scenario("quiet_nt40", "nt40")
def quiet_nt40(run):
    """French, quiet, started from another folder with the print window
    open: install, /CHECK, then rmzantr.exe /Q."""
    machine = run.machine
    print_window = machine.start(os.path.join(run.options.build, "tools", "kxprnwnd.exe"))
    user = one(machine.auto("user"), "user")["name"]
    machine.auto(f"waitclass kxprnwnd_{user} 20")
    seconds = switch_run(run, SETUP_EXE, ["/INSTALL", "/Q", "/LANG=fre", r"/LOG=C:\q.log"],
                         3010)
    log(f"quiet installation on nt40: {seconds:.1f} s, of which the program must wait "
        f"{SPOOLER_STOP_WAIT_S + PRINT_WINDOW_WAIT_S} s (spooler stop, print window)")
    check_installed(run, "fre")
    fax_server_running(run, True)
    run.equal(one(machine.auto(f"class kxprnwnd_{user}"), "class")["present"], False,
              "print window closed by the quiet run")
    print_window.wait(10)
    events = expect_log(run, r"C:\q.log", [
        "start setup ", "platform 2, version 4.0.1381, branch nt_40", "language fre",
        "status SetupStopSpooler", "step SetupStopSpooler succeeded", "file copied: ",
        "result SetupOk"], 3010)
    run.expect(events and events[0].endswith(
        r' command line "/INSTALL /Q /LANG=fre /LOG=C:\q.log", program folder C:\install,'
        r' current folder C:\windows\temp, user ' + user), f"start line {events[:1]}")
    run.equal([e for e in events if "failed" in e or e.startswith("question")], [],
              "no failure or question in the log")
    switch_run(run, SETUP_EXE, ["/CHECK", "/Q", r"/LOG=C:\check.log"], 0, cwd="C:\\",
               headless=True)
    events = expect_log(run, r"C:\check.log", ["start setup", "language ger"], 0)
    run.equal([e for e in events if e.startswith("check:")][-1:],
              ["check: 7 of 7 pieces in place"], "the check's count")
    # Started as a distribution server would, with no console for the
    # deletion command to share. Whether that command's console is hidden
    # cannot be seen here: Wine's console host tries its window hidden or
    # not, after the uninstaller ended.
    switch_run(run, UNINSTALLER_EXE, ["/Q", r"/LOG=C:\rm.log"], 3010, cwd="C:\\",
               headless=True, direct=True)
    check_removed(run)
    wait_for_copies_deleted(run, 45)
    expect_log(run, r"C:\rm.log", [
        'start rmzantr', "platform 2, version 4.0.1381, branch nt_40",
        "status SetupStopSpooler", "step SetupRemoveOld succeeded",
        "deletion of the uninstaller copy started",
        "result RemoveOk"], 3010)


@scenario("quiet_winxp", "winxp")
def quiet_winxp(run):
    """A wrong switch, a quiet English install, then rmzantr.exe /Q, which
    Wine's refused driver deletion makes fail."""
    before = snapshot(run)
    switch_run(run, SETUP_EXE, ["/BOGUS", "/Q"], 1639, headless=True)
    expect_unchanged(run, before)
    run.equal([n for n in listing(run.machine.host_path(r"C:\users")) if n.endswith(".log")],
              [], "no log written for a wrong line")
    # The fax server the installation starts is a program of its own, whose
    # one window is never shown.
    seconds = switch_run(run, SETUP_EXE, ["/INSTALL", "/Q", "/LANG=eng", r"/LOG=C:\q.log"],
                         3010, headless=True, windowed=["faxsrv.exe"])
    log(f"quiet installation on winxp: {seconds:.1f} s, of which the program must wait "
        f"{SPOOLER_STOP_WAIT_S} s (spooler stop)")
    check_installed(run, "eng")
    expect_log(run, r"C:\q.log", ["start setup", "language eng", "result SetupOk"], 3010)
    # Interactive, this removal stops at an Abort/Retry/Ignore question.
    switch_run(run, UNINSTALLER_EXE, ["/Q", r"/LOG=C:\rm.log"], 1603, timeout=120,
               headless=True)
    run.expect(all(os.path.exists(run.machine.system_dir(n)) for n in ("rmzantr.exe",
                                                                       "zantrel.apd")),
               "rmzantr.exe and zantrel.apd kept")
    run.expect(run.machine.registry_values(UNINSTALL_KEY) is not None,
               "uninstall entry kept for a later removal")
    run.equal(sorted(n for n in run.machine.spooler().drivers(run.spooler_env)
                     if n in PRODUCT_DRIVERS), sorted(PRODUCT_DRIVERS),
              "the refused drivers still there")
    spooler_service_running(run, "after the refused quiet removal")
    events = expect_log(run, r"C:\rm.log", [
        "start rmzantr", "question SetupCantRemoveOld, answer Abort, error 87",
        "result RemoveFailed"], 1603)
    run.equal([e for e in events if "deletion of the uninstaller copy" in e], [],
              "no deletion of the copy started")


# Command line ------------------------------------------------------------------


def run_scenario(options):
    version, function = SCENARIOS[options.name]
    started = time.monotonic()
    machine = None
    passed = False

    def deadline(signum, frame):
        raise MachineError(f"scenario deadline of {SCENARIO_DEADLINE_S} s passed")

    def terminated(signum, frame):
        raise MachineError(f"terminated by signal {signum}")

    signal.signal(signal.SIGALRM, deadline)
    signal.signal(signal.SIGTERM, terminated)
    signal.alarm(SCENARIO_DEADLINE_S)
    try:
        machine = Machine(options.work, options.name, version, options.dist,
                          os.path.join(options.build, "tools"), Wine(options.arch))
        log(f"scenario {options.name} on {version}: {function.__doc__.strip().splitlines()[0]}")
        run = Run(machine, options)
        function(run)
        passed = not run.failures
        for failure in run.failures:
            log(f"failed: {failure}")
    except (MachineError, ScenarioFailed) as error:
        log(f"failed: {error}")
    finally:
        signal.alarm(0)
        if machine is not None:
            machine.close()
            if passed and not options.keep:
                machine.remove()
    log(f"scenario {options.name} {'passed' if passed else 'FAILED'} in "
        f"{time.monotonic() - started:.1f} s")
    return 0 if passed else 1


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    sub = parser.add_subparsers(dest="command", required=True)
    prepare = sub.add_parser("prepare")
    prepare.add_argument("--work", required=True)
    prepare.add_argument("--arch", required=True, choices=WINE_ARCHES,
                         help="the Wine to run: 32 or 64 bits")
    sub.add_parser("list")
    one_scenario = sub.add_parser("scenario")
    one_scenario.add_argument("name", choices=sorted(SCENARIOS))
    one_scenario.add_argument("--work", required=True)
    one_scenario.add_argument("--build", required=True, help="the Windows build folder")
    one_scenario.add_argument("--dist", required=True, help="the distribution folder")
    one_scenario.add_argument("--source", required=True, help="the source folder")
    one_scenario.add_argument("--screenshots", help="where to save the dialogs as PNG")
    one_scenario.add_argument("--keep", action="store_true", help="keep the prefix")
    one_scenario.add_argument("--arch", required=True, choices=WINE_ARCHES,
                              help="the Wine to run, matching the build: 32 or 64 bits")
    options = parser.parse_args()
    for name in ("work", "build", "dist", "source", "screenshots"):
        if getattr(options, name, None):
            setattr(options, name, os.path.abspath(getattr(options, name)))

    if options.command == "list":
        print(";".join(SCENARIOS))
        return 0
    if options.command == "prepare":
        started = time.monotonic()
        signal.signal(signal.SIGTERM, lambda s, f: sys.exit(1))
        try:
            make_base_prefix(options.work, Wine(options.arch))
        except (MachineError, OSError) as error:
            log(f"failed: {error}")
            return 1
        log(f"base prefix ready in {time.monotonic() - started:.1f} s")
        return 0
    return run_scenario(options)


if __name__ == "__main__":
    sys.exit(main())
