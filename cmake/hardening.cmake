# Hardening, size and warning flags for the Windows build of jumper.exe, and the test that
# checks that the built executable keeps them (tests/hardening/check_pe.py).
#
# ASLR: a relocatable image (base relocations kept), for 64-bit with an image base above
# 4 GiB and the high-entropy flag, so the loader can place it anywhere. DEP: NX compatible.
# Stack protection on every function with a local array or an address-taken local. Control
# Flow Guard is not produced by this toolchain (GCC and GNU ld emit no guard tables). SafeSEH
# does not exist for 64-bit images (their unwind data is table-based, in .pdata/.xdata), and
# GNU ld cannot produce its handler table for the 32-bit image.

set(JUMPER_HARDENING_COMPILE
  -fstack-protector-strong
  -D_FORTIFY_SOURCE=2
  -Os
  # One section per function, so that the linker drops what is never called. Not
  # -fdata-sections: GCC for PE targets then puts every zero-initialised object in a
  # .data$ section of its own instead of .bss, so the 40 KiB catalogue array would be
  # stored in the file.
  -ffunction-sections)

set(JUMPER_EXTRA_WARNINGS
  -Wformat=2 -Wnull-dereference -Wduplicated-cond -Wduplicated-branches -Wlogical-op
  -Wcast-qual -Wundef -Wimplicit-fallthrough -Wmissing-declarations)

set(JUMPER_HARDENING_LINK
  -fstack-protector-strong
  -Wl,--gc-sections
  -Wl,--dynamicbase
  -Wl,--nxcompat
  # Keep the base relocations: without them the image can only load at its preferred base.
  -Wl,--enable-reloc-section)
# The library's default terminate handler prints the escaping error's demangled type to
# stderr, which a GUI program has not got; it brings in the whole demangler and printf
# (about 60 KiB). Terminating goes straight to abort instead, with the same exit status.
# 32-bit Windows symbols carry a leading underscore.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(JUMPER_PE_MACHINE x64)
  list(APPEND JUMPER_HARDENING_LINK
    -Wl,--high-entropy-va
    -Wl,--image-base,0x140000000
    -Wl,--defsym,_ZN9__gnu_cxx27__verbose_terminate_handlerEv=abort)
else()
  # No high-entropy VA and no base above 4 GiB in a 32-bit address space.
  set(JUMPER_PE_MACHINE x86)
  list(APPEND JUMPER_HARDENING_LINK
    -Wl,--defsym,__ZN9__gnu_cxx27__verbose_terminate_handlerEv=_abort)
endif()

# The libraries are linked into the executable: they get the same code generation.
target_compile_options(jumper_core PRIVATE ${JUMPER_HARDENING_COMPILE} ${JUMPER_EXTRA_WARNINGS})
target_compile_options(jumper_win32 PRIVATE ${JUMPER_HARDENING_COMPILE} ${JUMPER_EXTRA_WARNINGS})
target_compile_options(jumper PRIVATE ${JUMPER_HARDENING_COMPILE} ${JUMPER_EXTRA_WARNINGS})
target_link_options(jumper PRIVATE ${JUMPER_HARDENING_LINK}
                    "-Wl,-Map,$<TARGET_FILE_DIR:jumper>/jumper.map")

# Release builds ship stripped. The unstripped image stays beside it as jumper.unstripped.exe,
# for the symbol checks (stack protection) and for reading crash addresses. objcopy writes
# the current time into the PE header unless SOURCE_DATE_EPOCH says otherwise: zero, as the
# linker leaves it (--no-insert-timestamp), so that the release is reproducible.
# The binutils of the compiler's own target (x86_64- or i686-w64-mingw32-).
get_filename_component(_jumper_cxx ${CMAKE_CXX_COMPILER} NAME)
string(REGEX MATCH "^[^-]+-w64-mingw32-" _jumper_tools "${_jumper_cxx}")
find_program(JUMPER_OBJCOPY NAMES ${_jumper_tools}objcopy objcopy REQUIRED)
find_program(JUMPER_OBJDUMP NAMES ${_jumper_tools}objdump objdump REQUIRED)
find_program(JUMPER_NM NAMES ${_jumper_tools}nm nm REQUIRED)
if(CMAKE_BUILD_TYPE MATCHES "^(Release|MinSizeRel)$")
  add_custom_command(TARGET jumper POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:jumper>
            $<TARGET_FILE_DIR:jumper>/jumper.unstripped.exe
    COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=0
            ${JUMPER_OBJCOPY} --strip-all $<TARGET_FILE:jumper>
    COMMENT "Stripping jumper.exe (unstripped copy: jumper.unstripped.exe)"
    VERBATIM)
  set(JUMPER_UNSTRIPPED $<TARGET_FILE_DIR:jumper>/jumper.unstripped.exe)
else()
  set(JUMPER_UNSTRIPPED $<TARGET_FILE:jumper>)
endif()

# The largest jumper.exe may be, in either width: 300 KiB, the largest size measured (the
# 32-bit build with GCC 16, 293,902 bytes) and about 4 % (README, "Size"). The test fails,
# naming the file and its size, when a build is larger.
set(JUMPER_MAX_BYTES 307200)

find_package(Python3 REQUIRED COMPONENTS Interpreter)
add_test(NAME hardening.jumper_exe
  COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tests/hardening/check_pe.py
          --machine ${JUMPER_PE_MACHINE} --objdump ${JUMPER_OBJDUMP} --nm ${JUMPER_NM}
          --unstripped ${JUMPER_UNSTRIPPED} --max-bytes ${JUMPER_MAX_BYTES}
          --self-test $<TARGET_FILE:jumper>)
