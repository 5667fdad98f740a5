# The program's resources, included from cmake/windows_program.cmake (CMAKE_CURRENT_SOURCE_DIR is the
# repository root). The icon is drawn at build time by make_icon into the build folder as app.ico, where
# app.rc finds it through the include path; the version record and the manifest come from resources/.

set(KORVANE_MAKE_ICON_SOURCES
  ${CMAKE_CURRENT_SOURCE_DIR}/resources/icon_image.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/resources/icon_art.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/resources/make_icon.cpp
)
set(KORVANE_MAKE_ICON_HEADERS
  ${CMAKE_CURRENT_SOURCE_DIR}/resources/icon_image.h
  ${CMAKE_CURRENT_SOURCE_DIR}/resources/icon_art.h
)
set(KORVANE_APP_ICON ${CMAKE_CURRENT_BINARY_DIR}/app.ico)

if(CMAKE_CROSSCOMPILING)
  # make_icon has to run on the build machine, so it is built with the build machine's own compiler,
  # not the cross compiler.
  find_program(HOST_CXX NAMES c++ g++ clang++ NO_CMAKE_FIND_ROOT_PATH
    DOC "C++17 compiler of the build machine, for make_icon")
  if(NOT HOST_CXX)
    message(FATAL_ERROR "No C++ compiler for the build machine (c++, g++ or clang++) to build make_icon; "
                        "install one or set HOST_CXX.")
  endif()
  set(KORVANE_MAKE_ICON ${CMAKE_CURRENT_BINARY_DIR}/make_icon_host)
  add_custom_command(
    OUTPUT ${KORVANE_MAKE_ICON}
    COMMAND ${HOST_CXX} -std=c++17 -O2 -I${CMAKE_CURRENT_SOURCE_DIR} ${KORVANE_MAKE_ICON_SOURCES}
            -o ${KORVANE_MAKE_ICON}
    DEPENDS ${KORVANE_MAKE_ICON_SOURCES} ${KORVANE_MAKE_ICON_HEADERS}
    COMMENT "Building make_icon for the build machine"
    VERBATIM
  )
else()
  add_executable(make_icon ${KORVANE_MAKE_ICON_SOURCES})
  target_include_directories(make_icon PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  if(MINGW)
    # Runs during the build, where the MinGW runtime DLLs need not be on PATH.
    target_link_options(make_icon PRIVATE -static)
  endif()
  set(KORVANE_MAKE_ICON make_icon)  # a target name in COMMAND and DEPENDS stands for its executable
endif()

add_custom_command(
  OUTPUT ${KORVANE_APP_ICON}
  COMMAND ${KORVANE_MAKE_ICON} ${KORVANE_APP_ICON}
  DEPENDS ${KORVANE_MAKE_ICON}
  COMMENT "Drawing the application icon app.ico"
  VERBATIM
)

# Listing the icon among korvane's sources puts the command that draws it into korvane's build, ahead of
# the resource compiler; OBJECT_DEPENDS recompiles app.rc whenever a file it pulls in changes, which the
# resource compiler's own dependency tracking does not see for ICON and RT_MANIFEST files.
target_sources(korvane PRIVATE ${KORVANE_APP_ICON})
# For other programs that link app.rc (the window tests).
add_custom_target(korvane_icon DEPENDS ${KORVANE_APP_ICON})
set(KORVANE_RC_INPUTS
  ${KORVANE_APP_ICON}
  ${CMAKE_CURRENT_SOURCE_DIR}/resources/app.manifest
  ${CMAKE_CURRENT_SOURCE_DIR}/resources/resource_ids.h
  ${CMAKE_CURRENT_SOURCE_DIR}/port/publisher.h
)
set_source_files_properties(${CMAKE_CURRENT_SOURCE_DIR}/resources/app.rc PROPERTIES
  OBJECT_DEPENDS "${KORVANE_RC_INPUTS}")

if(MSVC)
  # app.rc embeds the manifest itself; the linker's own manifest would clash with it or replace it.
  target_link_options(korvane PRIVATE /MANIFEST:NO)
endif()
