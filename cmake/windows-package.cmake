# The Windows zip, `cpack -G ZIP` in a Windows build folder: kel2fram-<version>-win64.zip with
# one folder holding every installed program (all linked statically: no DLLs), the README, the
# licence and USAGE.txt (with CR LF lines, for any Windows editor).
configure_file(${PROJECT_SOURCE_DIR}/doc/USAGE.txt ${PROJECT_BINARY_DIR}/USAGE.txt @ONLY
               NEWLINE_STYLE CRLF)
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_BINARY_DIR}/USAGE.txt DESTINATION .)
if(EXISTS ${PROJECT_SOURCE_DIR}/LICENSE)
  install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION .)
else()
  message(WARNING "No LICENSE file in the source tree: the zip will lack the licence")
endif()

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_FILE_NAME kel2fram-${PROJECT_VERSION}-win64)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)

if(KEL2FRAM_TESTS)
  add_test(NAME windows_package
           COMMAND bash ${PROJECT_SOURCE_DIR}/tests/windows_package_test.sh ${CMAKE_CPACK_COMMAND}
                   ${PROJECT_BINARY_DIR} ${PROJECT_VERSION} ${CMAKE_OBJDUMP}
                   ${CMAKE_CROSSCOMPILING_EMULATOR})
  set_tests_properties(windows_package PROPERTIES LABELS package TIMEOUT 300 FIXTURES_REQUIRED wine)
endif()
