#!/usr/bin/env python3
"""The conformance suite's Windows build (conformance.exe) under Wine: one
group of calls, on an NT version and on a 95-family version of Windows.

    conformance.py --group NAME --work DIR --arch 32|64 --build DIR
                   [--windows VERSION ...] [--keep]

Each version runs in its own copy of the base prefix (made by
e2e.py prepare), with its own Xvfb and Wine server. The program prints
each test and each failed check, and marks where Wine is known to differ
from Windows; its exit code is the verdict."""

import argparse
import os
import shutil
import signal
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from wine_machine import (WINE_ARCHES, WINE_VERSIONS, Machine, MachineError, Wine,  # noqa: E402
                          log)

# Windows XP for the NT family, Windows 98 for the 95 family.
DEFAULT_VERSIONS = ("winxp", "win98")
GROUP_DEADLINE_S = 240


def run_group(options, version):
    """Runs the group on one Windows version; True when every check held."""
    name = f"conformance_{options.group}_{version}"
    staging = os.path.join(options.work, name + "_program")
    shutil.rmtree(staging, ignore_errors=True)
    os.makedirs(staging)
    shutil.copy(os.path.join(options.build, "tests", "conformance", "conformance.exe"), staging)
    machine = None
    passed = False
    try:
        machine = Machine(options.work, name, version, staging, os.path.join(options.build, "tools"),
                          Wine(options.arch))
        program = os.path.join(machine.install_dir, "conformance.exe")
        started = time.monotonic()
        result = subprocess.run(machine.runner.command(program, options.group),
                                env=machine.environment, cwd=machine.install_dir,
                                stdin=subprocess.DEVNULL, capture_output=True,
                                timeout=GROUP_DEADLINE_S)
        print(result.stdout.decode("utf-8", errors="replace"), end="")
        if result.returncode != 0:
            print(result.stderr.decode("utf-8", errors="replace")[-4000:], end="")
        passed = result.returncode == 0
        log(f"{options.group} on {version}: exit {result.returncode} in "
            f"{time.monotonic() - started:.1f} s")
    except (MachineError, OSError, subprocess.TimeoutExpired) as error:
        log(f"{options.group} on {version}: {error}")
    finally:
        if machine is not None:
            machine.close()
            if passed and not options.keep:
                machine.remove()
        shutil.rmtree(staging, ignore_errors=True)
    return passed


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--group", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--build", required=True, help="the Windows build folder")
    parser.add_argument("--arch", required=True, choices=WINE_ARCHES)
    parser.add_argument("--windows", nargs="+", choices=WINE_VERSIONS, default=DEFAULT_VERSIONS)
    parser.add_argument("--keep", action="store_true", help="keep the prefixes")
    options = parser.parse_args()
    options.work = os.path.abspath(options.work)
    options.build = os.path.abspath(options.build)
    signal.signal(signal.SIGTERM, lambda s, f: sys.exit(1))
    failed = [version for version in options.windows if not run_group(options, version)]
    if failed:
        log(f"{options.group} failed on {', '.join(failed)}")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
