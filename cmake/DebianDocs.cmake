# The files a Debian package must hold beside the program, in the install
# component "debian", which only the .deb takes (cmake --install leaves it out):
#
#   share/man/man1/dump_metrics12.1.gz          the manual page, gzip -9n
#   share/doc/dump-metrics12/changelog.gz       CHANGELOG.md as a Debian changelog, gzip -9n
#   share/doc/dump-metrics12/copyright          LICENSE in Debian's machine-readable form
#
# gzip's -n leaves out the file's name and time, so that every build gives the
# same bytes. Included from Packaging.cmake where it makes a .deb.

find_program(DUMP_METRICS12_GZIP gzip)
mark_as_advanced(DUMP_METRICS12_GZIP)
if(NOT DUMP_METRICS12_GZIP)
  message(WARNING "gzip not found: the .deb holds no manual page, changelog or copyright")
  return()
endif()

set(_dm12_debian_dir ${PROJECT_BINARY_DIR}/debian)
set(_dm12_doc_dir share/doc/dump-metrics12)  # Debian's package name, which allows no "_"

# The copyright file: the licence's holder and text from LICENSE, the text
# indented by one space and its empty lines as " .".
set(_dm12_license_file ${PROJECT_SOURCE_DIR}/LICENSE)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${_dm12_license_file})
file(STRINGS ${_dm12_license_file} _dm12_license_lines)
list(POP_FRONT _dm12_license_lines _dm12_license_title)
if(NOT _dm12_license_title STREQUAL "MIT License")
  message(FATAL_ERROR "${_dm12_license_file}: expected the MIT licence, whose title is "
                      "'MIT License', found '${_dm12_license_title}'")
endif()
set(_dm12_holder "")
set(_dm12_license_text "")
foreach(_dm12_line IN LISTS _dm12_license_lines)
  if(_dm12_line MATCHES "^Copyright \\(c\\) (.+)$")
    set(_dm12_holder "${CMAKE_MATCH_1}")
  elseif(_dm12_line STREQUAL "")
    if(NOT _dm12_license_text STREQUAL "")
      string(APPEND _dm12_license_text "\n .")
    endif()
  else()
    string(APPEND _dm12_license_text "\n ${_dm12_line}")
  endif()
endforeach()
if(_dm12_holder STREQUAL "")
  message(FATAL_ERROR "${_dm12_license_file}: no 'Copyright (c) <year> <holder>' line")
endif()
file(CONFIGURE OUTPUT ${_dm12_debian_dir}/copyright CONTENT
     "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: ${PROJECT_NAME}
Upstream-Contact: ${DUMP_METRICS12_CONTACT}

Files: *
Copyright: ${_dm12_holder}
License: Expat${_dm12_license_text}
")

# CHANGELOG.md as a Debian changelog, which is what a native package's
# changelog.gz must be.
add_custom_command(OUTPUT ${_dm12_debian_dir}/changelog
                   COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/changelog_to_debian.sh
                           ${PROJECT_SOURCE_DIR}/CHANGELOG.md dump-metrics12
                           ${DUMP_METRICS12_CONTACT} ${_dm12_debian_dir}/changelog
                   DEPENDS ${PROJECT_SOURCE_DIR}/CHANGELOG.md
                           ${CMAKE_CURRENT_LIST_DIR}/changelog_to_debian.sh
                   COMMENT "Writing CHANGELOG.md as a Debian changelog" VERBATIM)

set(_dm12_gzipped)
foreach(_dm12_source ${DUMP_METRICS12_MAN_PAGE} ${_dm12_debian_dir}/changelog)
  cmake_path(GET _dm12_source FILENAME _dm12_name)
  set(_dm12_output ${_dm12_debian_dir}/${_dm12_name}.gz)
  add_custom_command(OUTPUT ${_dm12_output}
                     COMMAND ${CMAKE_COMMAND} -DGZIP=${DUMP_METRICS12_GZIP} -DINPUT=${_dm12_source}
                             -DOUTPUT=${_dm12_output} -P ${CMAKE_CURRENT_LIST_DIR}/gzip_file.cmake
                     DEPENDS ${_dm12_source} ${CMAKE_CURRENT_LIST_DIR}/gzip_file.cmake
                     COMMENT "Compressing ${_dm12_name} for the .deb" VERBATIM)
  list(APPEND _dm12_gzipped ${_dm12_output})
endforeach()
add_custom_target(debian_docs ALL DEPENDS ${_dm12_gzipped})

install(FILES ${_dm12_debian_dir}/dump_metrics12.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1
        COMPONENT debian EXCLUDE_FROM_ALL)
install(FILES ${_dm12_debian_dir}/copyright ${_dm12_debian_dir}/changelog.gz
        DESTINATION ${_dm12_doc_dir} COMPONENT debian EXCLUDE_FROM_ALL)
