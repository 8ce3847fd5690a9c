# Cross build for Windows with mingw-w64; included by the toolchain files,
# which set KSV_MINGW_PROCESSOR (i686 or x86_64), the Wine loader that runs its
# programs (KSV_WINE_LOADER, named explicitly: /usr/bin/wine picks one by
# what is installed), the architecture of its Wine prefix (KSV_WINEARCH) and
# optionally the compiler's thread model (KSV_MINGW_THREADS).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${KSV_MINGW_PROCESSOR})
set(ksv_triple ${KSV_MINGW_PROCESSOR}-w64-mingw32)
# The posix thread model by default: GoogleTest needs std::mutex, which the
# win32 model lacks.
if(NOT KSV_MINGW_THREADS)
    set(KSV_MINGW_THREADS posix)
endif()
set(CMAKE_C_COMPILER ${ksv_triple}-gcc-${KSV_MINGW_THREADS})
set(CMAKE_CXX_COMPILER ${ksv_triple}-g++-${KSV_MINGW_THREADS})
set(CMAKE_RC_COMPILER ${ksv_triple}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${ksv_triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR ${KSV_WINE_LOADER})

# Small, self-contained executables: unused code is dropped at link time.
set(CMAKE_C_FLAGS_INIT "-ffunction-sections -fdata-sections")
set(CMAKE_CXX_FLAGS_INIT "-ffunction-sections -fdata-sections")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-Wl,--gc-sections")
