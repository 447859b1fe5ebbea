# win95_binary(TARGET KIND): a Windows binary that starts on a clean Windows 95 on any
# 386-class processor.  KIND is GUI (a program entered through WinMain), CONSOLE (a test
# program entered through main) or LIBRARY (a DLL entered through its DllMain).
#
# - The C library is CRTDLL.DLL, the one every Windows 95 has (msvcrt.dll is not part of
#   Windows 95 retail or OSR2, KB Q156976).  MinGW's start-up objects, which bring msvcrt.dll,
#   Pentium Pro instructions (cmove, lock cmpxchg) and a TLS directory that Windows 95's
#   LoadLibrary refuses in a DLL (KB Q118816), are replaced by the entries in startup/.
# - Code for the 386 (-march=i386); no unwind tables (no exceptions, nothing unwinds).
# - OS and subsystem version 4.0; no DYNAMIC_BASE or NX_COMPAT flags; a program without its
#   relocations (it always loads at its own base), a library with them.
# - Only the system DLLs; tools/pe_audit.py and tools/cpu_audit.py check the result.
# - No time stamp in the headers or the export table, no build path (-s strips the symbols):
#   two builds of one commit are the same bytes, checksum included (scripts/reproduce.sh).
function(win95_binary target kind)
    set(start ${PROJECT_SOURCE_DIR}/startup)
    if(kind STREQUAL "GUI")
        target_sources(${target} PRIVATE ${start}/program_start.cpp)
        set(entry _WinMainCRTStartup)
        set(kind_flags -Wl,--disable-reloc-section)
    elseif(kind STREQUAL "CONSOLE")
        target_sources(${target} PRIVATE ${start}/console_start.cpp)
        set(entry _mainCRTStartup)
        set(kind_flags -Wl,--disable-reloc-section)
    elseif(kind STREQUAL "LIBRARY")
        set(entry _DllMain@12)
        set(kind_flags -Wl,--subsystem,windows)
    else()
        message(FATAL_ERROR "win95_binary: KIND is GUI, CONSOLE or LIBRARY, not ${kind}")
    endif()
    # __USE_MINGW_ANSI_STDIO=0: the C library's own printf, not MinGW's replacement (which
    # lives in libmingwex and needs msvcrt.dll).
    target_compile_options(${target} PRIVATE
        -march=i386 -fno-asynchronous-unwind-tables -fno-unwind-tables)
    target_compile_definitions(${target} PRIVATE __USE_MINGW_ANSI_STDIO=0)
    target_link_options(${target} PRIVATE
        -nostartfiles -nodefaultlibs -s -Wl,-e,${entry},--no-insert-timestamp ${kind_flags}
        -Wl,--disable-dynamicbase,--disable-nxcompat
        -Wl,--major-os-version=4,--minor-os-version=0
        -Wl,--major-subsystem-version=4,--minor-subsystem-version=0
        ${start}/no_constructors.ld)
    target_link_libraries(${target} PRIVATE
        crtdll kernel32 user32 advapi32 winspool comdlg32 gcc)
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${start}/no_constructors.ld)
endfunction()
