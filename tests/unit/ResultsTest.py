#!/usr/bin/python3
"""The counting of ./dev.sh test (scripts/results.py), fed small results: a
ctest session with a failure, a skip and a disabled test; one that found no
tests; the bundle's GoogleTest files with a Wine-only skip, another skip, a
failure and a file cut short; and the listed scenarios, one of them run
nowhere and one twice. Then a run without faults.

    ResultsTest.py <scripts/results.py>
"""
import os
import subprocess
import sys
import tempfile


def ctest(*cases):
    return f'<?xml version="1.0"?><testsuite name="(empty)" tests="{len(cases)}">{"".join(cases)}</testsuite>'


def gtest(*cases):
    return f'<?xml version="1.0"?><testsuites name="AllTests"><testsuite name="All">{"".join(cases)}</testsuite></testsuites>'


def case(name, body="", **attributes):
    suite, _, test = name.partition(".")
    more = "".join(f' {key}="{value}"' for key, value in attributes.items())
    return f'<testcase name="{test}" classname="{suite}"{more}>{body}</testcase>' if attributes.get("result") else \
        f'<testcase name="{name}" classname="{name}"{more}>{body}</testcase>'


PASSED = {"status": "run", "result": "completed"}
SKIPPED = {"status": "run", "result": "skipped"}
WINE_ONLY = case("RunModeWineOnly.Clock", '<skipped message="RunModeTest.cpp:9&#x0A;Wine only: time zones through TZ"/>',
                 **SKIPPED)
FAULTS = {
    "native.xml": ctest(
        case("Dialog.Pass", status="run"),
        case("Unit.Fails", '<failure message=""/>', status="fail"),
        case("Unit.Skips", '<skipped message="SKIP_REGULAR_EXPRESSION_MATCHED"/><system-out>u.cpp:3: Skipped\n'
             'no second monitor\n\n[  SKIPPED ] Unit.Skips (0 ms)</system-out>', status="notrun"),
        case("Unit.Off", "<system-out>Disabled</system-out>", status="disabled")),
    "empty.xml": ctest(),
    "faults/run-1/e2e.xml": gtest(
        case("Dialog.Pass", **PASSED),
        case("Dialog.Broken", '<failure message="/src/DialogTest.cpp:12&#x0A;Expected equality"/>', **PASSED),
        WINE_ONLY,
        case("Host.Other", '<skipped message="HostTest.cpp:5&#x0A;no printer"/>', **SKIPPED)),
    "faults/run-1/cut.xml": gtest(case("Dialog.Pass", **PASSED))[:90],
    "list.txt": "Running main()\nDialog.\n  Pass\n  Broken\nRunModeWineOnly.\n  Clock\nHost.\n  Other\n",
}
CLEAN = {
    "native.xml": ctest(case("RunModeWineOnly.Clock", status="run")),
    "clean/e2e.xml": gtest(case("Dialog.Pass", **PASSED), WINE_ONLY),
    "list.txt": "Dialog.\n  Pass\nRunModeWineOnly.\n  Clock\n",
}

script, folder = os.path.abspath(sys.argv[1]), tempfile.mkdtemp()


def run(files, *args):
    for name, text in files.items():
        os.makedirs(os.path.dirname(os.path.join(folder, name)), exist_ok=True)
        with open(os.path.join(folder, name), "w", encoding="utf-8") as file:
            file.write(text)
    done = subprocess.run([sys.executable, script, "dev.sh", *args, "--scenarios", "list.txt"],
                          cwd=folder, capture_output=True, text=True)
    print(done.stdout, done.stderr, sep="")
    return done.returncode, done.stdout.splitlines()


status, lines = run(FAULTS, "--ctest", "native", "native.xml", "--ctest", "empty", "empty.xml",
                    "--bundle", "bundle", "faults")
expected = [
    "FAILED  scenario Dialog.Pass: ran both in ctest and in the bundle (native, bundle)",
    "FAILED  scenario RunModeWineOnly.Clock: ran nowhere (neither in a ctest session nor in the bundle)",
    "FAILED  scenario Host.Other: ran nowhere (neither in a ctest session nor in the bundle)",
    "FAILED  native: Unit.Fails",
    "FAILED  native: Unit.Skips did not run (no second monitor): counted as failed",
    "FAILED  native: Unit.Off did not run (disabled): counted as failed",
    "FAILED  empty: no tests found: counted as one failure",
    "FAILED  bundle: Dialog.Broken (DialogTest.cpp:12)",
    "FAILED  bundle: Host.Other did not run (no printer): counted as failed",
    "bundle: 1 passed, 3 failed, 1 not run here (Wine only)",
    "    Wine only: time zones through TZ: RunModeWineOnly.Clock",
    "dev.sh: 2 passed, 10 failed"]
missing = [line for line in expected if line not in lines]
if status != 1 or missing or lines[-1] != expected[-1] or not any("cut.xml: no results" in line for line in lines):
    sys.exit(f"FAIL: with the faults: exit status {status} (expected 1); lines missing: {missing}")

status, lines = run(CLEAN, "--ctest", "native", "native.xml", "--bundle", "bundle", "clean")
if status != 0 or lines[-1] != "dev.sh: 2 passed, 0 failed":
    sys.exit(f"FAIL: without faults: exit status {status}, last line {lines[-1]!r} (expected 0, 2 passed, 0 failed)")
print("PASS")
