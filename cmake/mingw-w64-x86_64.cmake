# Cross build for 64-bit Windows with Debian's MinGW-w64 (package g++-mingw-w64-x86-64-posix).
#
# The posix thread model is asked for by name: the unsuffixed compiler may be the win32 model,
# whose <mutex> and <thread> are empty. Programs are linked statically (C and C++ runtimes,
# winpthread, zlib, libjpeg), so every .exe imports system DLLs only and runs where it is copied.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(mingw_triple x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${mingw_triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${mingw_triple}-g++-posix)
set(CMAKE_RC_COMPILER ${mingw_triple}-windres)
# Binutils come without the thread-model suffix.
set(CMAKE_AR ${mingw_triple}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${mingw_triple}-ranlib CACHE FILEPATH "")
set(CMAKE_STRIP ${mingw_triple}-strip CACHE FILEPATH "")

# Headers and libraries come from the MinGW folder and from the folders of CMAKE_PREFIX_PATH
# (libraries built for this target elsewhere, such as libjpeg-turbo); programs from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${mingw_triple} ${CMAKE_PREFIX_PATH})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Debian's MinGW zlib also ships an import library for zlib1.dll; take the archive.
set(ZLIB_USE_STATIC_LIBS ON)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
