# The Windows zip, `cpack -G ZIP` in a Windows build folder: kel2fram-<version>-win64.zip with
# one folder holding every installed program (all linked statically: no DLLs), README.txt (the
# users' page, doc/windows-readme.txt), USAGE.txt, manual.txt (the manual, doc/manual.md),
# the manual pages as text (kel2fram.txt, kitdump.txt, massplot.txt), LICENSE.txt and the example weight lists in examples\, all with CR LF lines so that Notepad
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

# The manual pages, which the manual points to for every rule, message and status, rendered as
# plain UTF-8 text by groff (Debian's groff-base, cmake/render-page.cmake) for a system without
# a man command: kel2fram.txt, kitdump.txt and massplot.txt.
find_program(KEL2FRAM_GROFF groff REQUIRED)
set(reference_pages)
foreach(program IN LISTS KEL2FRAM_PROGRAMS)
  set(page ${PROJECT_BINARY_DIR}/zip/${program}.txt)
  add_custom_command(
    OUTPUT ${page}
    COMMAND ${CMAKE_COMMAND} -DGROFF=${KEL2FRAM_GROFF} -DPAGE=${PROJECT_SOURCE_DIR}/doc/${program}.1
            -DOUTPUT=${page} -P ${PROJECT_SOURCE_DIR}/cmake/render-page.cmake
    DEPENDS ${PROJECT_SOURCE_DIR}/doc/${program}.1 ${PROJECT_SOURCE_DIR}/cmake/render-page.cmake
    COMMENT "Rendering ${program}(1) as ${program}.txt"
    VERBATIM)
  list(APPEND reference_pages ${page})
endforeach()
add_custom_target(reference_pages ALL DEPENDS ${reference_pages})
install(FILES ${reference_pages} DESTINATION .)
file(GLOB kel2fram_examples CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/examples/*.txt)
foreach(example IN LISTS kel2fram_examples)
  get_filename_component(name ${example} NAME)
  kel2fram_windows_text(${example} examples/${name})
endforeach()

# LIBRARIES.txt: the copyright notices and licences of the libraries linked into the programs,
# as cmake/windows-deps.sh built them from Debian's source packages (zlib and minizip under
# the zlib licence, expat under the MIT licence), with the versions built.
set(deps_doc ${KEL2FRAM_WINDOWS_DEPS}/share/doc)
if(EXISTS ${deps_doc}/kel2fram-windows-deps)
  file(STRINGS ${deps_doc}/kel2fram-windows-deps versions)
  list(JOIN versions ", " versions)
  set(text "The Windows programs of KEL2FRAM contain these libraries, linked statically and built
from Debian's source packages (${versions}).
Their copyright notices and licences follow.
")
  foreach(part "zlib and minizip (Debian source package zlib)|zlib/copyright"
               "expat (Debian source package expat)|expat/COPYING|expat/copyright")
    string(REPLACE "|" ";" part "${part}")
    list(POP_FRONT part title)
    string(LENGTH "${title}" length)
    string(REPEAT "=" ${length} underline)
    string(APPEND text "\n\n${title}\n${underline}\n")
    foreach(document IN LISTS part)
      set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${deps_doc}/${document})
      file(READ ${deps_doc}/${document} notice)
      string(APPEND text "\n${notice}")
    endforeach()
  endforeach()
  string(REPLACE "\r\n" "\n" text "${text}")
  string(REPLACE "\n" "\r\n" text "${text}")
  file(WRITE ${PROJECT_BINARY_DIR}/LIBRARIES.txt "${text}")
  install(FILES ${PROJECT_BINARY_DIR}/LIBRARIES.txt DESTINATION .)
else()
  message(WARNING "No libraries built from Debian's sources in ${KEL2FRAM_WINDOWS_DEPS}: "
                  "run bash cmake/windows-deps.sh first (the zip will lack LIBRARIES.txt)")
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
