# The image library, the PNG codec and the platform layer they stand on, for other programs:
# static libraries, their public headers under include/nimbrel/, a CMake package
# (find_package(Nimbrel) gives Nimbrel::platform, Nimbrel::image and Nimbrel::png) and a
# pkg-config file. All of it is the "development" component of the package.
include(CMakePackageConfigHelpers)

set(NIMBREL_PUBLIC_HEADERS_platform
    ansi_string.h bitmap.h canvas.h draw_text.h exception.h font.h gdi.h gdi_owner.h graphic.h
    halftone_palette.h kernel.h picture.h row_size.h stream.h win_types.h)
set(NIMBREL_PUBLIC_HEADERS_image
    color_tables.h custom_dib.h dc_selection.h dib_desc.h dib_error.h dib_limits.h dib_pixels.h
    dib_routines.h internal_dib.h ref_ptr.h)
set(NIMBREL_PUBLIC_HEADERS_png png_exceptions.h png_limits.h png_registration.h png_save_settings.h
                                simd_level.h ux_png.h)

# Headers include each other as "image/custom_dib.h", so include/nimbrel is on the path; with
# include/ on it too, a program may write <nimbrel/png/ux_png.h>.
set(NIMBREL_INCLUDE_DIR ${CMAKE_INSTALL_INCLUDEDIR}/nimbrel)
foreach(layer platform image png)
  set(target nimbrel_${layer})
  set_target_properties(${target} PROPERTIES EXPORT_NAME ${layer})
  add_library(Nimbrel::${layer} ALIAS ${target})
  list(TRANSFORM NIMBREL_PUBLIC_HEADERS_${layer} PREPEND ${PROJECT_SOURCE_DIR}/${layer}/)
  install(FILES ${NIMBREL_PUBLIC_HEADERS_${layer}} DESTINATION ${NIMBREL_INCLUDE_DIR}/${layer}
          COMPONENT development)
endforeach()

set(NIMBREL_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Nimbrel)
install(TARGETS nimbrel_platform nimbrel_image nimbrel_png
        EXPORT NimbrelTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development
        INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} ${NIMBREL_INCLUDE_DIR})
install(EXPORT NimbrelTargets NAMESPACE Nimbrel:: DESTINATION ${NIMBREL_CMAKE_DIR}
        COMPONENT development)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/NimbrelConfig.cmake.in
                              ${PROJECT_BINARY_DIR}/NimbrelConfig.cmake
                              INSTALL_DESTINATION ${NIMBREL_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/NimbrelConfigVersion.cmake
                                 COMPATIBILITY SameMinorVersion)
# The config finds libdeflate with the same module the build uses.
install(FILES ${PROJECT_BINARY_DIR}/NimbrelConfig.cmake
              ${PROJECT_BINARY_DIR}/NimbrelConfigVersion.cmake
              ${PROJECT_SOURCE_DIR}/cmake/FindLibdeflate.cmake
        DESTINATION ${NIMBREL_CMAKE_DIR} COMPONENT development)

# The .pc file finds the prefix from where it lies, so an installed tree can be moved.
set(NIMBREL_PC_DIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
file(RELATIVE_PATH NIMBREL_PC_TO_PREFIX /prefix/${NIMBREL_PC_DIR} /prefix)
string(REGEX REPLACE "/$" "" NIMBREL_PC_TO_PREFIX ${NIMBREL_PC_TO_PREFIX})
configure_file(${PROJECT_SOURCE_DIR}/cmake/nimbrel.pc.in ${PROJECT_BINARY_DIR}/nimbrel.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/nimbrel.pc DESTINATION ${NIMBREL_PC_DIR}
        COMPONENT development)
