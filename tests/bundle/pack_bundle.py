"""Packs the test bundle (the "bundle" target of CMakeLists.txt beside this
file runs it):

    pack_bundle.py LIST NAME ZIP EPOCH RUNNER TEXT...

LIST is the bundle's list as CMakeLists.txt writes it (bundle.txt: driver,
file and value lines, tab-separated, with this build's paths). The zip
holds one folder NAME: the TEXT files (run-tests.cmd, README.txt; given
Windows line ends, which cmd needs), bin\\ (the RUNNER, the drivers and the
list, its paths replaced by theirs in the bundle) and files\\, where a file
whose name another already took goes into files\\<VARIABLE>\\. Every entry is
dated EPOCH (seconds since 1970) and stored in one order with one mode, so
that the same files give the same bytes whoever packs them and when (cmake
-E tar stores each file's access and change times too).
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


def crlf(text):
    return text.replace(b"\r\n", b"\n").replace(b"\n", b"\r\n")


def main(listing, name, zip_path, epoch, runner, *texts):
    entries = {f"bin/{os.path.basename(runner)}": read(runner)}  # path in the bundle -> contents
    entries.update((os.path.basename(text), crlf(read(text))) for text in texts)
    lines, placed, taken = [], {}, set()
    with open(listing, encoding="utf-8") as f:
        for line in f.read().splitlines():
            kind, variable, path = line.split("\t") if line.count("\t") == 2 else (line, "", "")
            if kind in ("driver", "file"):
                if path not in placed:
                    base = os.path.basename(path)
                    placed[path] = (f"bin/{base}" if kind == "driver" else
                                    f"files/{base}" if base.lower() not in taken else f"files/{variable}/{base}")
                    taken.add(base.lower())
                    entries[placed[path]] = read(path)
                line = f"{kind}\t{variable}\t{placed[path]}".replace("/", "\\")
            elif kind != "value" and not line.startswith("#"):
                sys.exit(f"{listing}: a line this script does not know: {line}")
            lines.append(line)
    entries["bin/bundle.txt"] = crlf("\n".join(lines).encode() + b"\n")
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
    if len(sys.argv) < 6:
        sys.exit(__doc__)
    main(*sys.argv[1:])
