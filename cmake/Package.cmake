# The Debian package lumaroimporter_<version>_amd64.deb of everything installed above
# (scripts/package). The development tools (lumaro-devserver, lumaro-demo-seed) have no install
# rule, so they stay out.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME lumaroimporter)
set(CPACK_PACKAGE_VENDOR Veltrane)
set(CPACK_PACKAGE_CONTACT "Veltrane <lumaro-importer@veltrane.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Upload files into the categories of a Lumaro asset server")
set(CPACK_PACKAGE_DESCRIPTION
    "Keeps server bookmarks, browses a Lumaro server's category tree in a column browser, creates sub-categories, and uploads queued files one by one, keeping an import log.")
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
include(CPack)
