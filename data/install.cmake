# Desktop integration: the menu entry (also usable for autostart), the systemd user unit and the icons, in
# the XDG places under CMAKE_INSTALL_PREFIX. Included by the top-level CMakeLists.txt.
include(GNUInstallDirs)

set(QUILLMARK_DATA_DIR ${CMAKE_CURRENT_LIST_DIR})

install(FILES ${QUILLMARK_DATA_DIR}/quillmark.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications
        COMPONENT quillmark)

# The program's path is filled in at install time, so that `cmake --install --prefix` is honoured too.
install(CODE "
  file(READ \"${QUILLMARK_DATA_DIR}/quillmark.service\" unit)
  string(REPLACE \"@QUILLMARK_PROGRAM@\" \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/quillmark\" unit \"\${unit}\")
  file(WRITE \"${PROJECT_BINARY_DIR}/quillmark.service\" \"\${unit}\")
" COMPONENT quillmark)
# systemd looks for user units in lib/systemd/user under /usr and /usr/local, whatever the libdir.
install(FILES ${PROJECT_BINARY_DIR}/quillmark.service DESTINATION lib/systemd/user COMPONENT quillmark)

foreach(size 16 24 32 48)
  install(FILES ${QUILLMARK_DATA_DIR}/icons/quillmark-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME quillmark.png
          COMPONENT quillmark)
endforeach()
install(FILES ${QUILLMARK_DATA_DIR}/icons/quillmark.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps COMPONENT quillmark)

# Manual pages, compressed as Debian expects them (no time stamp in the gzip header, so builds repeat).
find_program(QUILLMARK_GZIP gzip REQUIRED)
set(QUILLMARK_MAN_PAGES "")
foreach(entry quillmark.1:quillmark quillmark-render.1:quillmark-tools quillmark-cups.8:quillmark-tools)
  string(REPLACE ":" ";" entry ${entry})
  list(GET entry 0 page)
  list(GET entry 1 component)
  add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/man/${page}.gz
                     COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
                     COMMAND ${QUILLMARK_GZIP} -9nc ${QUILLMARK_DATA_DIR}/man/${page} > ${PROJECT_BINARY_DIR}/man/${page}.gz
                     DEPENDS ${QUILLMARK_DATA_DIR}/man/${page} VERBATIM)
  list(APPEND QUILLMARK_MAN_PAGES ${PROJECT_BINARY_DIR}/man/${page}.gz)
  string(REGEX REPLACE ".*\\." "" section ${page})
  install(FILES ${PROJECT_BINARY_DIR}/man/${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section}
          COMPONENT ${component})
endforeach()
add_custom_target(quillmark-man ALL DEPENDS ${QUILLMARK_MAN_PAGES})

include(${QUILLMARK_DATA_DIR}/package.cmake)
