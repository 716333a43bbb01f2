#!/usr/bin/env python3
"""Checks that a built jumper.exe keeps its hardening.

Reads the PE headers itself (machine, DllCharacteristics, image base, file characteristics,
section flags, base relocations, import table) and uses the MinGW binutils on the unstripped
copy for stack protection: the __stack_chk_fail routine must be linked in and called from the
program's own functions. Prints one line per check and exits non-zero if any fails.

The 64-bit image (PE32+) must also have the high-entropy flag and a base above 4 GiB; the
32-bit image (PE32) has neither, as a 32-bit address space has no room for them.

It also holds the executable to its size limit (--max-bytes), naming the file and its size
when it is larger.

    check_pe.py [--machine x64|x86] [--objdump OBJDUMP] [--nm NM] [--unstripped U.exe]
                [--max-bytes N] jumper.exe
    check_pe.py --self-test     checks that the checks catch images that lack each property
"""

import argparse
import re
import struct
import subprocess
import sys

IMAGE_FILE_RELOCS_STRIPPED = 0x0001
IMAGE_DLLCHARACTERISTICS_HIGH_ENTROPY_VA = 0x0020
IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE = 0x0040
IMAGE_DLLCHARACTERISTICS_NX_COMPAT = 0x0100
IMAGE_SCN_MEM_EXECUTE = 0x20000000
IMAGE_SCN_MEM_WRITE = 0x80000000
IMAGE_DIRECTORY_ENTRY_IMPORT = 1
IMAGE_DIRECTORY_ENTRY_BASERELOC = 5
PE32 = 0x10B
PE32_PLUS = 0x20B
# What each build's image must be: machine type and optional-header format.
MACHINES = {"x64": (0x8664, PE32_PLUS), "x86": (0x14C, PE32)}

# DLLs that every Windows installation has in System32, compared in lower case. The API-set
# names (api-ms-win-*) are how the Universal CRT and newer imports are spelled.
SYSTEM_DLLS = {
    "kernel32.dll", "user32.dll", "gdi32.dll", "comctl32.dll", "advapi32.dll",
    "msvcrt.dll", "ucrtbase.dll", "shell32.dll", "ole32.dll", "uxtheme.dll", "ntdll.dll",
    "bcrypt.dll", "comdlg32.dll", "shlwapi.dll",
}
API_SET = re.compile(r"^(api|ext)-ms-win-[a-z0-9-]+\.dll$")

