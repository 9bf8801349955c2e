#!/usr/bin/python3
"""ResultsTest.py <scripts/results.py>: the counting of ./dev.sh test, fed a
ctest session with a failure, a skip and a disabled test, one that found no
tests, the bundle's GoogleTest files with a Wine-only skip, another skip, a
failure and a file cut short, and the listed scenarios, one of them run
nowhere and one twice; then the same run without the faults."""
import os
import pathlib
import subprocess
import sys
import tempfile

CTEST = """<testsuite><testcase name="Dialog.Pass" status="run"/>
<testcase name="Unit.Fails" status="fail"><failure message=""/></testcase>
<testcase name="Unit.Skips" status="notrun"><skipped message="SKIP_REGULAR_EXPRESSION_MATCHED"/>
<system-out>u.cpp:3: Skipped\nno second monitor\n\n[  SKIPPED ] Unit.Skips (0 ms)</system-out></testcase>
<testcase name="Unit.Off" status="disabled"/></testsuite>"""
PASS = '<testcase classname="Dialog" name="Pass" status="run" result="completed"/>'
WINE_ONLY = """<testcase classname="RunModeWineOnly" name="Clock" status="run" result="skipped">
<skipped message="RunModeTest.cpp:9&#x0A;Wine only: time zones through TZ"/></testcase>"""
FAULTS = """<testcase classname="Dialog" name="Broken" status="run" result="completed">
<failure message="/src/DialogTest.cpp:12&#x0A;Expected equality"/></testcase>
<testcase classname="Host" name="Other" status="run" result="skipped">
<skipped message="HostTest.cpp:5&#x0A;no printer"/></testcase>"""


def run(ctest, bundle, listing, *more):
    """results.py on these files; with MORE (the sessions it names), also on a bundle file cut short."""
    folder = pathlib.Path(tempfile.mkdtemp())
    (folder / "bundle").mkdir()
    for name, text in {"ctest.xml": ctest, "bundle/e2e.xml": f"<testsuites><testsuite>{bundle}</testsuite></testsuites>",
                       "empty.xml": "<testsuite/>", "list.txt": listing,
                       **({"bundle/cut.xml": "<testsuites><testsuite>" + PASS[:40]} if more else {})}.items():
        (folder / name).write_text(text, encoding="utf-8")
    done = subprocess.run([sys.executable, os.path.abspath(sys.argv[1]), "dev.sh", "--ctest", "native", "ctest.xml",
                           "--bundle", "bundle", "bundle", "--scenarios", "list.txt", *more],
                          cwd=folder, capture_output=True, text=True)
    print(done.stdout, done.stderr, sep="")
    return done.returncode, done.stdout.splitlines()


status, lines = run(CTEST, PASS + WINE_ONLY + FAULTS, "main()\nDialog.\n  Pass\n  Broken\nRunModeWineOnly.\n"
                    "  Clock\nHost.\n  Other\n", "--ctest", "empty", "empty.xml")
missing = [line for line in [
    "FAILED  scenario Dialog.Pass: ran both in ctest and in the bundle (native, bundle)",
    "FAILED  scenario RunModeWineOnly.Clock: ran nowhere (neither in a ctest session nor in the bundle)",
    "FAILED  scenario Host.Other: ran nowhere (neither in a ctest session nor in the bundle)",
    "FAILED  native: Unit.Fails", "FAILED  native: Unit.Skips did not run (no second monitor): counted as failed",
    "FAILED  native: Unit.Off did not run (disabled): counted as failed",
    "FAILED  empty: no tests found: counted as one failure", "FAILED  bundle: Dialog.Broken (DialogTest.cpp:12)",
    "FAILED  bundle: Host.Other did not run (no printer): counted as failed",
    "bundle: 1 passed, 3 failed, 1 not run here (Wine only)",
    "    Wine only: time zones through TZ: RunModeWineOnly.Clock", "dev.sh: 2 passed, 10 failed"] if line not in lines]
if status != 1 or missing or not any(line.startswith("FAILED  bundle: bundle/cut.xml: no results") for line in lines):
    sys.exit(f"FAIL: with the faults: exit status {status} (expected 1); lines missing: {missing}")
status, lines = run('<testsuite><testcase name="RunModeWineOnly.Clock" status="run"/></testsuite>', PASS + WINE_ONLY,
                    "Dialog.\n  Pass\nRunModeWineOnly.\n  Clock\n")
if status != 0 or lines[-1] != "dev.sh: 2 passed, 0 failed":
    sys.exit(f"FAIL: without faults: exit status {status}, last line {lines[-1]!r} (expected 0, 2 passed, 0 failed)")
print("PASS")
