# The 32-bit program that ships, built apart from its tests with the win32
# thread model: it needs no threads of the C++ library, and so carries none of
# the pthread emulation that the posix model links into every program.
set(KSV_MINGW_PROCESSOR i686)
set(KSV_MINGW_THREADS win32)
set(KSV_WINE_LOADER /usr/lib/wine/wine)
set(KSV_WINEARCH win32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
