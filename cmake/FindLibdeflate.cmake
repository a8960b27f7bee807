# find_package(Libdeflate): the whole-buffer DEFLATE library, as Libdeflate::Libdeflate.
# Debian's libdeflate-dev ships no CMake package, only a pkg-config file; the search falls back
# to the usual paths where pkg-config is missing.
find_package(PkgConfig QUIET)
if(PKG_CONFIG_FOUND)
  pkg_check_modules(PC_LIBDEFLATE QUIET libdeflate)
endif()
find_path(Libdeflate_INCLUDE_DIR libdeflate.h HINTS ${PC_LIBDEFLATE_INCLUDE_DIRS})
find_library(Libdeflate_LIBRARY NAMES deflate HINTS ${PC_LIBDEFLATE_LIBRARY_DIRS})
mark_as_advanced(Libdeflate_INCLUDE_DIR Libdeflate_LIBRARY)

include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(Libdeflate REQUIRED_VARS Libdeflate_LIBRARY
                                  Libdeflate_INCLUDE_DIR VERSION_VAR PC_LIBDEFLATE_VERSION)
if(Libdeflate_FOUND AND NOT TARGET Libdeflate::Libdeflate)
  add_library(Libdeflate::Libdeflate UNKNOWN IMPORTED)
  set_target_properties(Libdeflate::Libdeflate PROPERTIES
    IMPORTED_LOCATION ${Libdeflate_LIBRARY}
    INTERFACE_INCLUDE_DIRECTORIES ${Libdeflate_INCLUDE_DIR})
endif()
