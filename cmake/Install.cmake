# Desktop integration: the launcher entry and the application icon (scalable and 256 px).
install(FILES ${PROJECT_SOURCE_DIR}/resources/com.veltrane.LumaroImporter.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/lumaro-importer.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME com.veltrane.LumaroImporter.svg)
install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/lumaro-importer.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps
        RENAME com.veltrane.LumaroImporter.png)
