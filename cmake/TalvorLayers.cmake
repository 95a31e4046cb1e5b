# The folders depend on each other one way only, in layers: core at the
# bottom; window, hash, fileio and checklist on it; jobs on those; app, the
# shell, on top. A folder links only folders of lower layers (which ones,
# docs/ARCHITECTURE.md lists: the file digest in hash also reads through
# fileio, the one link inside a layer). The compiler
# enforces it: a folder publishes its interface headers, and only those, as
# "<folder>/<header>" to the targets that link it, through forwarding headers
# in the build tree. An include of a folder a target does not link fails to
# compile, and headers a folder keeps to itself (included by bare name from
# beside them) stay out of reach.
#
# talvor_publish_headers(TARGET header...)
function(talvor_publish_headers target)
  get_filename_component(folder ${CMAKE_CURRENT_SOURCE_DIR} NAME)
  # One root per target: a folder with two targets shows each one's headers
  # only to the targets that link it.
  set(root ${PROJECT_BINARY_DIR}/interfaces/${target})
  foreach(header ${ARGN})
    file(CONFIGURE OUTPUT ${root}/${folder}/${header}
         CONTENT "#include \"${CMAKE_CURRENT_SOURCE_DIR}/${header}\"\n")
  endforeach()
  target_include_directories(${target} PUBLIC ${root})
endfunction()
