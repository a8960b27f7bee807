# make package: two Debian packages, the programs (nimbrel) and the libraries with their
# headers (libnimbrel-dev), from the release build's install rules.
set(NIMBREL_MAINTAINER "Nimbrel developers <dev@nimbrel.org>")
set(CPACK_PACKAGE_NAME nimbrel)
set(CPACK_PACKAGE_VENDOR "The Nimbrel developers")
set(CPACK_PACKAGE_CONTACT ${NIMBREL_MAINTAINER})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
# The Debian revision: 1 for the first package of each release, counted up when only the
# packaging changes. Its entry must head cmake/debian/changelog.
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/package)
set(CPACK_GENERATOR DEB)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL runtime development)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${NIMBREL_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME nimbrel)
set(CPACK_DEBIAN_RUNTIME_DESCRIPTION
    "compose outlined Japanese caption pictures
Nimbrel composes caption pictures of 310 x 180 pixels: a title line, a second
line and a description, in bold outlined Japanese text over a light grey with
framed bars around the heading, saved as an 8-bit palette PNG whose grey is
transparent. nimbrel is the window; nimbrel-cli composes captions in batches
and converts images between PNG and BMP.")
# The libraries come from the binaries; the face the text is drawn in, Qt's platform plugins
# and Qt's Japanese texts are loaded at run time, so no binary names them.
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_DEPENDS
    "fonts-ipafont-gothic, qt6-qpa-plugins, qt6-translations-l10n")

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libnimbrel-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEVELOPMENT_DESCRIPTION
    "Nimbrel's image library and PNG codec (static libraries and headers)
The device-independent palette image library (colour keys, conversion, BMP
streams, clipboard DIBs) and the PNG writer and reader behind Nimbrel, with a
CMake package (find_package(Nimbrel)) and a pkg-config file (nimbrel).")
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS "zlib1g-dev, libdeflate-dev, libfreetype-dev, libfontconfig-dev")

# Each package carries its own copyright and changelog, as Debian asks of every package, and
# what lintian is told to let pass.
set(NIMBREL_DEBIAN ${PROJECT_SOURCE_DIR}/cmake/debian)
file(STRINGS ${NIMBREL_DEBIAN}/changelog NIMBREL_CHANGELOG_TOP LIMIT_COUNT 1)
set(NIMBREL_DEBIAN_VERSION ${PROJECT_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE})
if(NOT NIMBREL_CHANGELOG_TOP MATCHES "^nimbrel \\(${NIMBREL_DEBIAN_VERSION}\\) ")
  message(FATAL_ERROR "cmake/debian/changelog does not begin with version "
                      "${NIMBREL_DEBIAN_VERSION}: add its entry")
endif()

# The copyright file in Debian's machine-readable form, around the text of LICENSE.
file(READ ${PROJECT_SOURCE_DIR}/LICENSE licence)
string(REGEX MATCH "Copyright \\(c\\) ([^\n]*)" _ "${licence}")
set(NIMBREL_COPYRIGHT ${CMAKE_MATCH_1})
string(REGEX REPLACE "^.*\n\n(Permission)" "\\1" licence "${licence}")
string(STRIP "${licence}" licence)
string(REPLACE "\n\n" "\n.\n" licence "${licence}")
string(REPLACE "\n" "\n " NIMBREL_LICENCE_TEXT "${licence}")
configure_file(${NIMBREL_DEBIAN}/copyright.in ${PROJECT_BINARY_DIR}/debian/copyright @ONLY)

foreach(component IN LISTS CPACK_COMPONENTS_ALL)
  string(TOUPPER ${component} COMPONENT)
  set(package ${CPACK_DEBIAN_${COMPONENT}_PACKAGE_NAME})
  set(doc ${CMAKE_INSTALL_DATADIR}/doc/${package})
  install(FILES ${PROJECT_BINARY_DIR}/debian/copyright DESTINATION ${doc} COMPONENT ${component})
  nimbrel_install_gzipped(${NIMBREL_DEBIAN}/changelog ${doc} changelog.Debian ${component})
  install(FILES ${NIMBREL_DEBIAN}/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
          RENAME ${package} COMPONENT ${component})
endforeach()

include(CPack)