# What the program may import, DLL by DLL: functions that Windows 7 SP1 has without later
# updates, each checked against that system's exports when it was added here. An import that
# is not here fails the check until it is checked and added: a function a later Windows added
# keeps the program from starting on Windows 7. (SetDefaultDllDirectories, for one, came with
# a 2011 loader update, and the DPI functions with Windows 10: they are looked up instead.)
# The C++ library and the MinGW runtime bring most of kernel32's and msvcrt's.
WINDOWS7 = {
    "kernel32.dll": {
        "AcquireSRWLockExclusive", "AddVectoredExceptionHandler", "__C_specific_handler",
        "CloseHandle", "CreateEventA", "CreateSemaphoreA", "CreateThread",
        "DeleteCriticalSection", "DuplicateHandle", "EnterCriticalSection", "ExitProcess",
        "FileTimeToSystemTime", "FormatMessageA", "FormatMessageW", "FreeLibrary", "GetACP",
        "GetCPInfo", "GetCurrentProcess", "GetCurrentProcessId", "GetCurrentThread",
        "GetCurrentThreadId", "GetHandleInformation", "GetLastError", "GetModuleFileNameW",
        "GetModuleHandleA", "GetModuleHandleW", "GetProcAddress", "GetProcessAffinityMask",
        "GetProcessTimes", "GetStartupInfoW", "GetSystemTimeAdjustment",
        "GetSystemTimeAsFileTime", "GetThreadContext", "GetThreadPriority", "GetThreadTimes",
        "GetTickCount", "GetTickCount64", "InitializeCriticalSection", "IsDBCSLeadByteEx",
        "IsDebuggerPresent", "LCMapStringEx", "LeaveCriticalSection", "LoadLibraryA",
        "LoadLibraryExW", "LoadLibraryW", "LocalFree", "MulDiv", "MultiByteToWideChar",
        "OpenProcess", "OpenThread", "OutputDebugStringA", "QueryPerformanceCounter",
        "QueryPerformanceFrequency", "RaiseException", "ReleaseSemaphore",
        "ReleaseSRWLockExclusive", "RemoveVectoredExceptionHandler", "ResetEvent",
        "ResumeThread", "RtlCaptureContext", "RtlLookupFunctionEntry", "RtlUnwindEx",
        "RtlVirtualUnwind", "SetDllDirectoryW", "SetEvent", "SetLastError",
        "SetProcessAffinityMask", "SetSystemTime", "SetThreadContext", "SetThreadPriority",
        "SetUnhandledExceptionFilter", "Sleep", "SleepConditionVariableSRW", "SuspendThread",
        "TerminateProcess", "TerminateThread", "TlsAlloc", "TlsGetValue", "TlsSetValue",
        "TryEnterCriticalSection", "VirtualProtect", "VirtualQuery", "WaitForMultipleObjects",
        "WaitForSingleObject", "WakeAllConditionVariable",
    },
    "user32.dll": {
        "AdjustWindowRectEx", "CreateWindowExW", "DefWindowProcW", "DestroyIcon",
        "DestroyWindow", "DispatchMessageW", "EnumWindows", "GetComboBoxInfo", "GetDC",
        "GetDlgItem", "GetFocus", "GetMessageW", "GetSystemMetrics", "GetWindowLongPtrW",
        "GetWindowLongW", "GetWindowRect", "GetWindowTextA", "GetWindowTextLengthW",
        "GetWindowTextW", "GetWindowThreadProcessId", "IsChild", "IsDialogMessageW",
        "IsHungAppWindow", "IsWindow", "IsWindowVisible", "LoadCursorW", "LoadImageW",
        "MessageBoxW", "PostQuitMessage", "RedrawWindow", "RegisterClassExW",
        "RegisterWindowMessageW", "ReleaseDC", "SendMessageW", "SetFocus", "SetWindowLongPtrW",
        "SetWindowLongW", "SetWindowPos", "SetWindowTextW", "ShowWindow", "ShowWindowAsync",
        "TranslateMessage",
    },
    "gdi32.dll": {
        "CreateFontW", "DeleteObject", "GetDeviceCaps", "GetTextExtentPoint32W", "SelectObject",
    },
    # Version 6, which the manifest asks for, exports the subclass functions by name.
    "comctl32.dll": {
        "DefSubclassProc", "InitCommonControlsEx", "RemoveWindowSubclass", "SetWindowSubclass",
    },
    # The stack protector's start-up code asks for its random guard value.
    "advapi32.dll": {"CryptAcquireContextA", "CryptGenRandom", "CryptReleaseContext"},
    "msvcrt.dll": {
        "___lc_codepage_func", "___mb_cur_max_func", "__iob_func", "__lc_codepage",
        "__p___mb_cur_max", "__p___winitenv", "__p__commode", "__p__fmode", "__p__iob",
        "__p__wcmdln", "__set_app_type", "__setusermatherr", "__wgetmainargs", "__winitenv",
        "_amsg_exit", "_assert", "_beginthreadex", "_cexit", "_close", "_commode",
        "_endthreadex", "_errno", "_exit", "_fileno", "_fmode", "_initterm", "_iob", "_onexit",
        "_open", "_read", "_setjmp", "_setjmp3", "_setmode", "_strdup", "_ultoa", "_vscprintf",
        "_vsnprintf", "_wcmdln", "_write", "abort", "atexit", "calloc", "exit", "fflush",
        "fprintf", "free", "fwrite", "getenv", "longjmp", "malloc", "memchr", "memcmp", "memcpy",
        "memmove", "memset", "printf", "realloc", "setvbuf", "signal", "strchr", "strcmp",
        "strerror", "strlen", "strncmp", "strtoul", "towlower", "vfprintf", "wcslen",
    },
}

# Stack protection is asked of every function with a local character buffer; this one reads
# window titles from the system into one.
PROTECTED_FUNCTION = "catalogue::EnumWindowsProc"


class PeError(Exception):
    pass


