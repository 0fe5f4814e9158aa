# `format` rewrites the project's C++ files with .clang-format; `format-check`
# fails, naming each file and line, where a file differs from that. Other
# versions of clang-format lay out some constructs differently, so only the
# version scripts/setup.sh installs is used.
set(QUILLANE_CLANG_FORMAT_VERSION 14)
find_program(QUILLANE_CLANG_FORMAT NAMES clang-format-${QUILLANE_CLANG_FORMAT_VERSION}
  DOC "clang-format ${QUILLANE_CLANG_FORMAT_VERSION}, the version the sources are laid out with")

if(QUILLANE_CLANG_FORMAT)
  execute_process(COMMAND "${QUILLANE_CLANG_FORMAT}" --version OUTPUT_VARIABLE clang_format_version
    OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT clang_format_version MATCHES "version ${QUILLANE_CLANG_FORMAT_VERSION}\\.")
    message(WARNING "${QUILLANE_CLANG_FORMAT} is not version ${QUILLANE_CLANG_FORMAT_VERSION}: ${clang_format_version}")
    set(QUILLANE_CLANG_FORMAT "")
  endif()
endif()

if(QUILLANE_CLANG_FORMAT)
  file(GLOB_RECURSE quillane_format_files CONFIGURE_DEPENDS
    ${PROJECT_SOURCE_DIR}/src/*.cpp ${PROJECT_SOURCE_DIR}/src/*.h
    ${PROJECT_SOURCE_DIR}/tests/*.cpp ${PROJECT_SOURCE_DIR}/tests/*.h
    ${PROJECT_SOURCE_DIR}/bench/*.cpp ${PROJECT_SOURCE_DIR}/bench/*.h
    ${PROJECT_SOURCE_DIR}/fuzz/*.cpp ${PROJECT_SOURCE_DIR}/fuzz/*.h)
  # The browser tests' packages are not ours.
  list(FILTER quillane_format_files EXCLUDE REGEX "/tests/browser/")
  add_custom_target(format
    COMMAND "${QUILLANE_CLANG_FORMAT}" --style=file -i ${quillane_format_files}
    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
    COMMENT "Formatting the sources with clang-format ${QUILLANE_CLANG_FORMAT_VERSION}"
    VERBATIM)
  add_custom_target(format-check
    COMMAND "${QUILLANE_CLANG_FORMAT}" --style=file --dry-run --Werror ${quillane_format_files}
    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
    COMMENT "Checking the sources' layout with clang-format ${QUILLANE_CLANG_FORMAT_VERSION}"
    VERBATIM)
else()
  # Without it the targets exist and say what is missing, so a build of
  # everything else still works.
  foreach(target format format-check)
    add_custom_target(${target}
      COMMAND ${CMAKE_COMMAND} -E echo
        "clang-format-${QUILLANE_CLANG_FORMAT_VERSION} is not installed; scripts/setup.sh installs it."
      COMMAND ${CMAKE_COMMAND} -E false
      VERBATIM)
  endforeach()
endif()
