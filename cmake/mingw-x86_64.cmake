# MinGW-w64 x86-64: the 64-bit Windows build, the one whose tests run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(QARN_MINGW_TRIPLE x86_64-w64-mingw32)
# The posix-thread compilers: GoogleTest needs std::mutex, which the win32-thread ones lack.
set(CMAKE_C_COMPILER ${QARN_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QARN_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${QARN_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${QARN_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh)