class PeImage:
    """The parts of a PE32 or PE32+ image that the checks read."""

    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ":
            raise PeError("no MZ header")
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise PeError("no PE signature")
        (self.machine, sections, _, _, _, optional_size,
         self.characteristics) = struct.unpack_from("<HHIIIHH", data, pe + 4)
        optional = pe + 24
        self.magic = struct.unpack_from("<H", data, optional)[0]
        # PE32 has a 32-bit image base and BaseOfData; PE32+ a 64-bit base in their place.
        if self.magic == PE32_PLUS:
            self.image_base = struct.unpack_from("<Q", data, optional + 24)[0]
            self.directory_table = optional + 112
        elif self.magic == PE32:
            self.image_base = struct.unpack_from("<I", data, optional + 28)[0]
            self.directory_table = optional + 96
        else:
            raise PeError("not a PE32 or PE32+ image (magic %#x)" % self.magic)
        self.dll_characteristics = struct.unpack_from("<H", data, optional + 70)[0]
        directory_count = struct.unpack_from("<I", data, self.directory_table - 4)[0]
        self.directories = [
            struct.unpack_from("<II", data, self.directory_table + 8 * i)
            for i in range(directory_count)
        ]
        self.sections = []
        table = optional + optional_size
        for i in range(sections):
            entry = table + 40 * i
            name = data[entry:entry + 8].rstrip(b"\0").decode("ascii", "replace")
            vsize, vaddr, raw_size, raw_pointer = struct.unpack_from("<IIII", data, entry + 8)
            flags = struct.unpack_from("<I", data, entry + 36)[0]
            self.sections.append((name, vaddr, vsize, raw_pointer, raw_size, flags))

    def directory(self, index):
        return self.directories[index] if index < len(self.directories) else (0, 0)

    def offset(self, rva):
        for _, vaddr, vsize, raw_pointer, raw_size, _ in self.sections:
            if vaddr <= rva < vaddr + max(vsize, raw_size):
                return raw_pointer + rva - vaddr
        raise PeError("address %#x lies in no section" % rva)

    def string_at(self, rva):
        start = self.offset(rva)
        end = self.data.index(b"\0", start)
        return self.data[start:end].decode("ascii", "replace")

    def imports(self):
        """The imported DLLs in order, each with the names of its imported functions."""
        rva, size = self.directory(IMAGE_DIRECTORY_ENTRY_IMPORT)
        if rva == 0 or size == 0:
            return []
        wide = self.magic == PE32_PLUS
        thunk_format, by_ordinal = ("<Q", 1 << 63) if wide else ("<I", 1 << 31)
        result = []
        entry = self.offset(rva)
        while True:
            descriptor = struct.unpack_from("<IIIII", self.data, entry)
            if descriptor == (0, 0, 0, 0, 0):
                return result
            functions = []
            thunk = self.offset(descriptor[0] or descriptor[4])
            while True:
                value = struct.unpack_from(thunk_format, self.data, thunk)[0]
                if value == 0:
                    break
                functions.append("#%d" % (value & 0xFFFF) if value & by_ordinal
                                 else self.string_at((value & 0x7FFFFFFF) + 2))
                thunk += 8 if wide else 4
            result.append((self.string_at(descriptor[3]), functions))
            entry += 20

    def imported_dlls(self):
        return [dll for dll, _ in self.imports()]


def check_image(image, machine="x64"):
    """Returns (name, ok, detail) for every property the image must have as a machine build."""
    results = []

    def check(name, ok, detail):
        results.append((name, bool(ok), detail))

    machine_type, magic = MACHINES[machine]
    dll = image.dll_characteristics
    check("machine " + machine, image.machine == machine_type and image.magic == magic,
          "machine %#x, optional header magic %#x" % (image.machine, image.magic))
    flags = [(IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE, "DYNAMIC_BASE"),
             (IMAGE_DLLCHARACTERISTICS_NX_COMPAT, "NX_COMPAT")]
    if machine == "x64":
        flags.insert(1, (IMAGE_DLLCHARACTERISTICS_HIGH_ENTROPY_VA, "HIGH_ENTROPY_VA"))
    for flag, label in flags:
        check("DllCharacteristics has " + label, dll & flag, "%#06x" % dll)
    if machine == "x64":
        check("image base above 4 GiB", image.image_base > 0xFFFFFFFF, "%#x" % image.image_base)
    check("relocations not stripped", not image.characteristics & IMAGE_FILE_RELOCS_STRIPPED,
          "Characteristics %#06x" % image.characteristics)
    reloc_rva, reloc_size = image.directory(IMAGE_DIRECTORY_ENTRY_BASERELOC)
    names = [section[0] for section in image.sections]
    check(".reloc section with base relocations",
          ".reloc" in names and reloc_rva != 0 and reloc_size > 8,
          "directory %#x, %d bytes" % (reloc_rva, reloc_size))
    writable_code = [section[0] for section in image.sections
                     if section[5] & IMAGE_SCN_MEM_WRITE and section[5] & IMAGE_SCN_MEM_EXECUTE]
    check("no section both writable and executable", not writable_code,
          ", ".join(writable_code) or "sections: " + " ".join(names))
    dlls = image.imported_dlls()
    foreign = [name for name in dlls
               if name.lower() not in SYSTEM_DLLS and not API_SET.match(name.lower())]
    check("imports system DLLs only", dlls and not foreign,
          ("not system: " + ", ".join(foreign)) if foreign else ", ".join(dlls) or "no imports")
    imported = [(dll.lower(), function) for dll, functions in image.imports()
                for function in functions]
    newer = ["%s!%s" % (dll, function) for dll, function in imported
             if function not in WINDOWS7.get(dll, ())]
    check("imports only what Windows 7 SP1 has", imported and not newer,
          ("not known to be in Windows 7 SP1: " + ", ".join(newer)) if newer
          else "%d functions from %d DLLs" % (len(imported), len({dll for dll, _ in imported})))
    return results


