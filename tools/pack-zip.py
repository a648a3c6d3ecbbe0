#!/usr/bin/python3
"""Packs files into a zip that is the same, byte for byte, whenever the same files are
packed: the entries in the order given, each stamped with one fixed time (the commit's,
so that the zip does not change with the day it is made), the same attributes, the
same compression. Standard library only.

  tools/pack-zip.py OUT.zip EPOCH FILE...
    EPOCH  seconds since 1970 (UTC) for every entry's time, e.g. git log -1 --format=%ct
    FILE   stored under its own base name
"""

import os
import sys
import time
import zipfile


def main():
    if len(sys.argv) < 4:
        sys.exit(__doc__)
    out, epoch, files = sys.argv[1], int(sys.argv[2]), sys.argv[3:]
    # A zip stores times from 1980 on, in two-second steps, without a time zone.
    stamp = time.gmtime(max(epoch, 315532800))[:6]
    with zipfile.ZipFile(out, "w") as archive:
        for path in files:
            entry = zipfile.ZipInfo(os.path.basename(path), date_time=stamp)
            entry.compress_type = zipfile.ZIP_DEFLATED
            entry.create_system = 0             # as if made on Windows (FAT)
            entry.external_attr = 0x20          # the archive attribute, nothing else
            with open(path, "rb") as f:
                archive.writestr(entry, f.read(), compresslevel=9)


if __name__ == "__main__":
    main()
