#!/usr/bin/env python3
"""Checks two release builds of the same sources (scripts/release.sh run twice, into two build
and two dist folders): byte-identical executables and zips, what each zip holds, SHA256SUMS,
and in each executable the machine type, a zero PE time stamp, and the version resource and
manifest carrying the project version from CMakeLists.txt. Prints one line per check and a
total line, "release: N passed, M failed"; exits non-zero if any fails.

    check_release.py ROOT BUILD_A DIST_A BUILD_B DIST_B
"""

import os
import re
import struct
import subprocess
import sys
import xml.etree.ElementTree as ElementTree
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "hardening"))
from check_pe import PeImage  # noqa: E402

IMAGE_DIRECTORY_ENTRY_RESOURCE = 2
RT_VERSION = 16
RT_MANIFEST = 24
VS_FIXEDFILEINFO_SIGNATURE = 0xFEEF04BD
# Each build: executable machine type and the manifest's processorArchitecture.
BUILDS = {"win64": (0x8664, "amd64"), "win32": (0x14C, "x86")}
ZIP_FILES = ["jumper.exe", "README.md", "LICENSE"]
ASSEMBLY = "{urn:schemas-microsoft-com:asm.v1}assemblyIdentity"


def project_version(root):
    """The version in CMakeLists.txt's project() call, read here on its own."""
    text = open(os.path.join(root, "CMakeLists.txt")).read()
    found = re.search(r"project\(\s*\w+\s+VERSION\s+([0-9.]+)", text)
    if not found:
        raise ValueError("no project(... VERSION ...) in CMakeLists.txt")
    return found.group(1)


def resources(image):
    """{type id: (data, directory time stamps)} of the first resource of each type."""
    rva, size = image.directory(IMAGE_DIRECTORY_ENTRY_RESOURCE)
    if rva == 0 or size == 0:
        return {}, []
    base = image.offset(rva)
    data = image.data
    stamps = []

    def entries(offset):
        stamps.append(struct.unpack_from("<I", data, base + offset + 4)[0])
        named, numbered = struct.unpack_from("<HH", data, base + offset + 12)
        for i in range(named + numbered):
            yield struct.unpack_from("<II", data, base + offset + 16 + 8 * i)

    def first_leaf(offset):
        while offset & 0x80000000:  # a subdirectory: name level, then language level
            offset = next(entries(offset & 0x7FFFFFFF))[1]
        leaf_rva, leaf_size = struct.unpack_from("<II", data, base + offset)
        start = image.offset(leaf_rva)
        return data[start:start + leaf_size]

    found = {}
    for type_id, offset in list(entries(0)):
        if not type_id & 0x80000000:
            found[type_id] = first_leaf(offset)
    return found, stamps


def version_block(block, pos=0):
    """One VS_VERSIONINFO-style node: (key, value, children), and the offset past it."""
    align = lambda at: (at + 3) & ~3  # noqa: E731
    length, value_length, value_type = struct.unpack_from("<HHH", block, pos)
    end = pos + length
    if length < 6 or end > len(block):
        raise ValueError("version node of %d bytes at %d" % (length, pos))
    key_end = pos + 6
    while block[key_end:key_end + 2] != b"\0\0":
        key_end += 2
    key = block[pos + 6:key_end].decode("utf-16-le")
    at = align(key_end + 2)
    if value_type == 1:  # text, its length in characters
        value = block[at:min(at + 2 * value_length, end)].decode("utf-16-le").rstrip("\0")
        at += 2 * value_length
    else:
        value = block[at:at + value_length]
        at += value_length
    children = []
    at = align(at)
    while at < end:
        child, at = version_block(block, at)
        children.append(child)
        at = align(at)
    return (key, value, children), end


def version_info(block):
    """(file version, product version, {string name: value}) from an RT_VERSION resource."""
    (key, fixed, children), _ = version_block(block)
    if key != "VS_VERSION_INFO" or len(fixed) < 52:
        raise ValueError("no VS_VERSION_INFO with a fixed part")
    signature, _, file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<6I", fixed)
    if signature != VS_FIXEDFILEINFO_SIGNATURE:
        raise ValueError("bad VS_FIXEDFILEINFO signature %#x" % signature)
    dotted = lambda ms, ls: "%d.%d.%d.%d" % (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)  # noqa: E731
    strings = {}
    for child_key, _, tables in children:
        if child_key == "StringFileInfo":
            for _, _, values in tables:
                strings.update((name, value) for name, value, _ in values)
    return dotted(file_ms, file_ls), dotted(product_ms, product_ls), strings


