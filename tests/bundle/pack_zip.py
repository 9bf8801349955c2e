"""Packs the test bundle's files into its zip, the same bytes for the same
files whoever packs them and when (MakeBundle.cmake runs it):

    pack_zip.py ZIP FOLDER EPOCH FILE...

FILE names a file by its path from FOLDER, and is stored under that name;
every file gets the date EPOCH (seconds since 1970, UTC) and the same
permissions. cmake -E tar cannot do this: it stores each file's access and
change times beside the date it is given.
"""

import sys
import time
import zipfile


def main(zip_path, folder, epoch, *names):
    date = time.gmtime(int(epoch))[:6]
    with zipfile.ZipFile(zip_path, "w") as archive:
        for name in sorted(names):
            entry = zipfile.ZipInfo(name, date_time=date)
            entry.create_system = 3  # Unix, whose permissions follow
            entry.external_attr = 0o100644 << 16
            entry.compress_type = zipfile.ZIP_DEFLATED
            with open(f"{folder}/{name}", "rb") as source:
                archive.writestr(entry, source.read(), compresslevel=9)


if __name__ == "__main__":
    if len(sys.argv) < 5:
        sys.exit(__doc__)
    main(*sys.argv[1:])
