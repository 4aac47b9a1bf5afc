# What both MinGW-w64 toolchains share; each sets QARN_MINGW_TRIPLE and CMAKE_SYSTEM_PROCESSOR
# first. The posix-thread compilers are used because GoogleTest needs std::mutex, which the
# win32-thread ones lack.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${QARN_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QARN_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${QARN_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${QARN_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
