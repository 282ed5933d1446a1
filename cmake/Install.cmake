# Desktop integration: the launcher entry, the application icon in the hicolor theme, and the
# AppStream metainfo that software centres read.
set(LUMARO_APP_ID com.veltrane.LumaroImporter)

install(FILES ${PROJECT_SOURCE_DIR}/resources/${LUMARO_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/lumaro-importer.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME ${LUMARO_APP_ID}.svg)
# Rendered from the SVG by scripts/render-icons; the 256 px one doubles as the window icon.
foreach(size 16 22 24 32 48 64 128 256 512)
  set(png ${PROJECT_SOURCE_DIR}/resources/icons/lumaro-importer-${size}.png)
  if(size EQUAL 256)
    set(png ${PROJECT_SOURCE_DIR}/resources/icons/lumaro-importer.png)
  endif()
  install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME ${LUMARO_APP_ID}.png)
endforeach()

# Version and release date come from the project.
configure_file(${PROJECT_SOURCE_DIR}/resources/${LUMARO_APP_ID}.metainfo.xml.in
               ${PROJECT_BINARY_DIR}/${LUMARO_APP_ID}.metainfo.xml @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/${LUMARO_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# lumaro-import installs itself and its manual page (src/cli) where this tree builds them.

include(${CMAKE_CURRENT_LIST_DIR}/Package.cmake)
