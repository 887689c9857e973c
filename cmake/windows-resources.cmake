# Windows resources of every installed program: an application manifest (long names, UTF-8
# as the process's code page, the user's own rights), version information from the project's
# version, and the icon, drawn at build time by cmake/make_icon.py. Included before the
# programs' folders (the resource compiler must be known to them); the programs get their
# resources from kel2fram_add_windows_resources() once they exist.
enable_language(RC)
find_package(Python3 REQUIRED COMPONENTS Interpreter)

set(KEL2FRAM_ICON ${PROJECT_BINARY_DIR}/resources/kel2fram.ico)
add_custom_command(
  OUTPUT ${KEL2FRAM_ICON}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/resources
  COMMAND Python3::Interpreter ${PROJECT_SOURCE_DIR}/cmake/make_icon.py ${KEL2FRAM_ICON}
  DEPENDS ${PROJECT_SOURCE_DIR}/cmake/make_icon.py
  COMMENT "Drawing the programs' icon"
  VERBATIM)
add_custom_target(kel2fram_icon DEPENDS ${KEL2FRAM_ICON})

# What each program is, as Explorer's properties show it.
set(KEL2FRAM_DESCRIPTION_kel2fram "KEL2FRAM: weight list to Map_Mass records for Framix")
set(KEL2FRAM_DESCRIPTION_kitdump "kitdump: how KEL2FRAM reads each line of a weight list")
set(KEL2FRAM_DESCRIPTION_massplot "massplot: a Map_Mass file drawn as an SVG picture")

# The copyright line and the licence's name come from LICENSE.
file(STRINGS ${PROJECT_SOURCE_DIR}/LICENSE KEL2FRAM_LICENCE LIMIT_COUNT 1)
file(STRINGS ${PROJECT_SOURCE_DIR}/LICENSE KEL2FRAM_COPYRIGHT REGEX "^Copyright" LIMIT_COUNT 1)
string(REGEX REPLACE "^Copyright \\(c\\) [0-9]+ " "" KEL2FRAM_COMPANY "${KEL2FRAM_COPYRIGHT}")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/LICENSE)
set(KEL2FRAM_FILE_VERSION ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.0)
string(REPLACE "." "," KEL2FRAM_FILE_VERSION_COMMAS ${KEL2FRAM_FILE_VERSION})

function(kel2fram_add_windows_resources)
  foreach(program IN LISTS ARGN)
    set(KEL2FRAM_PROGRAM ${program})
    set(KEL2FRAM_DESCRIPTION ${KEL2FRAM_DESCRIPTION_${program}})
    if(NOT KEL2FRAM_DESCRIPTION)
      message(FATAL_ERROR "No description for ${program} in cmake/windows-resources.cmake")
    endif()
    set(KEL2FRAM_MANIFEST ${PROJECT_BINARY_DIR}/resources/${program}.manifest)
    set(rc ${PROJECT_BINARY_DIR}/resources/${program}.rc)
    configure_file(${PROJECT_SOURCE_DIR}/cmake/program.manifest.in ${KEL2FRAM_MANIFEST} @ONLY)
    configure_file(${PROJECT_SOURCE_DIR}/cmake/program.rc.in ${rc} @ONLY)
    target_sources(${program} PRIVATE ${rc})
    set_source_files_properties(${rc} TARGET_DIRECTORY ${program}
                                PROPERTIES OBJECT_DEPENDS "${KEL2FRAM_ICON};${KEL2FRAM_MANIFEST}")
    add_dependencies(${program} kel2fram_icon)
  endforeach()
endfunction()
