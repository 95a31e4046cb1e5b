# Second compiler for the same target: Debian's clang, on the MinGW-w64
# headers and libraries of the GCC cross compiler (posix thread model), linked
# statically by lld like the GCC build. Code only one of the two compilers
# accepts does not get in.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TALVOR_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER clang)
set(CMAKE_C_COMPILER_TARGET ${TALVOR_TRIPLE})
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_CXX_COMPILER_TARGET ${TALVOR_TRIPLE})
# BLAKE3's assembly, assembled for the same target.
set(CMAKE_ASM_COMPILER clang)
set(CMAKE_ASM_COMPILER_TARGET ${TALVOR_TRIPLE})
set(CMAKE_RC_COMPILER ${TALVOR_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TALVOR_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# clang does not take Debian's GCC folder name ("12-posix") for a version,
# so it finds neither libstdc++'s headers nor libgcc by itself: ask GCC.
execute_process(COMMAND ${TALVOR_TRIPLE}-g++-posix -print-libgcc-file-name
                OUTPUT_VARIABLE talvor_libgcc OUTPUT_STRIP_TRAILING_WHITESPACE)
get_filename_component(talvor_gcc_dir "${talvor_libgcc}" DIRECTORY)
set(CMAKE_CXX_FLAGS_INIT
    "-stdlib++-isystem ${talvor_gcc_dir}/include/c++ -stdlib++-isystem ${talvor_gcc_dir}/include/c++/${TALVOR_TRIPLE}")
# -pthread: libgcc's thread-local emulation needs winpthreads, which GCC's
# posix thread model links by itself.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-fuse-ld=lld -static -pthread -L${talvor_gcc_dir}")
