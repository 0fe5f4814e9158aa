# Compiles every file under a folder into a C++ source of named byte arrays.
# The name of a resource is its file name without extension; names are
# looked up without regard to case, so two files may not share a name.
function(quillane_embed_resources target folder)
  file(GLOB_RECURSE _files CONFIGURE_DEPENDS "${folder}/*")
  list(SORT _files)
  set(_out "${CMAKE_CURRENT_BINARY_DIR}/EmbeddedResources.cpp")
  add_custom_command(
    OUTPUT "${_out}"
    COMMAND ${CMAKE_COMMAND} "-DOUT=${_out}" "-DFILES=${_files}"
            -P "${PROJECT_SOURCE_DIR}/cmake/WriteResources.cmake"
    DEPENDS ${_files} "${PROJECT_SOURCE_DIR}/cmake/WriteResources.cmake"
    COMMENT "Embedding resources"
    VERBATIM)
  target_sources(${target} PRIVATE "${_out}")
endfunction()
