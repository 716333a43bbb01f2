# Hardening, size and warning flags for the Windows build of jumper.exe, and the test that
# checks that the built executable keeps them (tests/hardening/check_pe.py).
#
# ASLR: a relocatable image (base relocations kept) with a 64-bit image base above 4 GiB and
# the high-entropy flag, so the loader can place it anywhere. DEP: NX compatible. Stack
# protection on every function with a local array or an address-taken local. Control Flow
# Guard is not produced by this toolchain (GCC and GNU ld emit no guard tables), and SafeSEH
# does not exist for 64-bit images (their unwind data is table-based, in .pdata/.xdata).

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
  -Wl,--high-entropy-va
  -Wl,--nxcompat
  -Wl,--image-base,0x140000000
  # Keep the base relocations: without them the image can only load at its preferred base.
  -Wl,--enable-reloc-section
  # The library's default terminate handler prints the escaping error's demangled type to
  # stderr, which a GUI program has not got; it brings in the whole demangler and printf
  # (about 60 KiB). Terminating goes straight to abort instead, with the same exit status.
  -Wl,--defsym,_ZN9__gnu_cxx27__verbose_terminate_handlerEv=abort)

# The core library is linked into the executable: it gets the same code generation.
target_compile_options(jumper_core PRIVATE ${JUMPER_HARDENING_COMPILE} ${JUMPER_EXTRA_WARNINGS})
target_compile_options(jumper PRIVATE ${JUMPER_HARDENING_COMPILE} ${JUMPER_EXTRA_WARNINGS})
target_link_options(jumper PRIVATE ${JUMPER_HARDENING_LINK}
                    "-Wl,-Map,$<TARGET_FILE_DIR:jumper>/jumper.map")

# Release builds ship stripped. The unstripped image stays beside it as jumper.unstripped.exe,
# for the symbol checks (stack protection) and for reading crash addresses.
find_program(JUMPER_OBJCOPY NAMES x86_64-w64-mingw32-objcopy REQUIRED)
find_program(JUMPER_OBJDUMP NAMES x86_64-w64-mingw32-objdump REQUIRED)
find_program(JUMPER_NM NAMES x86_64-w64-mingw32-nm REQUIRED)
if(CMAKE_BUILD_TYPE MATCHES "^(Release|MinSizeRel)$")
  add_custom_command(TARGET jumper POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:jumper>
            $<TARGET_FILE_DIR:jumper>/jumper.unstripped.exe
    COMMAND ${JUMPER_OBJCOPY} --strip-all $<TARGET_FILE:jumper>
    COMMENT "Stripping jumper.exe (unstripped copy: jumper.unstripped.exe)"
    VERBATIM)
  set(JUMPER_UNSTRIPPED $<TARGET_FILE_DIR:jumper>/jumper.unstripped.exe)
else()
  set(JUMPER_UNSTRIPPED $<TARGET_FILE:jumper>)
endif()

find_package(Python3 REQUIRED COMPONENTS Interpreter)
add_test(NAME hardening.jumper_exe
  COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tests/hardening/check_pe.py
          --objdump ${JUMPER_OBJDUMP} --nm ${JUMPER_NM}
          --unstripped ${JUMPER_UNSTRIPPED}
          --self-test $<TARGET_FILE:jumper>)
