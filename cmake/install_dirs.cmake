# Where the install rules put things: GNUInstallDirs, with the library folder made multiarch.
# Debian's GNUInstallDirs takes the multiarch library directory only for the /usr prefix, but the
# release build is configured for /usr/local and packaged for /usr: take it for every prefix,
# where Debian's linker and pkg-config look too. A tree configured before this choice existed
# holds GNUInstallDirs' plain "lib", which is replaced like any default; a chosen one stays.
if(CMAKE_LIBRARY_ARCHITECTURE AND EXISTS /etc/debian_version AND
   (NOT DEFINED CMAKE_INSTALL_LIBDIR OR
    (CMAKE_INSTALL_LIBDIR STREQUAL "lib" AND DEFINED CACHE{_GNUInstallDirs_LAST_CMAKE_INSTALL_PREFIX}
     AND NOT DEFINED CACHE{NIMBREL_MULTIARCH_LIBDIR})))
  set(CMAKE_INSTALL_LIBDIR lib/${CMAKE_LIBRARY_ARCHITECTURE} CACHE PATH "Object code libraries"
      FORCE)
endif()
set(NIMBREL_MULTIARCH_LIBDIR ON CACHE INTERNAL "The library directory was chosen")
include(GNUInstallDirs)
