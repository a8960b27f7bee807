# make package: two Debian packages, the programs (nimbrel) and the libraries with their
# headers (libnimbrel-dev), from the release build's install rules.
set(CPACK_PACKAGE_NAME nimbrel)
set(CPACK_PACKAGE_VENDOR "The Nimbrel developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/package)
set(CPACK_GENERATOR DEB)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL runtime development)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The Nimbrel developers")
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

include(CPack)
