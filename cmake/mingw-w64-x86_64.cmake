# Cross-compiles the Windows program with MinGW-w64 (posix thread model, for std::mutex and
# std::thread) and runs what it builds under Wine in the project's own prefix.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# No MinGW runtime DLLs beside the exe.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Wine in the project-local prefix, quiet, and with no Mono or Gecko installer dialog.
get_filename_component(_dvbk_root "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR
    env "WINEPREFIX=${_dvbk_root}/build/wine" WINEDEBUG=-all "WINEDLLOVERRIDES=mscoree,mshtml=" wine)
