# MinGW-w64 i686: the shipped 32-bit build. Its programs run in a 32-bit Wine prefix where
# the machine runs 32-bit programs and has wine32:i386 (scripts/test.sh finds out).
set(CMAKE_SYSTEM_PROCESSOR x86)
set(QARN_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh --win32)
