# The Windows build: the same core, the Win32 platform layer, quillmark.exe, quillmark-render.exe, the
# test program that runs under Wine and the zip a user downloads. Included from CMakeLists.txt on WIN32.

# Windows 7 API level; UNICODE so that every Win32 call without A/W suffix is the wide one.
set(QUILLMARK_WIN32_DEFINITIONS WINVER=0x0601 _WIN32_WINNT=0x0601 UNICODE _UNICODE NOMINMAX WIN32_LEAN_AND_MEAN)
target_compile_definitions(quillmark_core PUBLIC ${QUILLMARK_WIN32_DEFINITIONS})

file(GLOB QUILLMARK_WIN32_SOURCES CONFIGURE_DEPENDS src/platform/win32/*.cpp)
add_library(quillmark_platform STATIC ${QUILLMARK_WIN32_SOURCES})
quillmark_target(quillmark_platform)
target_link_libraries(quillmark_platform PUBLIC quillmark_core gdi32 user32 shell32 winspool winmm)

# Icon resource 1: eight images (48, 32, 24, 16 px at 8 and 32 bits per pixel) made from the PNGs.
set(QUILLMARK_ICON ${PROJECT_BINARY_DIR}/quillmark.ico)
add_custom_command(
  OUTPUT ${QUILLMARK_ICON}
  COMMAND ${PROJECT_SOURCE_DIR}/scripts/make-windows-icon.sh ${PROJECT_SOURCE_DIR}/data/icons ${QUILLMARK_ICON}
  DEPENDS ${PROJECT_SOURCE_DIR}/scripts/make-windows-icon.sh ${PROJECT_SOURCE_DIR}/data/icons/quillmark-16.png
          ${PROJECT_SOURCE_DIR}/data/icons/quillmark-24.png ${PROJECT_SOURCE_DIR}/data/icons/quillmark-32.png
          ${PROJECT_SOURCE_DIR}/data/icons/quillmark-48.png
  VERBATIM)
set(QUILLMARK_RC ${PROJECT_BINARY_DIR}/quillmark.rc)
file(WRITE ${QUILLMARK_RC} "1 ICON \"${QUILLMARK_ICON}\"\n")
set_source_files_properties(${QUILLMARK_RC} PROPERTIES OBJECT_DEPENDS ${QUILLMARK_ICON})

add_executable(quillmark WIN32 src/main_windows.cpp ${QUILLMARK_RC})
quillmark_target(quillmark)
target_link_libraries(quillmark PRIVATE quillmark_platform)

add_executable(quillmark-render tools/render_main_windows.cpp ${QUILLMARK_RC})
quillmark_target(quillmark-render)
target_link_libraries(quillmark-render PRIVATE quillmark_platform)

# Adds the Wine PostScript printer the tests print on.
add_executable(quillmark-test-printer tests/windows/add_test_printer.cpp)
target_link_options(quillmark-test-printer PRIVATE -municode)
quillmark_target(quillmark-test-printer)
target_link_libraries(quillmark-test-printer PRIVATE winspool advapi32)

# The zip: both programs, the icon, a sample Settings.ini and README.txt (README's Windows part), the two
# text files with CR LF line ends so that Notepad on any Windows shows their lines.
set(QUILLMARK_ZIP ${PROJECT_BINARY_DIR}/quillmark-windows.zip)
add_custom_command(
  OUTPUT ${QUILLMARK_ZIP}
  COMMAND ${CMAKE_COMMAND} -E rm -rf zip ${QUILLMARK_ZIP}
  COMMAND ${CMAKE_COMMAND} -E make_directory zip/Quillmark
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:quillmark> $<TARGET_FILE:quillmark-render> ${QUILLMARK_ICON}
          zip/Quillmark/
  COMMAND ${CMAKE_COMMAND} -DIN=${PROJECT_SOURCE_DIR}/data/windows/Settings.ini -DOUT=zip/Quillmark/Settings.ini
          -P ${PROJECT_SOURCE_DIR}/cmake/crlf.cmake
  COMMAND ${CMAKE_COMMAND} -DIN=${PROJECT_SOURCE_DIR}/README.md -DOUT=zip/Quillmark/README.txt -DSECTION=Windows
          -P ${PROJECT_SOURCE_DIR}/cmake/crlf.cmake
  COMMAND ${CMAKE_COMMAND} -E chdir zip ${CMAKE_COMMAND} -E tar cf ${QUILLMARK_ZIP} --format=zip Quillmark
  DEPENDS quillmark quillmark-render ${QUILLMARK_ICON} ${PROJECT_SOURCE_DIR}/data/windows/Settings.ini
          ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/cmake/crlf.cmake
  WORKING_DIRECTORY ${PROJECT_BINARY_DIR}
  VERBATIM)
add_custom_target(quillmark-zip ALL DEPENDS ${QUILLMARK_ZIP})

# Tests: the core's unit tests that need neither Qt nor POSIX, and the Win32 layer's own.
enable_testing()
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
set(QUILLMARK_WINDOWS_TESTS
    application_test bit_image_test escp2_graphics_test escp2_command_table_test interpreter_test
    print_worker_test
    printer_document_test program_state_test select_font_test settings_loader_test settings_reader_test
    spool_watcher_test)
set(QUILLMARK_WINDOWS_TEST_SOURCES)
foreach(name ${QUILLMARK_WINDOWS_TESTS})
  if(EXISTS ${PROJECT_SOURCE_DIR}/tests/${name}.cpp)
    list(APPEND QUILLMARK_WINDOWS_TEST_SOURCES tests/${name}.cpp)
  endif()
endforeach()
file(GLOB QUILLMARK_WIN32_TEST_SOURCES CONFIGURE_DEPENDS tests/windows/win32_*_test.cpp)
add_executable(quillmark_tests ${QUILLMARK_WINDOWS_TEST_SOURCES} ${QUILLMARK_WIN32_TEST_SOURCES} ${QUILLMARK_RC})
quillmark_target(quillmark_tests)
target_include_directories(quillmark_tests PRIVATE ${PROJECT_SOURCE_DIR}/tests)
target_link_libraries(quillmark_tests PRIVATE quillmark_platform gtest gtest_main)
add_test(NAME quillmark_tests COMMAND quillmark_tests)
