# 64-bit Windows, cross-compiled with Debian's MinGW-w64 GCC and run under Wine. The compiler of
# the posix thread model, whose C++ library has std::mutex (GoogleTest needs it). The runtime
# (libgcc, libstdc++, winpthreads, also under its name libpthread) is linked statically into
# every program and DLL, so that a .mexw64 file needs nothing beside the host's own libraries; a
# DLL that exports all its symbols (the test host's libraries, which name none) leaves out those
# of the runtime, which every module has a copy of.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT
  "-static -Wl,--exclude-libs,libgcc.a:libgcc_eh.a:libstdc++.a:libwinpthread.a:libpthread.a")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")
# Wine, in a prefix of its own that the script sets up on first use.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../../tests/wine_run.sh)
