# The sample project Beispielshop ships its catalog in data/Projekte/; its
# pictures are drawn at build time by tools/art/make_sample_pictures.sh into
# the build tree's data folder, which seeds a program folder together with
# data/ (QUILLANE_GENERATED_DATA_DIR) and is installed beside it.
set(QUILLANE_GENERATED_DATA_DIR "${PROJECT_BINARY_DIR}/data/")
set(_sample_pictures_dir "${QUILLANE_GENERATED_DATA_DIR}Projekte/Beispielshop/bilder")
set(_sample_script "${PROJECT_SOURCE_DIR}/tools/art/make_sample_pictures.sh")
set(_sample_list "${PROJECT_SOURCE_DIR}/tools/art/sample_pictures.txt")

# The list names the outputs; configure again when it changes.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${_sample_list}")
file(STRINGS "${_sample_list}" _sample_rows ENCODING UTF-8 REGEX "^[^#]")
set(_sample_pictures "")
foreach(_row IN LISTS _sample_rows)
  string(REGEX MATCH "^[^|]+" _file "${_row}")
  string(STRIP "${_file}" _file)
  if(_file)
    list(APPEND _sample_pictures "${_sample_pictures_dir}/${_file}")
  endif()
endforeach()

find_program(QUILLANE_IMAGEMAGICK NAMES magick convert
  DOC "ImageMagick, which draws the sample project's pictures")
if(QUILLANE_IMAGEMAGICK)
  add_custom_command(
    OUTPUT ${_sample_pictures}
    COMMAND sh "${_sample_script}" "${_sample_pictures_dir}" "${_sample_list}" "${QUILLANE_IMAGEMAGICK}"
    DEPENDS "${_sample_script}" "${_sample_list}"
    COMMENT "Drawing the pictures of the sample project"
    VERBATIM)
  add_custom_target(sample_pictures DEPENDS ${_sample_pictures})
  install(DIRECTORY "${QUILLANE_GENERATED_DATA_DIR}" DESTINATION share/quillane/data)
else()
  message(WARNING "ImageMagick (magick or convert) was not found: the sample project "
                  "Beispielshop is built without its pictures. scripts/setup.sh installs it.")
  add_custom_target(sample_pictures)
endif()