def check_stack_protection(unstripped, objdump, nm):
    """Returns (name, ok, detail) for the stack protector's presence and use."""
    symbols = subprocess.run([nm, "-C", unstripped], check=True, capture_output=True,
                             text=True).stdout
    defined = {line.split(None, 2)[2] for line in symbols.splitlines()
               if len(line.split(None, 2)) == 3 and line.split(None, 2)[1] in "Tt"}
    results = [("__stack_chk_fail linked in (nm)", "__stack_chk_fail" in defined,
                "unstripped " + unstripped)]

    listing = subprocess.run([objdump, "-d", "-C", "--no-show-raw-insn", unstripped],
                             check=True, capture_output=True, text=True).stdout
    function = None
    callers = set()
    for line in listing.splitlines():
        header = re.match(r"^[0-9a-f]+ <(.*)>:$", line)
        if header:
            function = header.group(1)
        elif function and re.search(r"\bcall\s+[0-9a-f]+ <__stack_chk_fail>", line):
            callers.add(function)
    own = sorted(name for name in callers
                 if re.match(r"(catalogue|jumper|platform|ui)::|wWinMain", name))
    results.append(("program's own functions call __stack_chk_fail", own,
                    "%d of %d protected functions are the program's own"
                    % (len(own), len(callers))))
    results.append((PROTECTED_FUNCTION + " is protected",
                    any(name.startswith(PROTECTED_FUNCTION + "(") for name in callers),
                    "its title buffer is on the stack"))
    return results


def report(results):
    failed = 0
    for name, ok, detail in results:
        print("%s  %s  (%s)" % ("ok  " if ok else "FAIL", name, detail))
        failed += not ok
    return failed


# --- self-test: every check must fail on an image that lacks its property -------------------

def _patched(data, image, edit):
    """A copy of the image's bytes with one change made by edit(bytearray, pe_offset)."""
    copy = bytearray(data)
    edit(copy, struct.unpack_from("<I", data, 0x3C)[0])
    return PeImage(bytes(copy))


