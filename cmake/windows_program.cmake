# The Windows program: one statically linked, Unicode .exe named as its version record's OriginalFilename.
add_compile_definitions(UNICODE _UNICODE NOMINMAX WIN32_LEAN_AND_MEAN _WIN32_WINNT=0x0601)
enable_language(RC)

set(KORVANE_EXE_NAME "Korvane远程端口修改工具V1.0")

# The Windows code in two libraries, which the tests under Wine link too: the platform services, and the
# windows.
add_library(korvane_platform_win32 STATIC
  platform/win32/dispatch.cpp
  platform/win32/dll_search.cpp
  platform/win32/dynamic_range_win32.cpp
  platform/win32/firewall_win32.cpp
  platform/win32/interface_name_win32.cpp
  platform/win32/netsh_win32.cpp
  platform/win32/platform_win32.cpp
  platform/win32/registry_strings_win32.cpp
  platform/win32/port_use_win32.cpp
  platform/win32/responsive_wait.cpp
  platform/win32/script_shell_win32.cpp
  platform/win32/system_info_win32.cpp
  platform/win32/system_library.cpp
)
add_library(korvane_ui_win32 STATIC
  ui/control_placement_win32.cpp
  ui/dpi_win32.cpp
  ui/window_win32.cpp
  ui/main_window_win32.cpp
  ui/new_port_field_win32.cpp
  ui/about_window_win32.cpp
  ui/application_win32.cpp
)
# Only DLLs that Windows always takes from the system folder (its KnownDLLs) and comctl32 (which the manifest
# redirects) may be imported statically; anything else is loaded at run time (system_library.h).
target_link_libraries(korvane_platform_win32 PUBLIC korvane_core ole32 oleaut32 uuid wbemuuid ws2_32 advapi32)
target_link_libraries(korvane_ui_win32 PUBLIC korvane_platform_win32 korvane_core comctl32 gdi32 user32 imm32)

add_executable(korvane WIN32 ui/app_main_win32.cpp resources/app.rc)
target_link_libraries(korvane PRIVATE korvane_ui_win32 korvane_platform_win32 korvane_core)
set_target_properties(korvane PROPERTIES OUTPUT_NAME "${KORVANE_EXE_NAME}")
if(MINGW)
  # Hardening: stack canaries and checked string and memory functions. mingw-w64 10 keeps the checked
  # functions in libssp, linked statically like the rest; the canary and what happens when a check fails
  # are the program's own (stack_guard.cpp), so libssp's slow set-up of its canary is never linked in.
  # ASLR with high-entropy addresses and DEP are the linker's defaults; the subsystem version says Windows 7
  # is the oldest system the program runs on.
  #
  # Size: -Oz, GCC's strictest optimisation for size (1 KB smaller than -Os, and start-up no slower), rather than
  # CMake's -O3 (whose inlining of the string building in the change procedure costs about 50 KB) or -O2 (100 KB
  # more than -Os), and --gc-sections, which drops the unused sections of the
  # libraries (libstdc++, the GUIDs of libuuid and libwbemuuid): 18.5 KB. Our own code in a section per function
  # and datum (-ffunction-sections -fdata-sections) was measured to make the .exe 2.5 KB larger, not smaller.
  # The program throws and catches nothing and asks no object its type: built without exceptions and run-time
  # type information, its code carries no landing pads or type records. The tests under Wine link these
  # libraries into programs of their own built with both, as GoogleTest needs; no exception passes through
  # the libraries' code there either.
  foreach(target korvane korvane_core korvane_platform_win32 korvane_ui_win32)
    target_compile_options(${target} PRIVATE -fstack-protector-strong -fno-exceptions -fno-rtti
                           $<$<CONFIG:Release>:-Oz>)
    target_compile_definitions(${target} PRIVATE _FORTIFY_SOURCE=2)
  endforeach()
  target_link_options(korvane PRIVATE -Wl,--gc-sections)
  # GCC's link-time optimisation in the Release build: the program optimised as a whole, in one partition (512 bytes
  # smaller than GCC's own split), at -Oz as it was compiled (CMake puts its -O3 on the link line too). GCC 12 at
  # -Os stops with an internal compiler error on implicitly defined constructors unless they are kept whole
  # (-fno-declone-ctor-dtor). The stack protector's runtime and the entry point that sets its canary stay ordinary
  # objects: the calls to __stack_chk_fail are made only after the optimisation, which would otherwise drop it as
  # unused; and a guarded function inlined into KorvaneStartup would make it check, on its way out, a canary set
  # after it came in (the program ended at start-up as if its stack were smashed). The static libraries are made
  # with GCC's ar and ranlib, which index the optimisation's objects too.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    set(CMAKE_AR "${CMAKE_CXX_COMPILER_AR}")
    set(CMAKE_RANLIB "${CMAKE_CXX_COMPILER_RANLIB}")
    foreach(target korvane korvane_core korvane_platform_win32 korvane_ui_win32)
      target_compile_options(${target} PRIVATE $<$<CONFIG:Release>:-flto -fno-declone-ctor-dtor>)
    endforeach()
    # The program's libraries carry how they are linked, to the program and to the tests that link them.
    target_link_options(korvane_core INTERFACE $<$<CONFIG:Release>:-flto -flto-partition=one -Oz>)
    set_source_files_properties(platform/win32/stack_guard.cpp ui/app_main_win32.cpp PROPERTIES
                                COMPILE_OPTIONS -fno-lto)
  endif()
  target_sources(korvane PRIVATE platform/win32/stack_guard.cpp)
  target_link_libraries(korvane PRIVATE ssp)
  # Starts at KorvaneStartup (ui/app_main_win32.cpp), which restricts the DLL search before the C runtime's
  # own start-up loads any DLL.
  target_link_options(korvane PRIVATE -Wl,-e,KorvaneStartup)
  target_link_options(korvane PRIVATE -Wl,--major-subsystem-version,6,--minor-subsystem-version,1
                      -Wl,--dynamicbase,--high-entropy-va,--nxcompat)
  target_link_options(korvane PRIVATE -municode -static -static-libgcc -static-libstdc++ $<$<CONFIG:Release,MinSizeRel>:-s>)
  set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -c 65001")
