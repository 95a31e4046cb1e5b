# Cross toolchain: MinGW-w64 GCC, posix thread model, everything linked statically
# so the executables need no MinGW DLLs next to them.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TALVOR_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TALVOR_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TALVOR_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${TALVOR_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TALVOR_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
