# The programs and what a desktop needs to offer them: desktop entry, icon, metainfo, manual
# pages and shell completion. All of it is the "runtime" component of the package.
set(CMAKE_INSTALL_DEFAULT_COMPONENT_NAME runtime)
set(NIMBREL_DATA ${PROJECT_SOURCE_DIR}/data)

install(TARGETS nimbrel-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${NIMBREL_DATA}/man/nimbrel-cli.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${NIMBREL_DATA}/completion/nimbrel-cli
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/nimbrel
        RENAME copyright)

if(TARGET nimbrel)
  install(TARGETS nimbrel RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${NIMBREL_DATA}/man/nimbrel.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${NIMBREL_DATA}/${NIMBREL_APP_ID}.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${NIMBREL_DATA}/${NIMBREL_APP_ID}.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  set(icons ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
  install(FILES ${NIMBREL_DATA}/icons/nimbrel.svg DESTINATION ${icons}/scalable/apps
          RENAME ${NIMBREL_APP_ID}.svg)
  foreach(size 48 256)
    install(FILES ${NIMBREL_DATA}/icons/nimbrel-${size}.png
            DESTINATION ${icons}/${size}x${size}/apps RENAME ${NIMBREL_APP_ID}.png)
  endforeach()
endif()
