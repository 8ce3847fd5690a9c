# The same sources for 64-bit Windows, run under 64-bit Wine: the fallback for
# machines that run 32-bit programs only under processor emulation, where
# 32-bit Wine is far too slow for a test suite.
set(KSV_MINGW_PROCESSOR x86_64)
set(KSV_WINE_LOADER /usr/lib/wine/wine64)
set(KSV_WINEARCH win64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
