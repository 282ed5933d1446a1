# The Debian package lumaroimporter_<version>_amd64.deb of everything installed above
# (scripts/package). The development tools (lumaro-devserver, lumaro-demo-seed) have no install
# rule, so they stay out.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME lumaroimporter)
set(CPACK_PACKAGE_VENDOR Veltrane)
set(CPACK_PACKAGE_CONTACT "Veltrane <lumaro-importer@veltrane.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Upload files into the categories of a Lumaro asset server")
# Lines of the extended description stay within 80 columns.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "Keeps bookmarks of Lumaro servers, browses a server's category tree in a"
  "column browser, creates sub-categories, and uploads queued files one by one,"
  "keeping an import log."
  ""
  "The command-line program lumaro-import uploads with the same bookmarks and"
  "import log, for scripts and cron jobs.")
set(CPACK_PACKAGE_HOMEPAGE_URL https://veltrane.com/lumaro-importer)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt loads these as plugins at run time, so they cannot be read from the binaries: the SQLite
# driver holds the store; the image formats widen the previews.
set(CPACK_DEBIAN_PACKAGE_DEPENDS libqt6sql6-sqlite)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS qt6-image-formats-plugins)
# libcurl only recommends a CA store; without one every HTTPS server looks untrusted.
string(APPEND CPACK_DEBIAN_PACKAGE_RECOMMENDS ", ca-certificates")
# Qt's own texts (standard buttons, the file chooser) in the session's language; ours are built in.
string(APPEND CPACK_DEBIAN_PACKAGE_RECOMMENDS ", qt6-translations-l10n")

# The copyright file and the changelog that every Debian package carries, compressed as policy
# asks; the changelog's newest entry has to be this version.
set(LUMARO_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/${CPACK_PACKAGE_NAME})
set(changelog ${PROJECT_SOURCE_DIR}/resources/debian/changelog)
file(STRINGS ${changelog} newest LIMIT_COUNT 1)
if(NOT newest MATCHES "^${CPACK_PACKAGE_NAME} \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "resources/debian/changelog begins with '${newest}': "
                      "give version ${PROJECT_VERSION} an entry on top")
endif()
add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/changelog.gz
  COMMAND ${CMAKE_COMMAND} -E copy ${changelog} ${PROJECT_BINARY_DIR}/changelog
  COMMAND gzip -9nf ${PROJECT_BINARY_DIR}/changelog
  DEPENDS ${changelog}
  VERBATIM)
add_custom_target(debian-changelog ALL DEPENDS ${PROJECT_BINARY_DIR}/changelog.gz)
install(FILES ${PROJECT_SOURCE_DIR}/resources/debian/copyright ${PROJECT_BINARY_DIR}/changelog.gz
        DESTINATION ${LUMARO_DOC_DIR})
include(CPack)
