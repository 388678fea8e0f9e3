#!/usr/bin/env python3
"""The setup in a throwaway Wine prefix, for ./run.sh.

    demo.py --windows VERSION [--language ger|eng|fre] [--interactive] [--keep]

Headless (the default, or whenever there is no display): under its own
Xvfb it clicks through an installation and then a removal, prints after each
what the machine holds and saves every dialog as a PNG. With --interactive
and a display, a person clicks through the setup twice (install, then
remove) and the state is printed after each run."""

import argparse
import ntpath
import os
import shutil
import signal
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import e2e  # noqa: E402
from wine_machine import (WINE_ARCHES, Machine, MachineError, Wine, log,  # noqa: E402
                          make_base_prefix)

ALIASES = {"95": "win98", "98": "win98", "nt4": "nt40", "4": "nt40", "351": "nt351",
           "2000": "win2k", "2k": "win2k", "xp": "winxp", "10": "win10"}
INTERACTIVE_LIMIT_S = 1800


def describe(machine, version):
    """What the machine holds of the package, as a person would look for it."""
    branch = e2e.BRANCH.get(version, "nt5")
    env = e2e.spooler_environment(machine, branch)
    state = machine.spooler()
    uninstall = machine.registry_values(e2e.UNINSTALL_KEY)
    autostart = (machine.registry_values(e2e.RUN_KEY) or {}).get("tqvPRINT")
    print("  uninstall entry:  " + (", ".join(f"{k}={v!r}" for k, v in uninstall.items())
                                    if uninstall is not None else "none"))
    print(f"  Run value:        {'tqvPRINT=' + repr(autostart) if autostart else 'none'}")
    directories = state.directories(env)
    places = [("system", machine.system_dir(), e2e.SYSTEM_FILES[branch]
               + ["rmzantr.exe", "zantrel.apd"]),
              ("print processors", machine.host_path(directories["processor_dir"]),
               ["tqvprint.dll"]),
              ("drivers", machine.host_path(directories["driver_dir"]),
               e2e.DRIVER_FILES[branch])]
    for label, path, names in places:
        present = [n for n in names if os.path.exists(os.path.join(path, n))]
        print(f"  files ({label}): {' '.join(present) if present else 'none'}")
    processors = state.processors(env)
    registered = e2e.PROCESSOR in processors
    print(f"  print processor:  {e2e.PROCESSOR if registered else 'none'} "
          f"(all in {env}: {', '.join(processors)})")
    for name, driver in state.drivers(env).items():
        print(f"  driver:           {name} ({ntpath.basename(driver['driver_path'])}, "
              f"{ntpath.basename(driver['data_file'])}, in {ntpath.dirname(driver['driver_path'])})")
    if not state.drivers(env):
        print("  driver:           none")
    for name, printer in state.printers().items():
        print(f"  printer:          {name} on {printer['port']}, driver {printer['driver']}, "
              f"processor {printer['processor']}, attributes 0x{printer['attributes']:x}")
    if not state.printers():
        print("  printer:          none")
    fax = e2e.one(machine.auto("class FaxSrvClass"), "class")["present"]
    print(f"  fax server:       {'running' if fax else 'not running'}")


