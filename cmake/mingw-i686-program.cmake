# The 32-bit program that ships, built apart from its tests with the win32
# thread model: it needs no threads of the C++ library, and so carries none of
# the pthread emulation that the posix model links into every program.
set(KSV_MINGW_PROCESSOR i686)
set(KSV_MINGW_THREADS win32)
set(KSV_WINE_LOADER /usr/lib/wine/wine)
set(KSV_WINEARCH win32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
# Nor do its function-local statics need a lock: only the window's thread
# runs the code that has them (the other thread only shows the last words'
# box). Since gcc 13 the lock brings condition variables along.
string(APPEND CMAKE_CXX_FLAGS_INIT " -fno-threadsafe-statics")
# Optimised for size above all (-Oz: gcc 12 and later). A cache entry, as
# the compiler's own defaults would add -Os after an initial value.
set(CMAKE_CXX_FLAGS_MINSIZEREL "-Oz -DNDEBUG" CACHE STRING "Flags for MinSizeRel builds")
