# Cross build for 64-bit Windows with Debian's mingw-w64 (the POSIX-threads variant, which has
# std::thread). The test programs run under Wine: CTest prefixes them with the emulator.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(ZELVO_MINGW x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${ZELVO_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZELVO_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${ZELVO_MINGW}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ZELVO_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Self-contained executables: Wine then needs no MinGW runtime DLLs on its path.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

find_program(ZELVO_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(ZELVO_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${ZELVO_WINE})
endif()
