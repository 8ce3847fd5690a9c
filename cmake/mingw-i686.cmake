# The Windows program: 32-bit, as it ships. Its tests run under 32-bit Wine
# in a 32-bit prefix.
set(KSV_MINGW_PROCESSOR i686)
set(KSV_WINE_LOADER /usr/lib/wine/wine)
set(KSV_WINEARCH win32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
# The programs themselves (ksv.exe and its test twin) come from a build of
# their own with the win32 thread model (src/CMakeLists.txt).
set(KSV_PROGRAM_TOOLCHAIN ${CMAKE_CURRENT_LIST_DIR}/mingw-i686-program.cmake)
