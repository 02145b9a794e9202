# The CUPS filter and its data, in CUPS's own folders below CMAKE_INSTALL_PREFIX: with the prefix /usr
# (the Debian package) they are /usr/lib/cups/filter, /usr/share/cups/mime and /usr/share/cups/model.
# CUPS looks nowhere else; for another prefix, point these at `cups-config --serverbin` and `--datadir`.
set(QUILLMARK_CUPS_SERVERBIN "lib/cups" CACHE STRING "CUPS's program folder (ServerBin)")
set(QUILLMARK_CUPS_DATADIR "${CMAKE_INSTALL_DATAROOTDIR}/cups" CACHE STRING "CUPS's data folder (DataDir)")

install(TARGETS quillmark-cups RUNTIME DESTINATION ${QUILLMARK_CUPS_SERVERBIN}/filter COMPONENT quillmark-tools)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/quillmark.types ${CMAKE_CURRENT_LIST_DIR}/quillmark.convs
        DESTINATION ${QUILLMARK_CUPS_DATADIR}/mime COMPONENT quillmark-tools)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/quillmark.ppd DESTINATION ${QUILLMARK_CUPS_DATADIR}/model
        COMPONENT quillmark-tools)
