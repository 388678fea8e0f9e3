#!/usr/bin/env python3
"""Checks of the Windows build that need no Wine:

    check_build.py imports --exe setup.exe --objdump OBJDUMP --allowed LIST
    check_build.py size --exe setup.exe --limit BYTES
    check_build.py dist --dist DIR --source DIR --faxsrv faxsrv.exe
    check_build.py reproducible --exe setup.exe --source DIR --work DIR
    check_build.py payload --dist DIR --source DIR --work DIR

imports: every DLL and function in the import table must be in the list
(tools/setup_imports.txt), and none may be one that Windows 95 or NT 4
lacks. size: the program stays within its budget. dist: the distribution
folder holds the setup, the three language files and, for each file of the
payload, the built fax server or a placeholder that says so. reproducible:
a second build of the same sources with the windows preset in another
folder gives the same bytes. payload: the distribution assembled from a
packager's payload folder names each missing file, warns on each file no INF
takes, and otherwise ships the packager's bytes."""

import argparse
import os
import re
import shutil
import subprocess
import sys

# Imports that must never appear, whatever the list says.
FORBIDDEN_DLLS = re.compile(r"winpthread|libgcc|libstdc\+\+|ucrtbase|api-ms-win", re.I)
FORBIDDEN_FUNCTIONS = {"GetTickCount64", "IsDBCSLeadByteEx", "GetModuleHandleW"}
# A Unicode entry point of a Windows DLL: a stub on the 95 family.
UNICODE_ENTRY = re.compile(r"[a-z0-9]W$")


def read_imports(objdump, exe):
    output = subprocess.run([objdump, "-p", exe], capture_output=True, check=True,
                            timeout=60).stdout.decode(errors="replace")
    imports = set()
    dll = None
    for line in output.splitlines():
        match = re.match(r"^\s*DLL Name:\s*(\S+)", line)
        if match:
            dll = match.group(1)
            continue
        match = re.match(r"^\s+[0-9a-f]+\s+\d+\s+(\S+)\s*$", line)
        if dll and match:
            imports.add((dll.lower(), match.group(1)))
    if not imports:
        raise SystemExit(f"no import table read from {exe}")
    return imports


def read_allowed(path):
    allowed = set()
    dll = None
    with open(path, encoding="utf-8") as listing:
        for line in listing:
            line = line.split("#", 1)[0].strip()
            if not line:
                continue
            if line.startswith("["):
                dll = line.strip("[]")
            elif dll is None:
                raise SystemExit(f"{path}: function {line} before any [DLL]")
            else:
                allowed.add((dll.lower(), line))
    return allowed


def check_imports(options):
    imports = read_imports(options.objdump, options.exe)
    allowed = read_allowed(options.allowed)
    failures = []
    for dll, function in sorted(imports - allowed):
        failures.append(f"not in {os.path.basename(options.allowed)}: {dll} {function}")
    for dll, function in sorted(imports | allowed):
        if FORBIDDEN_DLLS.search(dll):
            failures.append(f"a DLL Windows 95 and NT 4 do not have: {dll}")
        if function in FORBIDDEN_FUNCTIONS or (
                dll != "msvcrt.dll" and UNICODE_ENTRY.search(function)):
            failures.append(f"a function Windows 95 or NT 4 lacks: {dll} {function}")
    print(f"{len(imports)} imports from {len({d for d, _ in imports})} DLLs")
    for dll in sorted({d for d, _ in imports}):
        print(f"  {dll}: {' '.join(sorted(f for d, f in imports if d == dll))}")
    unused = sorted(allowed - imports)
    if unused:
        print("listed but not imported now: " + " ".join(f"{d}:{f}" for d, f in unused))
    return failures


def check_size(options):
    size = os.path.getsize(options.exe)
    print(f"{options.exe}: {size} bytes ({size / 1024:.1f} KiB), limit {options.limit} bytes")
    return [] if size <= options.limit else [f"setup.exe is {size} bytes, over the budget"]


def check_dist(options):
    failures = []
    dist = options.dist
    with open(options.faxsrv, "rb") as built:
        faxsrv = built.read()
    for name in ("setup.exe", "lang.ger", "lang.eng", "lang.fre"):
        if not os.path.isfile(os.path.join(dist, name)):
            failures.append(f"{name} missing")
    for language in ("ger", "eng", "fre"):
        with open(os.path.join(options.source, "resources", f"lang.{language}"), "rb") as a, \
                open(os.path.join(dist, f"lang.{language}"), "rb") as b:
            if a.read() != b.read():
                failures.append(f"lang.{language} differs from resources/")
    counts = {}
    for platform in ("95", "nt_351", "nt_40", "W2K"):
        for directory, _, files in os.walk(os.path.join(dist, platform)):
            folder = os.path.relpath(directory, dist).replace(os.sep, "/")
            for name in files:
                with open(os.path.join(directory, name), "rb") as payload:
                    data = payload.read()
                counts[folder] = counts.get(folder, 0) + 1
                if name == "faxsrv.exe":
                    if platform == "95":
                        failures.append("faxsrv.exe in the 95 folder")
                    elif data != faxsrv:
                        failures.append(f"{folder}/faxsrv.exe is not the built fax server")
                elif not data.startswith(f"PLACEHOLDER: {name} ({folder}) ".encode()):
                    failures.append(f"{folder}/{name} is no placeholder naming itself")
    for platform in ("95", "nt_351", "nt_40", "W2K"):
        if not os.path.isfile(os.path.join(dist, platform, "tqvprint.dll")):
            failures.append(f"{platform}/tqvprint.dll missing")
        if platform != "95" and not os.path.isfile(os.path.join(dist, platform, "faxsrv.exe")):
            failures.append(f"{platform}/faxsrv.exe missing")
        for language in ("ger", "eng", "fre"):
            if not counts.get(f"{platform}/{language}"):
                failures.append(f"{platform}/{language} empty or missing")
    print("files per folder: " + ", ".join(f"{k} {v}" for k, v in sorted(counts.items())))
    return failures


