# The Windows program: 32-bit, as it ships.
set(KSV_MINGW_PROCESSOR i686)
set(KSV_WINE wine)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
