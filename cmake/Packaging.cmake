# Installing and packing dump_metrics12.
#
#   cmake --install <build> --prefix <dir>   bin/dump_metrics12 and
#                                            share/man/man1/dump_metrics12.1
#   cpack -G DEB      (in <build>)           a .deb of the program, its manual
#                                            page gzipped, the copyright and the
#                                            changelog, as Debian's policy asks
#   cpack -G ZIP      (in <build>)           a .zip holding bin/dump_metrics12.exe
#                                            (Windows builds; their default)
#
# Included from the top-level CMakeLists.txt after the program's target exists.

include(GNUInstallDirs)

set(DUMP_METRICS12_MAN_PAGE ${PROJECT_SOURCE_DIR}/man/dump_metrics12.1)

install(TARGETS dump_metrics12 RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT program)
if(NOT WIN32)
  install(FILES ${DUMP_METRICS12_MAN_PAGE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1
          COMPONENT manual)
endif()

# The manual page names the version in its title line; keep the two together.
file(STRINGS ${DUMP_METRICS12_MAN_PAGE} _dm12_title REGEX "^\\.TH ")
if(NOT _dm12_title MATCHES "\"dump_metrics12 ${PROJECT_VERSION}\"")
  message(WARNING "man/dump_metrics12.1 does not name version ${PROJECT_VERSION} in its .TH line: "
                  "${_dm12_title}")
endif()
unset(_dm12_title)

# What every package says about itself.
set(CPACK_PACKAGE_NAME ${PROJECT_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "dump_metrics12 maintainers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
# Lines kept short: the .deb's extended description keeps them as they are.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
       "dump_metrics12 walks every font family the platform's font service\n"
       "reports, realizes each family's representative font and writes the three\n"
       "ABC widths and the advance of codes 32 to 127 to dump_metrics12.csv in\n"
       "the current directory. On Linux the font service is its own\n"
       "implementation of the GDI calls over fontconfig and FreeType.")
# The maintainer: who builds the package says who they are, as Debian's own
# tools read it (DEBFULLNAME and DEBEMAIL), or with -DDUMP_METRICS12_CONTACT;
# without either, the address the project's commits carry.
if(DEFINED ENV{DEBEMAIL} AND NOT "$ENV{DEBEMAIL}" STREQUAL "")
  if(DEFINED ENV{DEBFULLNAME} AND NOT "$ENV{DEBFULLNAME}" STREQUAL "")
    set(_dm12_contact "$ENV{DEBFULLNAME} <$ENV{DEBEMAIL}>")
  else()
    set(_dm12_contact "$ENV{DEBEMAIL}")
  endif()
else()
  set(_dm12_contact "dump_metrics12 maintainers <maintainers@users.noreply.c-seed-3bacaa75.example>")
  message(STATUS "Packages name the project's address as maintainer; set DEBFULLNAME and DEBEMAIL, "
                 "or -DDUMP_METRICS12_CONTACT, to name yourself")
endif()
set(DUMP_METRICS12_CONTACT "${_dm12_contact}" CACHE STRING "Maintainer named in the packages")
unset(_dm12_contact)
set(CPACK_PACKAGE_CONTACT "${DUMP_METRICS12_CONTACT}")
set(CPACK_PACKAGE_CHECKSUM SHA256)
set(CPACK_STRIP_FILES ON)

if(WIN32)
  # dump_metrics12-0.1.0-win64.zip holding dump_metrics12-0.1.0-win64/bin/dump_metrics12.exe
  set(CPACK_GENERATOR ZIP)
else()
  set(CPACK_GENERATOR DEB)
  # One package of the program and the files Debian's layout wants (the page
  # gzipped in place of the plain one): see DebianDocs.cmake.
  set(CPACK_DEB_COMPONENT_INSTALL ON)
  set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
  set(CPACK_COMPONENTS_ALL program debian)
  include(${CMAKE_CURRENT_LIST_DIR}/DebianDocs.cmake)
  # Debian package names allow no underscore.
  set(CPACK_DEBIAN_PACKAGE_NAME dump-metrics12)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # dump-metrics12_0.1.0_amd64.deb
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${DUMP_METRICS12_CONTACT}")
  # The dependencies: read off the program by dpkg-shlibdeps (package dpkg-dev) where it is
  # installed, else the libraries the program links, by hand.
  find_program(DUMP_METRICS12_DPKG_SHLIBDEPS dpkg-shlibdeps)
  mark_as_advanced(DUMP_METRICS12_DPKG_SHLIBDEPS)
  if(DUMP_METRICS12_DPKG_SHLIBDEPS)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  else()
    message(STATUS "dpkg-shlibdeps not found (package dpkg-dev): "
                   "the .deb lists its dependencies by hand")
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libgcc-s1, libstdc++6, libfontconfig1, libfreetype6")
  endif()
endif()

include(CPack)