def check_reproducible(options):
    second = os.path.join(options.work, "second-build")
    shutil.rmtree(second, ignore_errors=True)
    for command in (["cmake", "--preset", "windows", "-B", second],
                    ["cmake", "--build", second, "--target", "setup", "-j2"]):
        built = subprocess.run(command, cwd=options.source, capture_output=True, timeout=900)
        if built.returncode != 0:
            return [f"{' '.join(command)} failed:\n"
                    + (built.stdout + built.stderr).decode(errors="replace")[-3000:]]
    with open(options.exe, "rb") as first_exe, \
            open(os.path.join(second, "setup.exe"), "rb") as second_exe:
        first, again = first_exe.read(), second_exe.read()
    differing = [i for i in range(min(len(first), len(again))) if first[i] != again[i]]
    print(f"{options.exe} and {second}/setup.exe: {len(first)} and {len(again)} bytes, "
          f"{len(differing)} differing")
    if len(first) != len(again) or differing:
        offsets = ", ".join(hex(i) for i in differing[:8])
        return [f"the second build differs (sizes {len(first)}/{len(again)}, at {offsets})"]
    shutil.rmtree(second, ignore_errors=True)
    return []


def assemble(options, payload, target):
    """Runs the build's assembly step on a payload folder."""
    return subprocess.run(
        ["cmake", f"-DDIST_DIR={target}", f"-DSOURCE_DIR={options.source}",
         f"-DSETUP_PATH={os.path.join(options.dist, 'setup.exe')}",
         f"-DFAXSRV_PATH={os.path.join(options.dist, 'W2K', 'faxsrv.exe')}",
         f"-DPAYLOAD_DIR={payload}", "-P", os.path.join(options.source, "cmake", "dist.cmake")],
        capture_output=True, timeout=120)


def check_payload(options):
    payload = os.path.join(options.work, "payload")
    target = os.path.join(options.work, "payload-dist")
    shutil.rmtree(payload, ignore_errors=True)
    for platform in ("95", "nt_351", "nt_40", "W2K"):
        shutil.copytree(os.path.join(options.dist, platform), os.path.join(payload, platform))
    missing = ("nt_40/ger/rasdd.dll", "W2K/tqvprint.dll")
    for path in missing:
        os.remove(os.path.join(payload, path))
    with open(os.path.join(payload, "W2K", "readme.txt"), "w") as extra:
        extra.write("no INF takes this\n")
    failures = []
    refused = assemble(options, payload, target)
    output = (refused.stdout + refused.stderr).decode(errors="replace")
    if refused.returncode == 0:
        failures.append("a payload without two files was assembled")
    failures += [f"the refusal does not name {path}" for path in missing if path not in output]
    if "no INF of the setup takes W2K/readme.txt" not in output:
        failures.append("no warning for W2K/readme.txt")
    for path in missing:
        with open(os.path.join(payload, path), "wb") as real:
            real.write(f"the packager's {path}".encode())
    assembled = assemble(options, payload, target)
    if assembled.returncode != 0:
        failures.append("the complete payload was refused: "
                        + (assembled.stdout + assembled.stderr).decode(errors="replace")[-2000:])
    else:
        for path in missing:
            with open(os.path.join(target, path), "rb") as shipped:
                if shipped.read() != f"the packager's {path}".encode():
                    failures.append(f"{path} is not the packager's file")
        if os.path.exists(os.path.join(target, "W2K", "readme.txt")):
            failures.append("a file no INF takes was shipped")
    print(f"payload: refused with {refused.returncode}, then assembled with "
          f"{assembled.returncode}")
    shutil.rmtree(payload, ignore_errors=True)
    shutil.rmtree(target, ignore_errors=True)
    return failures


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    sub = parser.add_subparsers(dest="command", required=True)
    imports = sub.add_parser("imports")
    imports.add_argument("--exe", required=True)
    imports.add_argument("--objdump", required=True)
    imports.add_argument("--allowed", required=True)
    size = sub.add_parser("size")
    size.add_argument("--exe", required=True)
    size.add_argument("--limit", type=int, required=True)
    dist = sub.add_parser("dist")
    dist.add_argument("--dist", required=True)
    dist.add_argument("--source", required=True)
    dist.add_argument("--faxsrv", required=True)
    reproducible = sub.add_parser("reproducible")
    reproducible.add_argument("--exe", required=True)
    reproducible.add_argument("--source", required=True)
    reproducible.add_argument("--work", required=True, help="where the second build goes")
    payload = sub.add_parser("payload")
    payload.add_argument("--dist", required=True)
    payload.add_argument("--source", required=True)
    payload.add_argument("--work", required=True, help="where the payload is laid out")
    options = parser.parse_args()
    check = {"imports": check_imports, "size": check_size, "dist": check_dist,
             "reproducible": check_reproducible, "payload": check_payload}[options.command]
    failures = check(options)
    for failure in failures:
        print(f"FAIL {failure}")
    print(f"{options.command}: {'failed' if failures else 'passed'}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
