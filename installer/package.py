#!/usr/bin/python3
"""Compiles Lumidial.wxs into the Windows Installer package, the same bytes
for the same inputs wherever and whenever it runs.

    package.py @ARGS-FILE --saver Lumidial.scr --output Lumidial-<version>-x64.msi

CMake writes the arguments that belong to a build (wixl, the source, the
icon, the version, the product and upgrade codes, the source date and
commit) into ARGS-FILE, one a line; ./dev.sh passes the same file to
package a signed Lumidial.scr, and to remake a release's package when it
checks one against the source.

wixl (msitools 0.101) stamps each package with the time it ran and a random
package code, and dates the files in its cabinet by their modification
times. So this script
  - stages Lumidial.scr and the icon in a folder of its own (wixl takes
    relative source paths only) and dates both at the source date;
  - sets the summary information's creation and last-saved times to the
    source date;
  - sets the package code to a name-based GUID (SHA-1, RFC 4122 version 5)
    in the namespace of the upgrade code, of the version and the SHA-256 of
    the package as it is with a nil package code: a package with other
    content (another build of Lumidial.scr, a signed one, another source)
    gets another code, the same package the same one.
The package appears at the output path only when it is complete.
"""

import argparse
import hashlib
import os
import shutil
import subprocess
import sys
import tempfile
import uuid

# The cabinet dates files in MS-DOS format, which starts at 1980.
EARLIEST_CABINET_TIME = 315532800  # 1980-01-01 00:00:00 UTC
# FILETIME counts 100 ns steps since 1601-01-01 UTC.
FILETIME_AT_UNIX_EPOCH = 116444736000000000


def die(message):
    print(f"package.py: error: {message}", file=sys.stderr)
    sys.exit(1)


def open_libmsi():
    try:
        import gi
        gi.require_version("Libmsi", "1.0")
        from gi.repository import Libmsi
    except (ImportError, ValueError) as error:
        die(f"cannot load libmsi from Python ({error}): install Debian's python3-gi "
            "and gir1.2-libmsi-1.0 (./dev.sh does)")
    return Libmsi


def stamp(libmsi, package, package_code, epoch):
    """Writes the package code and the source date into the summary
    information of the package."""
    database = libmsi.Database.new(package, libmsi.DbFlags.TRANSACT, None)
    info = libmsi.SummaryInfo.new(database, 3)
    info.set_string(libmsi.Property.UUID, package_code)
    filetime = FILETIME_AT_UNIX_EPOCH + epoch * 10_000_000
    info.set_filetime(libmsi.Property.CREATED_TM, filetime)
    info.set_filetime(libmsi.Property.LASTSAVED_TM, filetime)
    info.persist()
    database.commit()


def braced(code):
    return "{" + str(code).upper() + "}"


def sha256_of(path):
    digest = hashlib.sha256()
    with open(path, "rb") as file:
        for block in iter(lambda: file.read(1 << 16), b""):
            digest.update(block)
    return digest.hexdigest()


def main():
    parser = argparse.ArgumentParser(fromfile_prefix_chars="@", description=__doc__.split("\n")[0])
    parser.add_argument("--wixl", required=True)
    parser.add_argument("--wxs", required=True, help="the WiX source")
    parser.add_argument("--icon", required=True)
    parser.add_argument("--version", required=True)
    parser.add_argument("--product-code", required=True)
    parser.add_argument("--upgrade-code", required=True)
    parser.add_argument("--epoch", required=True, type=int, help="the source date, seconds since 1970")
    parser.add_argument("--commit", required=True, help="the commit the build is made from")
    parser.add_argument("--saver", required=True, help="the Lumidial.scr to package")
    parser.add_argument("--output", required=True)
    args = parser.parse_args()

    libmsi = open_libmsi()
    output = os.path.abspath(args.output)
    os.makedirs(os.path.dirname(output), exist_ok=True)
    with tempfile.TemporaryDirectory(prefix=".lumidial-package.", dir=os.path.dirname(output)) as stage:
        # Under the names Lumidial.wxs gives them, dated at the source date.
        file_time = max(args.epoch, EARLIEST_CABINET_TIME)
        for source, name in ((args.saver, "Lumidial.scr"), (args.icon, "lumidial.ico")):
            staged = os.path.join(stage, name)
            shutil.copyfile(source, staged)
            os.utime(staged, (file_time, file_time))

        draft = os.path.join(stage, "package.msi")
        command = [args.wixl, "--arch", "x64",
                   "--define", f"Version={args.version}",
                   "--define", f"ProductCode={args.product_code}",
                   "--define", f"UpgradeCode={args.upgrade_code}",
                   "--define", f"SourceCommit={args.commit}",
                   "--output", draft, os.path.abspath(args.wxs)]
        # The cabinet's file dates do not depend on the time zone with
        # libgcab 1.5; UTC makes sure of it.
        result = subprocess.run(command, cwd=stage, env=dict(os.environ, TZ="UTC"))
        if result.returncode != 0 or not os.path.isfile(draft):
            die(f"wixl failed (exit status {result.returncode})")

        stamp(libmsi, draft, braced(uuid.UUID(int=0)), args.epoch)
        content = sha256_of(draft)
        package_code = uuid.uuid5(uuid.UUID(args.upgrade_code), f"{args.version} {content}")
        stamp(libmsi, draft, braced(package_code), args.epoch)

        os.replace(draft, output)


if __name__ == "__main__":
    main()
