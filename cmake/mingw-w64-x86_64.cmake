# Cross-compiling for 64-bit Windows with Debian's MinGW-w64 (the posix
# threading flavour, which std::thread and libstdc++'s mutexes need).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VANTOR_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VANTOR_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VANTOR_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${VANTOR_MINGW_TRIPLET}-windres)
set(CMAKE_AR ${VANTOR_MINGW_TRIPLET}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${VANTOR_MINGW_TRIPLET}-ranlib CACHE FILEPATH "")

# Headers and libraries come from the MinGW-w64 sysroot and from the roots
# given on the command line (the dependencies' prefix), never from the build
# machine's /usr.
list(APPEND CMAKE_FIND_ROOT_PATH /usr/${VANTOR_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