endif()
if(MSVC)
  # The entry point is wWinMain (Unicode); the .rc is UTF-8 like the sources. The runtime is linked
  # statically (CMAKE_MSVC_RUNTIME_LIBRARY) and the manifest comes from app.rc (resources.cmake).
  target_link_options(korvane PRIVATE /ENTRY:wWinMainCRTStartup)
  set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} /c65001")
endif()
foreach(target korvane korvane_platform_win32 korvane_ui_win32)
  target_include_directories(${target} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_BINARY_DIR})
endforeach()

include(resources/resources.cmake OPTIONAL)

# The package for users: a zip holding the .exe under its OriginalFilename and a short read-me in Chinese
# (UTF-8 with a byte order mark and CR LF line ends, so that Notepad on any Windows shows it right).
file(STRINGS port/publisher.h publisherDefinition REGEX "define KORVANE_PUBLISHER_URL")
string(REGEX REPLACE ".*L\"([^\"]+)\".*" "\\1" KORVANE_PUBLISHER_URL "${publisherDefinition}")
configure_file(resources/readme-zh.txt ${CMAKE_CURRENT_BINARY_DIR}/说明.txt @ONLY NEWLINE_STYLE CRLF)
install(TARGETS korvane RUNTIME DESTINATION .)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/说明.txt DESTINATION .)
set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_FILE_NAME "${KORVANE_EXE_NAME}")
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
include(CPack)

# The tests under Wine, and the checks of the .exe itself: only where it is cross-compiled on Linux (and not
# for the second compiler's build, which only makes the program).
option(KORVANE_WINE_TESTS "The tests under Wine and the benchmark" ON)
if(CMAKE_CROSSCOMPILING AND CMAKE_HOST_UNIX AND KORVANE_WINE_TESTS)
  enable_testing()
  add_subdirectory(tests/windows)
  add_test(NAME exe_file COMMAND bash ${CMAKE_SOURCE_DIR}/tests/exe/check_exe.sh $<TARGET_FILE:korvane>)
  add_test(NAME package COMMAND bash ${CMAKE_SOURCE_DIR}/tests/package/check_package.sh ${CMAKE_CURRENT_BINARY_DIR}
                                $<TARGET_FILE:korvane>)
  add_subdirectory(tests/benchmark)
endif()
