# The Windows zip, `cpack -G ZIP` in a Windows build folder: kel2fram-<version>-win64.zip with
# one folder holding every installed program (all linked statically: no DLLs), README.txt (the
# users' page, doc/windows-readme.txt), USAGE.txt, manual.txt (the manual, doc/manual.md),
# LICENSE.txt and the example weight lists in examples\, all with CR LF lines so that Notepad
# and every other Windows editor open them (a .md file opens in nothing by default).
kel2fram_add_windows_resources(${KEL2FRAM_PROGRAMS})

foreach(document windows-readme USAGE)
  configure_file(${PROJECT_SOURCE_DIR}/doc/${document}.txt ${PROJECT_BINARY_DIR}/${document}.txt
                 @ONLY NEWLINE_STYLE CRLF)
endforeach()
install(FILES ${PROJECT_BINARY_DIR}/windows-readme.txt DESTINATION . RENAME README.txt)
install(FILES ${PROJECT_BINARY_DIR}/USAGE.txt DESTINATION .)

# kel2fram_windows_text(source destination): installs a text of the source tree as it is, its
# line ends made CR LF.
function(kel2fram_windows_text source destination)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
  file(READ ${source} text)
  string(REPLACE "\r\n" "\n" text "${text}")
  string(REPLACE "\n" "\r\n" text "${text}")
  get_filename_component(name ${destination} NAME)
  get_filename_component(folder ${destination} DIRECTORY)
  file(WRITE ${PROJECT_BINARY_DIR}/zip/${destination} "${text}")
  if(NOT folder)
    set(folder .)
  endif()
  install(FILES ${PROJECT_BINARY_DIR}/zip/${destination} DESTINATION ${folder})
endfunction()

kel2fram_windows_text(${PROJECT_SOURCE_DIR}/LICENSE LICENSE.txt)
kel2fram_windows_text(${PROJECT_SOURCE_DIR}/doc/manual.md manual.txt)
file(GLOB kel2fram_examples CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/examples/*.txt)
foreach(example IN LISTS kel2fram_examples)
  get_filename_component(name ${example} NAME)
  kel2fram_windows_text(${example} examples/${name})
endforeach()

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
