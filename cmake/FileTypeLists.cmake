# The category extension lists live in one file, app/resources/FileType.json:
# the application reads it as it is, harbex-scan gets a table made from it.
set(HARBEX_FILE_TYPE_JSON ${PROJECT_SOURCE_DIR}/app/resources/FileType.json)

# Configures `template` into `output` with @HARBEX_FILE_TYPE_ENTRIES@ set to
# one `{bit, "ext;ext;..."},` line per category of the list.
function(harbex_file_type_lists_table template output)
  file(READ ${HARBEX_FILE_TYPE_JSON} json)
  set(entries "")
  foreach(category 1 2 4 8 16 32)
    string(JSON count ERROR_VARIABLE missing LENGTH "${json}" ${category})
    if(missing)
      continue()
    endif()
    set(extensions "")
    math(EXPR last "${count} - 1")
    foreach(i RANGE ${last})
      string(JSON extension GET "${json}" ${category} ${i})
      list(APPEND extensions "${extension}")
    endforeach()
    list(JOIN extensions ";" joined)
    string(APPEND entries "    {${category}, \"${joined}\"},\n")
  endforeach()
  set(HARBEX_FILE_TYPE_ENTRIES "${entries}")
  configure_file(${template} ${output} @ONLY)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${HARBEX_FILE_TYPE_JSON})
endfunction()
