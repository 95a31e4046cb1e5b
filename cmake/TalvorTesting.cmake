# GoogleTest from Debian's source package, built with whatever compiler this
# build uses (the MinGW cross compiler or the host compiler).
set(TALVOR_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources")
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${TALVOR_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)

if(CMAKE_CROSSCOMPILING)
  # CTest starts every Windows test binary through Wine, with the prefix kept
  # inside this build folder, or inside another one whose session a second
  # build of the same program shares.
  set(TALVOR_WINE_BUILD_DIR ${CMAKE_BINARY_DIR} CACHE PATH "build folder whose Wine prefix the tests use")
  set(CMAKE_CROSSCOMPILING_EMULATOR
      ${CMAKE_SOURCE_DIR}/scripts/wine-exec.sh ${TALVOR_WINE_BUILD_DIR})
endif()

# The tests labelled "smoke", which a second build of the program runs
# instead of the whole suite: `cmake --build DIR --target talvor_smoke`,
# then `ctest --test-dir DIR -L smoke`.
add_custom_target(talvor_smoke)

# talvor_add_test(NAME name SOURCES ... LIBS ... [LABELS ...] [TIMEOUT s])
# One executable per group of related cases, registered as one CTest test.
function(talvor_add_test)
  cmake_parse_arguments(T "" "NAME;TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
  # Tests look inside the folders they test, private headers included.
  target_include_directories(${T_NAME} PRIVATE ${PROJECT_SOURCE_DIR})
  add_test(NAME ${T_NAME} COMMAND ${T_NAME} --gtest_brief=1)
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${T_NAME} PROPERTIES TIMEOUT ${T_TIMEOUT}
                       LABELS "${T_LABELS}")
  if("smoke" IN_LIST T_LABELS)
    add_dependencies(talvor_smoke ${T_NAME})
  endif()
endfunction()

# talvor_add_host_tree(NAME setup_test SCRIPT script.sh FOLDER dir TEST test VARIABLE env)
# Under Wine: a setup test runs `sh SCRIPT FOLDER` on the host before TEST,
# which finds FOLDER as a drive path (Wine's Z: is the host's root) in the
# environment variable VARIABLE. For trees a Windows test cannot make itself.
function(talvor_add_host_tree)
  cmake_parse_arguments(H "" "NAME;SCRIPT;FOLDER;TEST;VARIABLE" "" ${ARGN})
  string(REPLACE "/" "\\" folder_windows "Z:${H_FOLDER}")
  add_test(NAME ${H_NAME} COMMAND sh ${H_SCRIPT} ${H_FOLDER})
  set_tests_properties(${H_NAME} PROPERTIES FIXTURES_SETUP ${H_NAME})
  set_property(TEST ${H_TEST} APPEND PROPERTY FIXTURES_REQUIRED ${H_NAME})
  set_property(TEST ${H_TEST} APPEND PROPERTY ENVIRONMENT "${H_VARIABLE}=${folder_windows}")
endfunction()

# talvor_use_faults(TEST test)
# The test may inject faults into the programs it starts
# (tests/support/faults.h). The injector is preloaded into the whole test
# run (Wine starts every process with its parent's host environment), where
# it stays idle but in programs started while the test's plan file exists.
# Without the injector (not built under Wine) nothing is set and those cases
# skip.
function(talvor_use_faults)
  cmake_parse_arguments(F "" "TEST" "" ${ARGN})
  if(NOT TALVOR_FAULT_LIBRARY)
    return()
  endif()
  add_dependencies(${F_TEST} talvor_faults)
  set_property(TEST ${F_TEST} APPEND PROPERTY ENVIRONMENT "LD_PRELOAD=${TALVOR_FAULT_LIBRARY}"
               "TALVOR_FAULT_PLAN=${CMAKE_CURRENT_BINARY_DIR}/${F_TEST}.fault-plan")
endfunction()
