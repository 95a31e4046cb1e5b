# Libraries made for a job this program does, built from Debian's packages
# as installed (scripts/setup.sh installs them); nothing of theirs lives in
# this repository.
#
#   BLAKE3's own C code with its x86-64 assembly: librust-blake3-dev, under
#   /usr/share/cargo/registry/blake3-<version>/c/
#   xxHash, header only: libxxhash-dev, /usr/include/xxhash.h
#
# Elsewhere (building on Windows itself) TALVOR_BLAKE3_C_DIR names the c/
# folder of a BLAKE3 release and TALVOR_XXHASH_HEADER an xxHash release's
# xxhash.h.
#
# The MinGW build must not see the host's /usr/include, so each library is
# reached through a folder in the build tree holding only its own headers.

enable_language(ASM)

if(NOT TALVOR_BLAKE3_C_DIR)
  file(GLOB talvor_blake3_candidates LIST_DIRECTORIES true
       /usr/share/cargo/registry/blake3-*/c)
  list(SORT talvor_blake3_candidates COMPARE NATURAL ORDER DESCENDING)
  list(APPEND talvor_blake3_candidates TALVOR_BLAKE3_C_DIR-NOTFOUND)
  list(GET talvor_blake3_candidates 0 talvor_blake3_newest)
  set(TALVOR_BLAKE3_C_DIR ${talvor_blake3_newest} CACHE PATH
      "BLAKE3's C sources (Debian's librust-blake3-dev)" FORCE)
endif()
if(NOT EXISTS ${TALVOR_BLAKE3_C_DIR}/blake3_impl.h)
  message(FATAL_ERROR "BLAKE3's C sources not found: run scripts/setup.sh "
                      "(it installs librust-blake3-dev) or set TALVOR_BLAKE3_C_DIR")
endif()

find_file(TALVOR_XXHASH_HEADER xxhash.h PATHS /usr/include NO_DEFAULT_PATH
          NO_CMAKE_FIND_ROOT_PATH)
if(NOT TALVOR_XXHASH_HEADER)
  message(FATAL_ERROR "xxhash.h not found: run scripts/setup.sh (it installs "
                      "libxxhash-dev) or set TALVOR_XXHASH_HEADER")
endif()

set(TALVOR_PACKAGED_INCLUDE ${PROJECT_BINARY_DIR}/packaged)
file(CONFIGURE OUTPUT ${TALVOR_PACKAGED_INCLUDE}/blake3.h
     CONTENT "#include \"${TALVOR_BLAKE3_C_DIR}/blake3.h\"\n")
file(CONFIGURE OUTPUT ${TALVOR_PACKAGED_INCLUDE}/xxhash.h
     CONTENT "#include \"${TALVOR_XXHASH_HEADER}\"\n")

# BLAKE3's per-path code: the assembly where the compiler's assembler takes
# it (the MinGW build the Windows-GNU files, the host the Unix ones), else
# the intrinsics files, each compiled for its own instructions only.
if(MSVC)
  set(talvor_blake3_paths
      ${TALVOR_BLAKE3_C_DIR}/blake3_sse2.c ${TALVOR_BLAKE3_C_DIR}/blake3_sse41.c
      ${TALVOR_BLAKE3_C_DIR}/blake3_avx2.c ${TALVOR_BLAKE3_C_DIR}/blake3_avx512.c)
  set_source_files_properties(${TALVOR_BLAKE3_C_DIR}/blake3_avx2.c PROPERTIES
                              COMPILE_OPTIONS "/arch:AVX2")
  set_source_files_properties(${TALVOR_BLAKE3_C_DIR}/blake3_avx512.c PROPERTIES
                              COMPILE_OPTIONS "/arch:AVX512")
else()
  if(WIN32)
    set(talvor_blake3_abi windows_gnu)
  else()
    set(talvor_blake3_abi unix)
  endif()
  set(talvor_blake3_paths)
  foreach(path sse2 sse41 avx2 avx512)
    list(APPEND talvor_blake3_paths
         ${TALVOR_BLAKE3_C_DIR}/blake3_${path}_x86-64_${talvor_blake3_abi}.S)
  endforeach()
endif()
set(TALVOR_BLAKE3_SOURCES ${TALVOR_BLAKE3_C_DIR}/blake3.c
    ${TALVOR_BLAKE3_C_DIR}/blake3_portable.c ${talvor_blake3_paths})

# talvor_add_blake3(TARGET): BLAKE3's code in TARGET without the library's
# own dispatch, which TARGET provides. Its users see blake3.h (the hasher's
# type); the library's internal header stays TARGET's own. The library's
# warnings are its own business.
function(talvor_add_blake3 target)
  target_sources(${target} PRIVATE ${TALVOR_BLAKE3_SOURCES})
  if(NOT MSVC)
    set_source_files_properties(${TALVOR_BLAKE3_C_DIR}/blake3.c
                                ${TALVOR_BLAKE3_C_DIR}/blake3_portable.c
                                PROPERTIES COMPILE_OPTIONS -w)
  endif()
  target_include_directories(${target} SYSTEM PUBLIC ${TALVOR_PACKAGED_INCLUDE})
  target_include_directories(${target} SYSTEM PRIVATE ${TALVOR_BLAKE3_C_DIR})
endfunction()

# The host's tests and benchmarks hold our BLAKE3 against the library as it
# ships: its own dispatch included, as a shared library whose entry points
# are renamed reference_blake3_* (tests/hash/blake3_reference.h) and which
# exports nothing else, so none of its functions stand in for ours.
if(NOT WIN32)
  set(talvor_blake3_entry_points blake3_version blake3_hasher_init blake3_hasher_init_keyed
      blake3_hasher_init_derive_key blake3_hasher_init_derive_key_raw blake3_hasher_update
      blake3_hasher_finalize blake3_hasher_finalize_seek blake3_hasher_reset)
  add_library(talvor_blake3_reference SHARED EXCLUDE_FROM_ALL ${TALVOR_BLAKE3_SOURCES}
              ${TALVOR_BLAKE3_C_DIR}/blake3_dispatch.c)
  foreach(name ${talvor_blake3_entry_points})
    target_compile_definitions(talvor_blake3_reference PRIVATE ${name}=reference_${name})
  endforeach()
  target_compile_options(talvor_blake3_reference PRIVATE -w)
  set(talvor_blake3_exports ${PROJECT_BINARY_DIR}/blake3_reference.map)
  file(WRITE ${talvor_blake3_exports} "{ global: reference_blake3_*; local: *; };\n")
  target_link_options(talvor_blake3_reference PRIVATE
                      -Wl,--version-script=${talvor_blake3_exports} -Wl,-Bsymbolic)
  target_include_directories(talvor_blake3_reference SYSTEM INTERFACE ${TALVOR_PACKAGED_INCLUDE})

  # xxHash as Debian builds it (libxxhash0), through its own header.
  find_library(TALVOR_XXHASH_LIBRARY xxhash)
endif()
