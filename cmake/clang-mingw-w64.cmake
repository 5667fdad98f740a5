# A second compiler for the Windows program: Debian's clang, targeting x86_64-w64-mingw32 with the
# mingw-w64 headers and libraries and the C++ library of Debian's mingw-w64 GCC, whose folder clang does
# not find by itself (it is named 12-win32, not a plain version). scripts/check-sources.sh builds with it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_C_COMPILER_TARGET x86_64-w64-mingw32)
set(CMAKE_CXX_COMPILER_TARGET x86_64-w64-mingw32)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_SYSROOT /usr/x86_64-w64-mingw32)

execute_process(COMMAND x86_64-w64-mingw32-g++ -print-libgcc-file-name OUTPUT_VARIABLE mingwLibgcc
                OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
get_filename_component(mingwGccDir "${mingwLibgcc}" DIRECTORY)
set(mingwCxxHeaders "${mingwGccDir}/include/c++")
set(CMAKE_CXX_STANDARD_INCLUDE_DIRECTORIES ${mingwCxxHeaders} ${mingwCxxHeaders}/x86_64-w64-mingw32
                                          ${mingwCxxHeaders}/backward)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-L${mingwGccDir}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-L${mingwGccDir}")

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
