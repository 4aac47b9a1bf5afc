# MinGW-w64 x86-64: the 64-bit Windows build, the one whose tests run under Wine.
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(QARN_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh)
