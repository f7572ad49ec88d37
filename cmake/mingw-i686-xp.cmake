# Cross build of the shipped 32-bit exe with Debian's mingw-w64, for Windows
# XP and later. The -win32 thread model: the -posix compilers link
# winpthreads, whose static copy imports GetTickCount64 (Windows Vista) even
# into a program that starts no thread. The tests keep -posix (GoogleTest
# needs it).
include(${CMAKE_CURRENT_LIST_DIR}/mingw-i686.cmake)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-win32)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-win32)
# ld writes 4.0 as subsystem and OS version; 5.1 names Windows XP, the
# oldest Windows whose DLLs the imports are checked against
# (tests/xp_imports.txt).
set(CMAKE_EXE_LINKER_FLAGS_INIT
  "-Wl,--major-subsystem-version,5,--minor-subsystem-version,1,--major-os-version,5,--minor-os-version,1")
