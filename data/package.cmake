# The Debian package (`make deb`): CPack's DEB generator over the install rules above, prefix /usr.
# Runtime libraries are found by dpkg-shlibdeps; packages the program needs without linking them are
# listed here.

install(FILES ${QUILLMARK_DATA_DIR}/debian/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quillmark)
add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/changelog.gz
                   COMMAND ${QUILLMARK_GZIP} -9nc ${QUILLMARK_DATA_DIR}/debian/changelog > ${PROJECT_BINARY_DIR}/changelog.gz
                   DEPENDS ${QUILLMARK_DATA_DIR}/debian/changelog VERBATIM)
add_custom_target(quillmark-changelog ALL DEPENDS ${PROJECT_BINARY_DIR}/changelog.gz)
# Versions without a Debian revision make a native package, whose changelog is changelog.gz.
install(FILES ${PROJECT_BINARY_DIR}/changelog.gz DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quillmark)

# The CUPS filter comes in by its own install rules (lib/cups/filter, share/cups). The faces the emulations
# print with are found through fontconfig at run time, so their packages are named here.
set(QUILLMARK_DEB_DEPENDS "fonts-dejavu-core, fonts-dejavu-extra, fonts-go, fonts-liberation2")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillmark)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Quillmark developers <quillmark@example.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "printer emulation for DOS programs")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
       "Quillmark watches a spool file into which DOS programs (under DOSBox,\n"
       "DOSBox-X, dosemu2 or vDos) write Epson-style printer data, interprets the\n"
       "control codes and prints every take as one document on a CUPS printer or\n"
       "as a PDF file. It runs in the background with a tray icon, or headless as\n"
       "a systemd user service. quillmark-render prints a single file directly.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS ${QUILLMARK_DEB_DEPENDS})
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "cups-client")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "dosbox")
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
include(CPack)
