# MinGW-w64 i686: the shipped 32-bit build. Built here, never run (no 32-bit Wine on this machine).
set(CMAKE_SYSTEM_PROCESSOR x86)
set(QARN_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
