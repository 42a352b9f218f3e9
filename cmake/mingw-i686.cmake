# Cross-build for 32-bit Windows with mingw-w64 (posix thread model, so that
# std::thread and std::mutex work), linking the C and C++ runtimes and
# winpthread statically: the program folder needs no extra DLLs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(SINT_MINGW_PREFIX i686-w64-mingw32)
set(CMAKE_C_COMPILER ${SINT_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${SINT_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${SINT_MINGW_PREFIX}-windres)
set(SINT_WIDL ${SINT_MINGW_PREFIX}-widl)

set(CMAKE_FIND_ROOT_PATH /usr/${SINT_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
