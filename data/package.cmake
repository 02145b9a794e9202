# The Debian package (`make deb`): CPack's DEB generator over the install rules above, prefix /usr.
# Runtime libraries are found by dpkg-shlibdeps; packages the program needs without linking them are
# listed here.

add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/changelog.gz
                   COMMAND ${QUILLMARK_GZIP} -9nc ${QUILLMARK_DATA_DIR}/debian/changelog > ${PROJECT_BINARY_DIR}/changelog.gz
                   DEPENDS ${QUILLMARK_DATA_DIR}/debian/changelog VERBATIM)
add_custom_target(quillmark-changelog ALL DEPENDS ${PROJECT_BINARY_DIR}/changelog.gz)
# Each package carries its own copyright and changelog. Versions without a Debian revision make a native
# package, whose changelog is changelog.gz.
foreach(package quillmark quillmark-tools)
  install(FILES ${QUILLMARK_DATA_DIR}/debian/copyright ${PROJECT_BINARY_DIR}/changelog.gz
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package} COMPONENT ${package})
endforeach()

# The faces the emulations print with are found through fontconfig at run time, so their packages are
# named here; every program that prints needs them, and quillmark-tools holds the printing programs.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillmark)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Quillmark developers <quillmark@example.invalid>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL quillmark-tools quillmark)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)

set(CPACK_DEBIAN_QUILLMARK-TOOLS_PACKAGE_NAME quillmark-tools)
set(CPACK_DEBIAN_QUILLMARK-TOOLS_PACKAGE_DEPENDS "fonts-dejavu-core, fonts-dejavu-extra, fonts-go, fonts-liberation2")
set(CPACK_DEBIAN_QUILLMARK-TOOLS_PACKAGE_SUGGESTS "cups")
string(CONCAT CPACK_COMPONENT_QUILLMARK-TOOLS_DESCRIPTION
       "printer emulation for DOS programs: command-line tools and CUPS filter\n"
       "quillmark-render prints a file of Epson-style printer data written by a DOS\n"
       "program (under DOSBox, DOSBox-X, dosemu2 or vDos) as a PDF or on a CUPS\n"
       "printer. quillmark-cups is a CUPS filter with its PPD, so that a print server\n"
       "runs the same emulation for many DOS workstations. No graphical toolkit is\n"
       "needed.")

set(CPACK_DEBIAN_QUILLMARK_PACKAGE_NAME quillmark)
set(CPACK_DEBIAN_QUILLMARK_PACKAGE_DEPENDS "quillmark-tools (= ${PROJECT_VERSION})")
set(CPACK_DEBIAN_QUILLMARK_PACKAGE_RECOMMENDS "cups-client")
set(CPACK_DEBIAN_QUILLMARK_PACKAGE_SUGGESTS "dosbox")
string(CONCAT CPACK_COMPONENT_QUILLMARK_DESCRIPTION
       "printer emulation for DOS programs: background program with tray icon\n"
       "Quillmark watches a spool file into which DOS programs (under DOSBox,\n"
       "DOSBox-X, dosemu2 or vDos) write Epson-style printer data, interprets the\n"
       "control codes and prints every take as one document on a CUPS printer or\n"
       "as a PDF file. It runs in the background with a tray icon, or headless as\n"
       "a systemd user service.")
include(CPack)
