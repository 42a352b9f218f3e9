# What the two mingw-w64 toolchain files share: the compilers of
# SINT_MINGW_PREFIX (posix thread model, so that std::thread and std::mutex
# work), and the C and C++ runtimes and winpthread linked statically, so that
# the program folder needs no extra DLLs.
set(CMAKE_SYSTEM_NAME Windows)

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