def self_test(path, machine):
    data = open(path, "rb").read()
    image = PeImage(data)
    baseline = check_image(image, machine)
    if not all(ok for _, ok, _ in baseline):
        print("self-test: the given image does not pass to begin with", file=sys.stderr)
        return 1
    optional_of = lambda pe: pe + 24  # noqa: E731
    section_table = lambda pe: optional_of(pe) + struct.unpack_from("<H", data, pe + 20)[0]  # noqa: E731

    def clear_dll(flag):
        def edit(buffer, pe):
            at = optional_of(pe) + 70
            struct.pack_into("<H", buffer, at, struct.unpack_from("<H", buffer, at)[0] & ~flag)
        return edit

    def low_base(buffer, pe):
        struct.pack_into("<Q", buffer, optional_of(pe) + 24, 0x400000)

    def other_machine(buffer, pe):
        struct.pack_into("<H", buffer, pe + 4, 0x14C if image.machine == 0x8664 else 0x8664)

    def relocs_stripped(buffer, pe):
        at = pe + 22
        struct.pack_into("<H", buffer, at, struct.unpack_from("<H", buffer, at)[0] | 1)

    def no_reloc(buffer, pe):
        struct.pack_into("<II", buffer, image.directory_table + 8 * 5, 0, 0)
        for i, section in enumerate(image.sections):
            if section[0] == ".reloc":
                buffer[section_table(pe) + 40 * i:section_table(pe) + 40 * i + 8] = b".relx\0\0\0"

    def writable_text(buffer, pe):
        for i, section in enumerate(image.sections):
            if section[5] & IMAGE_SCN_MEM_EXECUTE:
                at = section_table(pe) + 40 * i + 36
                struct.pack_into("<I", buffer, at, section[5] | IMAGE_SCN_MEM_WRITE)

    def foreign_import(buffer, pe):
        rva = image.directory(IMAGE_DIRECTORY_ENTRY_IMPORT)[0]
        name_rva = struct.unpack_from("<I", buffer, image.offset(rva) + 12)[0]
        at = image.offset(name_rva)
        old = image.string_at(name_rva)
        new = "libstdc++-6.dll"[:len(old)].ljust(len(old), "x")
        buffer[at:at + len(old)] = new.encode("ascii")

    def newer_import(dll_name):
        def edit(buffer, pe):
            functions = [functions for dll, functions in image.imports()
                         if dll.lower() == dll_name][0]
            name = bytes(functions[0], "ascii")
            at = image.data.index(b"\0" + name + b"\0") + 1
            # The same length, so nothing else moves: no Windows 7 function has this name.
            buffer[at:at + len(name)] = b"X" * len(name)
        return edit

    cases = [
        ("other machine type", other_machine, "machine " + machine),
        ("newer kernel32 import", newer_import("kernel32.dll"),
         "imports only what Windows 7 SP1 has"),
        ("newer user32 import", newer_import("user32.dll"), "imports only what Windows 7 SP1 has"),
        ("newer msvcrt import", newer_import("msvcrt.dll"), "imports only what Windows 7 SP1 has"),
        ("DYNAMIC_BASE cleared", clear_dll(IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE),
         "DllCharacteristics has DYNAMIC_BASE"),
        ("NX_COMPAT cleared", clear_dll(IMAGE_DLLCHARACTERISTICS_NX_COMPAT),
         "DllCharacteristics has NX_COMPAT"),
        ("RELOCS_STRIPPED set", relocs_stripped, "relocations not stripped"),
        ("no .reloc", no_reloc, ".reloc section with base relocations"),
        ("writable code", writable_text, "no section both writable and executable"),
        ("foreign DLL", foreign_import, "imports system DLLs only"),
    ]
    if machine == "x64":
        cases += [
            ("HIGH_ENTROPY_VA cleared", clear_dll(IMAGE_DLLCHARACTERISTICS_HIGH_ENTROPY_VA),
             "DllCharacteristics has HIGH_ENTROPY_VA"),
            ("base 0x400000", low_base, "image base above 4 GiB"),
        ]
    failures = 0
    for label, edit, expected in cases:
        results = dict((name, ok) for name, ok, _ in
                       check_image(_patched(data, image, edit), machine))
        caught = results.get(expected) is False
        others = [name for name, ok in results.items() if not ok and name != expected]
        print("%s  self-test: %s is caught by '%s'%s" % (
            "ok  " if caught else "FAIL", label, expected,
            " (also: %s)" % ", ".join(others) if others else ""))
        failures += not caught
    return failures


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("exe")
    parser.add_argument("--unstripped", help="unstripped copy of exe, for the symbol checks")
    parser.add_argument("--machine", choices=sorted(MACHINES), default="x64",
                        help="the build the image must be (default x64)")
    parser.add_argument("--objdump", default="x86_64-w64-mingw32-objdump")
    parser.add_argument("--nm", default="x86_64-w64-mingw32-nm")
    parser.add_argument("--max-bytes", type=int, help="the largest the executable may be")
    parser.add_argument("--self-test", action="store_true",
                        help="also check that each check fails on a patched copy")
    args = parser.parse_args()

    try:
        image = PeImage(open(args.exe, "rb").read())
    except (OSError, PeError, struct.error) as error:
        print("FAIL  %s: %s" % (args.exe, error))
        return 1
    print("%s: %d bytes" % (args.exe, len(image.data)))
    failed = report(check_image(image, args.machine))
    if args.max_bytes is not None:
        size = len(image.data)
        failed += report([("at most %d bytes" % args.max_bytes, size <= args.max_bytes,
                           "%s is %d bytes%s" % (args.exe, size, ", %d over the limit"
                                                 % (size - args.max_bytes)
                                                 if size > args.max_bytes else ""))])
    failed += report(check_stack_protection(args.unstripped or args.exe, args.objdump, args.nm))
    if args.self_test:
        failed += self_test(args.exe, args.machine)
    print("hardening: %s" % ("all checks passed" if not failed else "%d checks failed" % failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
