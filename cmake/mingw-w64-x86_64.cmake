# Cross-compiling for Windows x86-64 with the mingw-w64 compilers of the
# POSIX threading model (std::thread and std::mutex need it), and running the
# results under Wine.
#   cmake -S . -B build-win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QELUTILS_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QELUTILS_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QELUTILS_MINGW_TRIPLE}-g++-posix)

set(CMAKE_FIND_ROOT_PATH /usr/${QELUTILS_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Programs are run through Wine (tests, and test discovery), in a prefix of
# the build directory's own.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh ${CMAKE_BINARY_DIR}/wineprefix)
