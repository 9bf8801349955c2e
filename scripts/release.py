#!/usr/bin/python3
"""What ./dev.sh needs of release files beyond the shell's tools.

    release.py commit FILE.scr       prints the commit the version block names
    release.py pe-diff THEIRS OURS   names where two Windows programs differ
                                     (the header's fields, the sections by
                                     name); exits 1 when they differ
    release.py exchange A B          swaps two folders in one step

The standard library only: it runs before anything is built.
"""

import ctypes
import os
import struct
import sys
from datetime import datetime, timezone


def die(message):
    print(f"release.py: {message}", file=sys.stderr)
    sys.exit(2)


def source_commit(data):
    """The "SourceCommit" string of the version block: in UTF-16, its key,
    a terminating zero, zero padding to four bytes, then the value."""
    key = "SourceCommit\0".encode("utf-16-le")
    at = data.find(key)
    if at < 0:
        return None
    at += len(key)
    while data[at:at + 2] == b"\0\0":
        at += 2
    end = at
    while end + 1 < len(data) and data[end:end + 2] != b"\0\0":
        end += 2
    return data[at:end].decode("utf-16-le", errors="replace")


class Pe:
    """The parts of a PE file that tell where it differs from another."""

    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ" or len(data) < 0x40:
            raise ValueError("not a Windows program")
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("not a Windows program (no PE header)")
        count, self.time_stamp = struct.unpack_from("<HI", data, pe + 6)
        optional_size = struct.unpack_from("<H", data, pe + 20)[0]
        optional = pe + 24
        self.checksum_at = optional + 64
        self.time_stamp_at = pe + 8
        self.header_size = struct.unpack_from("<I", data, optional + 60)[0]
        self.sections = {}
        end = self.header_size
        for i in range(count):
            entry = optional + optional_size + 40 * i
            name = data[entry:entry + 8].rstrip(b"\0").decode("ascii", errors="replace")
            size, offset = struct.unpack_from("<II", data, entry + 16)
            self.sections[name] = data[offset:offset + size] if offset else b""
            if offset:
                end = max(end, offset + size)
        self.headers = data[:self.header_size]
        self.trailer = data[end:]

    def field(self, at):
        return self.data[at:at + 4]

    def other_headers(self):
        """The headers without the time stamp and the checksum."""
        headers = bytearray(self.headers)
        for at in (self.time_stamp_at, self.checksum_at):
            headers[at:at + 4] = bytes(4)
        return headers


def utc(seconds):
    return datetime.fromtimestamp(seconds, timezone.utc).strftime("%Y-%m-%d %H:%M:%S UTC")


def count(what):
    return f"{what} byte" if what == 1 else f"{what} bytes"


def differing_bytes(a, b):
    return sum(x != y for x, y in zip(a, b)) + abs(len(a) - len(b))


def pe_differences(theirs, ours):
    """Where THEIRS differs from OURS, in words, or an empty list."""
    found = []
    if theirs.headers != ours.headers:
        if theirs.time_stamp != ours.time_stamp:
            found.append(f"the PE time stamp ({utc(theirs.time_stamp)}, the rebuild's {utc(ours.time_stamp)})")
        if theirs.field(theirs.checksum_at) != ours.field(ours.checksum_at):
            found.append("the PE checksum")
        rest = differing_bytes(theirs.other_headers(), ours.other_headers())
        if rest:
            found.append(f"the headers ({count(rest)})")
    for name in list(ours.sections) + [n for n in theirs.sections if n not in ours.sections]:
        if name not in theirs.sections or name not in ours.sections:
            found.append(f"section {name} ({'not in the rebuild' if name in theirs.sections else 'missing'})")
        elif theirs.sections[name] != ours.sections[name]:
            a, b = theirs.sections[name], ours.sections[name]
            if len(a) == len(b):
                found.append(f"{name} ({count(differing_bytes(a, b))})")
            else:
                found.append(f"{name} ({count(len(a))}, the rebuild's {count(len(b))})")
    if theirs.trailer != ours.trailer:
        found.append(f"data after the sections ({count(len(theirs.trailer))}, "
                     f"the rebuild's {count(len(ours.trailer))})")
    return found


def read(path):
    try:
        with open(path, "rb") as file:
            return file.read()
    except OSError as error:
        die(f"{path}: {error.strerror}")


def exchange(a, b):
    """renameat2(RENAME_EXCHANGE): at every moment each name is one of the
    two folders, whole."""
    libc = ctypes.CDLL(None, use_errno=True)
    at_fdcwd, rename_exchange = -100, 2
    if libc.renameat2(at_fdcwd, os.fsencode(a), at_fdcwd, os.fsencode(b), rename_exchange) != 0:
        error = ctypes.get_errno()
        die(f"cannot swap {a} and {b}: {os.strerror(error)}")


def main():
    command, args = (sys.argv[1], sys.argv[2:]) if len(sys.argv) > 1 else ("", [])
    if command == "commit" and len(args) == 1:
        commit = source_commit(read(args[0]))
        if commit is None:
            die(f"{args[0]}: its version block names no commit")
        print(commit)
    elif command == "pe-diff" and len(args) == 2:
        try:
            theirs, ours = Pe(read(args[0])), Pe(read(args[1]))
        except (ValueError, struct.error) as error:
            print(f"{error}")
            sys.exit(1)
        found = pe_differences(theirs, ours)
        print(", ".join(found))
        sys.exit(1 if found else 0)
    elif command == "exchange" and len(args) == 2:
        exchange(*args)
    else:
        die(__doc__)


if __name__ == "__main__":
    main()
