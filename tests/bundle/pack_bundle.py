"""Packs the test bundle (the "bundle" target of CMakeLists.txt beside this
file runs it):

    pack_bundle.py INPUTS NAME ZIP EPOCH

INPUTS lists, one a line: driver|<path>, runner|<path>, extra|<path> (a text
file for the bundle's top folder, given Windows line ends, which cmd needs),
file|VARIABLE|<path> (a file the drivers use) and value|VARIABLE|<text>. The
zip holds one folder NAME: run-tests.cmd and README.txt, bin\\ (the runner,
the drivers, and bundle.txt, the runner's list of what to run and in what
environment) and files\\, where a file whose name another already took goes
into files\\<VARIABLE>\\. Every entry is dated EPOCH (seconds since 1970) and
stored in one order with one mode, so that the same files give the same
bytes whoever packs them and when (cmake -E tar stores each file's access
and change times too).
"""
import os
import sys
import time
import zipfile


def read(path):
    if not os.path.isfile(path):
        sys.exit(f"The bundle needs {path}, which is not a file: build it first")
    with open(path, "rb") as f:
        return f.read()


def main(inputs, name, zip_path, epoch):
    entries = {}  # path in the bundle -> contents
    listing = ["# What lumidial_run_tests.exe runs, and the environment it runs it in."]
    placed, taken = {}, set()
    with open(inputs, encoding="utf-8") as f:
        lines = f.read().splitlines()
    for line in lines:
        kind, *fields = line.split("|")
        if kind in ("driver", "runner"):
            entries[f"bin/{os.path.basename(fields[0])}"] = read(fields[0])
            if kind == "driver":
                listing.append(f"driver\t{os.path.basename(fields[0])}")
        elif kind == "extra":
            text = read(fields[0]).replace(b"\r\n", b"\n").replace(b"\n", b"\r\n")
            entries[os.path.basename(fields[0])] = text
        elif kind == "value":
            listing.append(f"value\t{fields[0]}\t{'|'.join(fields[1:])}")
        elif kind == "file":
            variable, path = fields
            if path not in placed:
                base = os.path.basename(path)
                placed[path] = f"files/{base}" if base.lower() not in taken else f"files/{variable}/{base}"
                taken.add(base.lower())
                entries[placed[path]] = read(path)
            listing.append(f"file\t{variable}\t{placed[path].replace('/', chr(92))}")
        else:
            sys.exit(f"{inputs}: a line this script does not know: {line}")
    entries["bin/bundle.txt"] = ("\r\n".join(listing) + "\r\n").encode()
    date = time.gmtime(int(epoch))[:6]
    with zipfile.ZipFile(zip_path, "w") as archive:
        for path in sorted(entries):
            entry = zipfile.ZipInfo(f"{name}/{path}", date_time=date)
            entry.create_system = 3  # Unix, whose permissions follow
            entry.external_attr = 0o100644 << 16
            entry.compress_type = zipfile.ZIP_DEFLATED
            archive.writestr(entry, entries[path], compresslevel=9)
    print(f"{zip_path}: {os.path.getsize(zip_path)} bytes")


if __name__ == "__main__":
    if len(sys.argv) != 5:
        sys.exit(__doc__)
    main(*sys.argv[1:])