def main():
    if len(sys.argv) != 6:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    root, build_a, dist_a, build_b, dist_b = sys.argv[1:]
    version = project_version(root)
    # Windows versions have four parts; the project's missing ones are zero.
    full_version = ".".join((version.split(".") + ["0"] * 4)[:4])
    results = []

    def check(name, ok, detail=""):
        results.append((name, bool(ok), detail))

    def read(path):
        with open(path, "rb") as source:
            return source.read()

    zips = ["jumper-%s-%s.zip" % (version, build) for build in BUILDS]
    for build, (machine, architecture) in BUILDS.items():
        exe_a = os.path.join(build_a, build, "jumper.exe")
        exe_b = os.path.join(build_b, build, "jumper.exe")
        zip_a = os.path.join(dist_a, "jumper-%s-%s.zip" % (version, build))
        zip_b = os.path.join(dist_b, "jumper-%s-%s.zip" % (version, build))
        missing = [path for path in (exe_a, exe_b, zip_a, zip_b) if not os.path.isfile(path)]
        if missing:
            check(build + ": release files exist", False, "missing: " + ", ".join(missing))
            continue
        data = read(exe_a)
        check(build + ": jumper.exe the same in both builds", data == read(exe_b),
              "%d bytes" % len(data))
        check(build + ": zip the same in both builds", read(zip_a) == read(zip_b),
              "%d bytes" % os.path.getsize(zip_a))
        with zipfile.ZipFile(zip_a) as archive:
            names = archive.namelist()
            same = (names == ZIP_FILES and archive.read("jumper.exe") == data
                    and archive.read("README.md") == read(os.path.join(root, "README.md"))
                    and archive.read("LICENSE") == read(os.path.join(root, "LICENSE")))
        check(build + ": zip holds jumper.exe, README.md and LICENSE as built", same,
              ", ".join(names))

        image = PeImage(data)
        check(build + ": machine type", image.machine == machine, "%#x" % image.machine)
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        stamp = struct.unpack_from("<I", data, pe + 8)[0]
        check(build + ": PE time stamp zero", stamp == 0, "%#x" % stamp)
        found, stamps = resources(image)
        check(build + ": resource directories without time stamps", not any(stamps),
              "%d directories" % len(stamps))
        builds_named = [path for path in (os.path.abspath(build_a), os.path.abspath(build_b),
                                          os.path.abspath(root))
                        if path.encode() in data or path.encode("utf-16-le") in data]
        check(build + ": no build or source folder in the image", not builds_named,
              ", ".join(builds_named) or "none of " + os.path.abspath(root))
        try:
            file_version, product_version, strings = version_info(found[RT_VERSION])
            detail = "FILEVERSION %s, PRODUCTVERSION %s, FileVersion %r, ProductVersion %r" % (
                file_version, product_version, strings.get("FileVersion"),
                strings.get("ProductVersion"))
            ok = (file_version == product_version == full_version
                  and strings.get("FileVersion") == strings.get("ProductVersion") == full_version)
        except (KeyError, ValueError, struct.error) as error:
            ok, detail = False, "unreadable version resource: %s" % error
        check(build + ": version resource is " + full_version, ok, detail)
        try:
            identity = ElementTree.fromstring(found[RT_MANIFEST]).find(ASSEMBLY)
            got = (identity.get("version"), identity.get("processorArchitecture"))
        except (KeyError, AttributeError, ElementTree.ParseError) as error:
            got = ("unreadable manifest: %s" % error, None)
        check(build + ": manifest assemblyIdentity %s, %s" % (full_version, architecture),
              got == (full_version, architecture), "%s, %s" % got)

    sums = os.path.join(dist_a, "SHA256SUMS")
    listed = []
    if os.path.isfile(sums):
        listed = [line.split(None, 1)[1].strip().lstrip("*")
                  for line in open(sums) if line.strip()]
    check("SHA256SUMS lists both zips", sorted(listed) == sorted(zips), ", ".join(listed))
    check("SHA256SUMS the same in both builds",
          os.path.isfile(sums) and read(sums) == read(os.path.join(dist_b, "SHA256SUMS")))
    verified = subprocess.run(["sha256sum", "-c", "SHA256SUMS"], cwd=dist_a,
                              capture_output=True, text=True)
    check("sha256sum -c SHA256SUMS", verified.returncode == 0,
          " ".join(verified.stdout.split()) or verified.stderr.strip())

    failed = 0
    for name, ok, detail in results:
        print("%s  %s%s" % ("ok  " if ok else "FAIL", name, "  (%s)" % detail if detail else ""))
        failed += not ok
    print("release: %d passed, %d failed" % (len(results) - failed, failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
