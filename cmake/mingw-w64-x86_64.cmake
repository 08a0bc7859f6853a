# Cross build for 64-bit Windows with MinGW-w64. The posix-thread compilers are
# used because GoogleTest needs std::mutex, which the win32-thread variant lacks.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(QEV_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER   ${QEV_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QEV_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER  ${QEV_MINGW_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${QEV_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# ctest runs the Windows test programs through Wine, with the tree's own prefix
# (<build>/wineprefix) and a virtual display when there is none; see wine-run.sh.
find_program(QEV_WINE wine REQUIRED)
# Run through sh, so that the script's mode bits do not matter.
set(CMAKE_CROSSCOMPILING_EMULATOR
    /bin/sh ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh ${CMAKE_BINARY_DIR}/wineprefix)
