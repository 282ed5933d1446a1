# Compiles the catalogues translations/lumaroimporter_<language>.ts with lrelease and builds the
# .qm files into TARGET as resources under :/i18n. The catalogues are refreshed from the sources
# by scripts/update-translations (also the build target `update-translations`).
# lrelease comes from Qt's tools (Debian: qt6-l10n-tools), which install no CMake package of
# their own, hence the custom command rather than qt_add_translations.
function(lumaro_add_translations target)
  set(qt_bin ${QT6_INSTALL_PREFIX}/${QT6_INSTALL_BINS} /usr/lib/qt6/bin)
  find_program(LUMARO_LRELEASE lrelease HINTS ${qt_bin} REQUIRED)
  find_program(LUMARO_LUPDATE lupdate HINTS ${qt_bin} REQUIRED)
  file(GLOB catalogues CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/translations/*.ts)
  set(qm_files)
  file(MAKE_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/i18n)
  foreach(ts ${catalogues})
    get_filename_component(name ${ts} NAME_WE)
    set(qm ${CMAKE_CURRENT_BINARY_DIR}/i18n/${name}.qm)
    add_custom_command(OUTPUT ${qm}
      COMMAND ${LUMARO_LRELEASE} -silent ${ts} -qm ${qm}
      DEPENDS ${ts}
      VERBATIM)
    list(APPEND qm_files ${qm})
  endforeach()
  qt_add_resources(${target} lumaro_translations PREFIX /i18n BASE ${CMAKE_CURRENT_BINARY_DIR}/i18n
                   FILES ${qm_files})
  add_custom_target(update-translations
    COMMAND ${CMAKE_COMMAND} -E env LUPDATE=${LUMARO_LUPDATE} ${PROJECT_SOURCE_DIR}/scripts/update-translations
    VERBATIM)
endfunction()
