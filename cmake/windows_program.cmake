# The Windows program: one statically linked, Unicode .exe named as its version record's OriginalFilename.
add_compile_definitions(UNICODE _UNICODE NOMINMAX WIN32_LEAN_AND_MEAN _WIN32_WINNT=0x0601)
enable_language(RC)

set(KORVANE_EXE_NAME "Korvane远程端口修改工具V1.0")

add_executable(korvane WIN32
  platform/win32/dispatch.cpp
  platform/win32/error_text.cpp
  platform/win32/platform_win32.cpp
  platform/win32/script_shell_win32.cpp
  ui/dpi_win32.cpp
  ui/window_win32.cpp
  ui/main_window_win32.cpp
  ui/app_main_win32.cpp
  resources/app.rc
)
target_link_libraries(korvane PRIVATE korvane_core ole32 oleaut32 uuid comctl32 gdi32 user32 shell32)
set_target_properties(korvane PROPERTIES OUTPUT_NAME "${KORVANE_EXE_NAME}")
if(MINGW)
  target_link_options(korvane PRIVATE -municode -static -static-libgcc -static-libstdc++)
  set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -c 65001")
endif()
target_include_directories(korvane PRIVATE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_BINARY_DIR})

include(resources/resources.cmake OPTIONAL)

if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/tests/e2e/CMakeLists.txt)
  enable_testing()
  add_subdirectory(tests/e2e)
endif()
