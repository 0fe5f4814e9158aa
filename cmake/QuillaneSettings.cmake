# One settings target that every target of the project links, so the
# language level and warnings are the same everywhere.
add_library(quillane_settings INTERFACE)
target_compile_features(quillane_settings INTERFACE cxx_std_20)
set(CMAKE_CXX_EXTENSIONS OFF)
target_compile_options(quillane_settings INTERFACE -Wall -Wextra -pedantic)

# The test command turns this on, so a new warning stops the build there
# instead of scrolling past.
option(QUILLANE_WARNINGS_AS_ERRORS "Treat compiler warnings as errors" OFF)
if(QUILLANE_WARNINGS_AS_ERRORS)
  target_compile_options(quillane_settings INTERFACE -Werror)
endif()

# For clangd, clang-tidy and other tools that read the compile commands.
set(CMAKE_EXPORT_COMPILE_COMMANDS ON)

# -DQUILLANE_SANITIZE=thread, =address, =undefined or =address,undefined
# builds every target with that sanitizer; give each its own build folder.
set(QUILLANE_SANITIZE "" CACHE STRING
  "Build with a sanitizer: thread, address, undefined, address,undefined or empty")
set_property(CACHE QUILLANE_SANITIZE PROPERTY STRINGS "" thread address undefined "address,undefined")
if(QUILLANE_SANITIZE)
  if(NOT QUILLANE_SANITIZE MATCHES "^(thread|address|undefined|address,undefined)$")
    message(FATAL_ERROR
      "QUILLANE_SANITIZE is \"${QUILLANE_SANITIZE}\"; it can be thread, address, undefined or address,undefined.")
  endif()
  target_compile_options(quillane_settings INTERFACE -fsanitize=${QUILLANE_SANITIZE} -fno-omit-frame-pointer)
  target_link_options(quillane_settings INTERFACE -fsanitize=${QUILLANE_SANITIZE})
  if(QUILLANE_SANITIZE MATCHES "undefined")
    # Undefined behaviour only prints a line and goes on unless told to stop;
    # stopping makes the test that hit it fail.
    target_compile_options(quillane_settings INTERFACE -fno-sanitize-recover=undefined)
  endif()
endif()

# Extra settings for targets that use Qt.
add_library(quillane_qt_settings INTERFACE)
target_link_libraries(quillane_qt_settings INTERFACE quillane_settings)
target_compile_definitions(quillane_qt_settings INTERFACE
  QT_NO_CAST_FROM_ASCII
  QT_NO_CONTEXTLESS_CONNECT
  QT_NO_KEYWORDS)

if(NOT CMAKE_BUILD_TYPE AND NOT CMAKE_CONFIGURATION_TYPES)
  set(CMAKE_BUILD_TYPE RelWithDebInfo CACHE STRING "Build type" FORCE)
endif()
