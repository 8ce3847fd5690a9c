# The Windows tests' build: the same sources for 64-bit Windows, run under
# 64-bit Wine. 32-bit Wine runs only under processor emulation on machines
# without native 32-bit support, far too slowly for a test suite.
set(KSV_MINGW_PROCESSOR x86_64)
set(KSV_WINE /usr/lib/wine/wine64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
