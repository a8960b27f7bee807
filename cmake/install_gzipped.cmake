# nimbrel_install_gzipped(FILE DESTINATION NAME COMPONENT): installs FILE as DESTINATION/NAME.gz,
# compressed as Debian compresses manual pages and changelogs: gzip -9n, without the name and
# time stamp, so that every build gives the same bytes.
function(nimbrel_install_gzipped file destination name component)
  set(folder ${PROJECT_BINARY_DIR}/gzipped/${component})
  file(MAKE_DIRECTORY ${folder})
  add_custom_command(OUTPUT ${folder}/${name}.gz
                     COMMAND ${CMAKE_COMMAND} -E copy ${file} ${folder}/${name}
                     COMMAND gzip -9nf ${folder}/${name}
                     DEPENDS ${file} VERBATIM)
  string(MAKE_C_IDENTIFIER "gzip_${component}_${name}" target)
  add_custom_target(${target} ALL DEPENDS ${folder}/${name}.gz)
  install(FILES ${folder}/${name}.gz DESTINATION ${destination} COMPONENT ${component})
endfunction()