def headless(machine, options):
    run = e2e.Run(machine, options, quiet=True)
    version = machine.version
    if version not in e2e.BRANCH:
        # An unsupported version: the choice dialog says so; cancel there.
        process = machine.start_setup()
        e2e.language_dialog(run, options.language, screenshot="language")
        window = e2e.choice_dialog(run, report=None, answer=e2e.IDCANCEL, screenshot="choice",
                                   system_line=e2e.WIN10_SYSTEM_LINE)
        print("\nThe setup says: " + e2e.control_text(window, e2e.IDC_STATUS).strip()
              + " " + e2e.control_text(window, e2e.IDC_REPORT))
        e2e.finish(run, process, 1)
        return run
    print(f"\n== Installation ({options.language}) ==")
    state = e2e.install(run, options.language, shots="install")
    describe(machine, version)
    print("\n== Removal ==")
    if e2e.BRANCH[version] == "nt5":
        print("  Wine cannot delete a printer driver together with its files "
              "(DeletePrinterDriverExA fails with error 87),\n  so on Windows 2000 and later "
              "the removal stops there: the setup asks Abort/Retry/Ignore and this run "
              "answers Abort.")
        e2e.refused_removal(run, state, [e2e.IDABORT], shots="remove",
                            result_shot="remove-failed")
    else:
        e2e.remove(run, state, shots="remove")
    describe(machine, version)
    if e2e.BRANCH[version] != "nt5" and e2e.PROCESSOR in machine.spooler().processors(
            e2e.spooler_environment(machine, e2e.BRANCH[version])):
        print(f"  ({e2e.PROCESSOR} is still listed: Wine's DeletePrintProcessorA reports "
              "success and deletes nothing.)")
    return run


def interactive(machine, options):
    for step in ("install", "remove"):
        print(f"\n== Run the setup: {step} (close its dialogs to go on) ==", flush=True)
        process = machine.start_setup()
        code = process.wait(INTERACTIVE_LIMIT_S)
        print(f"setup.exe ended with exit code {code}")
        describe(machine, machine.version)


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--windows", default="nt40",
                        help="win98, nt351, nt40, win2k, winxp or win10 (default nt40)")
    parser.add_argument("--language", default="eng", choices=("ger", "eng", "fre"))
    parser.add_argument("--interactive", action="store_true")
    parser.add_argument("--keep", action="store_true", help="keep the Wine prefix")
    parser.add_argument("--work", required=True)
    parser.add_argument("--build", required=True)
    parser.add_argument("--dist", required=True)
    parser.add_argument("--source", required=True)
    parser.add_argument("--arch", required=True, choices=WINE_ARCHES,
                        help="the Wine to run, matching the build: 32 or 64 bits")
    options = parser.parse_args()
    for name in ("work", "build", "dist", "source"):
        setattr(options, name, os.path.abspath(getattr(options, name)))
    version = ALIASES.get(options.windows.lower(), options.windows.lower())
    if version not in e2e.SYSTEM_LINE and version != "win10":
        parser.error(f"unknown Windows version {options.windows}")
    use_display = options.interactive and os.environ.get("DISPLAY")
    if options.interactive and not use_display:
        log("no display: running headless instead")
    options.screenshots = None if use_display else os.path.join(options.work, "screenshots")

    signal.signal(signal.SIGTERM, lambda s, f: sys.exit(1))
    started = time.monotonic()
    machine = None
    try:
        log("making a fresh Wine prefix (about 10 s)")
        wine = Wine(options.arch)
        make_base_prefix(options.work, wine)
        machine = Machine(options.work, "machine", version, options.dist,
                          os.path.join(options.build, "tools"), wine,
                          display=os.environ["DISPLAY"] if use_display else None)
        print(f"Windows version: {version}; the package: {options.dist}")
        print("Before the setup:")
        describe(machine, version)
        if use_display:
            interactive(machine, options)
            failures = []
        else:
            failures = headless(machine, options).failures
    except (MachineError, e2e.ScenarioFailed) as error:
        log(f"the run stopped: {error}")
        return 1
    finally:
        if machine is not None:
            machine.close()
            if not options.keep:
                machine.remove()
        if not options.keep:
            shutil.rmtree(os.path.join(options.work, "base"), ignore_errors=True)
            if os.path.exists(os.path.join(options.work, "base.ready")):
                os.remove(os.path.join(options.work, "base.ready"))
    if options.screenshots:
        shots = sorted(os.listdir(options.screenshots))
        print(f"\nScreenshots of the dialogs: {options.screenshots}/ ({', '.join(shots)})")
    for failure in failures:
        print(f"unexpected: {failure}")
    log(f"done in {time.monotonic() - started:.0f} s")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
