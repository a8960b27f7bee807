# The programs and what a desktop needs to offer them: desktop entry, icons, metainfo, manual
# pages and shell completion. All of it is the "runtime" component of the package.
set(CMAKE_INSTALL_DEFAULT_COMPONENT_NAME runtime)
set(NIMBREL_DATA ${PROJECT_SOURCE_DIR}/data)
set(man1 ${CMAKE_INSTALL_MANDIR}/man1)

install(TARGETS nimbrel-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
nimbrel_install_gzipped(${NIMBREL_DATA}/man/nimbrel-cli.1 ${man1} nimbrel-cli.1 runtime)
install(FILES ${NIMBREL_DATA}/completion/nimbrel-cli
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
# The caption server's reference deployment: the unit where systemd finds units of this prefix,
# installed but not enabled, and the nginx site as an example to copy.
install(FILES ${PROJECT_SOURCE_DIR}/deploy/nimbrel-serve@.service
        DESTINATION lib/systemd/system)
install(FILES ${PROJECT_SOURCE_DIR}/deploy/nginx-site.conf ${PROJECT_SOURCE_DIR}/deploy/README.md
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/nimbrel/examples)

if(TARGET nimbrel)
  # Qt's project setup gives its programs a run path to a lib/ beside them, for Qt libraries
  # shipped along; ours are the system's, where the dynamic linker looks anyway.
  set_target_properties(nimbrel PROPERTIES INSTALL_RPATH "")
  install(TARGETS nimbrel RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  nimbrel_install_gzipped(${NIMBREL_DATA}/man/nimbrel.1 ${man1} nimbrel.1 runtime)
  install(FILES ${NIMBREL_DATA}/${NIMBREL_APP_ID}.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${NIMBREL_DATA}/${NIMBREL_APP_ID}.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  set(icons ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
  install(FILES ${NIMBREL_DATA}/icons/nimbrel.svg DESTINATION ${icons}/scalable/apps
          RENAME ${NIMBREL_APP_ID}.svg)
  foreach(size ${NIMBREL_ICON_SIZES})
    install(FILES ${NIMBREL_DATA}/icons/nimbrel-${size}.png
            DESTINATION ${icons}/${size}x${size}/apps RENAME ${NIMBREL_APP_ID}.png)
  endforeach()
endif()
