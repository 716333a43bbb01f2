#!/usr/bin/env python3
"""Writes a reproducible zip: the given files at its top level, in the order given, each with
the same fixed date and permissions, so that the same files always give the same bytes.

    make_zip.py OUT.zip FILE...
"""

import os
import sys
import zipfile

# The earliest date a zip can hold; the files' own times would make every build differ.
FIXED_DATE = (1980, 1, 1, 0, 0, 0)


def main():
    if len(sys.argv) < 3:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    out, files = sys.argv[1], sys.argv[2:]
    with zipfile.ZipFile(out + ".tmp", "w") as archive:
        for path in files:
            entry = zipfile.ZipInfo(os.path.basename(path), FIXED_DATE)
            entry.compress_type = zipfile.ZIP_DEFLATED
            entry.create_system = 3  # Unix, so that the permissions below are read
            mode = 0o755 if path.endswith(".exe") else 0o644
            entry.external_attr = (0o100000 | mode) << 16
            with open(path, "rb") as source:
                archive.writestr(entry, source.read(), compresslevel=9)
    os.replace(out + ".tmp", out)
    return 0


if __name__ == "__main__":
    sys.exit(main())
