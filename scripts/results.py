#!/usr/bin/python3
"""Counts the results of a test run, ctest's and the test bundle's alike, and
checks that every scenario ran somewhere, and once.

    results.py TITLE [--ctest NAME JUNIT]... [--bundle NAME FOLDER]...
                     [--scenarios LISTING]...

--ctest    a ctest session's JUnit file (ctest --output-junit). A test that
           did not run (skipped or disabled) tested nothing: it counts as
           failed, and so does a session that found no tests.
--bundle   every XML file in FOLDER and below: the bundle's GoogleTest files,
           and run-under-wine.sh's own checks in the same form. Only a
           Wine-only scenario may skip there; any other skip, and a disabled
           test, counts as failed, and so does a FOLDER without tests.
--scenarios  a driver's --gtest_list_tests output: each scenario listed must
           have run (passed or failed) in a ctest session or in the bundle,
           not in neither and not in both.
Prints each failure, the skips with their reasons, a line per session and
last "TITLE: N passed, N failed"; exits 0 only when nothing failed.

The standard library only: ./dev.sh runs it with Debian's /usr/bin/python3.
"""
import argparse
import glob
import os
import re
import xml.etree.ElementTree as ElementTree

# The rule of the Wine-only scenarios is tests/e2e/harness/Wine.h's.
WINE_ONLY = "Wine only:"


def outcome(case):
    """(what, detail) of one <testcase>: "passed"; "failed" with its message;
    "skipped" with its reason (GoogleTest's words after "file:line", which
    ctest's output has after "file:line: Skipped")."""
    failure, skipped = case.find("failure"), case.find("skipped")
    if failure is not None or case.get("status") == "fail":
        return "failed", "" if failure is None else failure.get("message", "")
    if skipped is None:
        return ("skipped", "disabled") if case.get("status") in ("disabled", "notrun") else ("passed", "")
    said = re.search(r": Skipped\n(.+)", case.findtext("system-out") or "")
    reason = skipped.get("message", "")
    return "skipped", said.group(1).strip() if said else reason.partition("\n")[2] or reason


class Session:
    def __init__(self, name, paths, ctest):
        self.name, self.passed, self.failed, self.wine_only = name, 0, 0, {}
        self.ran, self.lines = set(), []
        cases = 0
        for path in paths:
            try:
                root = ElementTree.parse(path).getroot()
            except (OSError, ElementTree.ParseError) as error:
                self.fail(f"{path}: no results ({error})")
                continue
            for case in root.iter("testcase"):
                cases += 1
                test = case.get("name") if ctest else f"{case.get('classname')}.{case.get('name')}"
                what, detail = outcome(case)
                if what == "passed":
                    self.passed += 1
                elif what == "failed":  # where, when GoogleTest says it: "file:line" first
                    where = re.match(r"\S+:\d+$", detail.partition("\n")[0])
                    self.fail(test + (f" ({os.path.basename(where.group())})" if where else ""))
                elif not ctest and detail.startswith(WINE_ONLY) and test.split(".")[0].endswith("WineOnly"):
                    self.wine_only.setdefault(detail, []).append(test)
                    continue
                else:
                    self.fail(f"{test} did not run ({detail}): counted as failed")
                    continue
                self.ran.add(test)
        if not cases and not self.failed:
            self.fail("no tests found: counted as one failure")

    def fail(self, line):
        self.failed += 1
        self.lines.append(f"FAILED  {self.name}: {line}")

    def summary(self):
        not_run = sum(len(tests) for tests in self.wine_only.values())
        yield f"{self.name}: {self.passed} passed, {self.failed} failed" + (
            f", {not_run} not run here (Wine only)" if not_run else "")
        for reason, tests in sorted(self.wine_only.items()):
            yield f"    {reason}: {', '.join(tests)}"


def scenarios(listing):
    """Suite.Name of each test that a --gtest_list_tests output lists."""
    suite = None
    with open(listing, encoding="utf-8", errors="replace") as file:
        for line in file.read().splitlines():
            if re.fullmatch(r"\S+\.", line):
                suite = line
            elif suite and line.startswith("  "):
                yield suite + line.split()[0]


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("title")
    parser.add_argument("--ctest", nargs=2, action="append", default=[], metavar=("NAME", "JUNIT"))
    parser.add_argument("--bundle", nargs=2, action="append", default=[], metavar=("NAME", "FOLDER"))
    parser.add_argument("--scenarios", action="append", default=[], metavar="LISTING")
    args = parser.parse_args()
    sessions = [Session(name, [path], True) for name, path in args.ctest]
    bundle = [Session(name, sorted(glob.glob(os.path.join(folder, "**", "*.xml"), recursive=True)), False)
              for name, folder in args.bundle]
    lines, once, total = [], 0, 0
    for listing in args.scenarios:
        listed = list(scenarios(listing)) if os.path.isfile(listing) else []
        total += len(listed)
        if not listed:
            lines.append(f"FAILED  {listing}: no scenarios listed")
        for scenario in listed:
            where = [session.name for session in sessions + bundle if scenario in session.ran]
            if any(scenario in s.ran for s in sessions) != any(scenario in s.ran for s in bundle):
                once += 1
            else:
                lines.append(f"FAILED  scenario {scenario}: " + (
                    f"ran both in ctest and in the bundle ({', '.join(where)})" if where else
                    "ran nowhere (neither in a ctest session nor in the bundle)"))
    if args.scenarios:
        print(f"scenarios: {once} of {total} listed ran once, in ctest or in the bundle")
    for session in sessions + bundle:
        print("\n".join(session.summary()))
        lines.extend(session.lines)
    failed = len(lines)
    if lines:
        print("\n".join(lines))
    print(f"{args.title}: {sum(s.passed for s in sessions + bundle)} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    raise SystemExit(main())
