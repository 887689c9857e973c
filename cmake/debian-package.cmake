# The Debian package that `cpack -G DEB` makes in the build folder: its control fields, and the
# library dependencies found by dpkg-shlibdeps where it exists. The top-level CMakeLists.txt
# includes it before CPack; cmake/windows-package.cmake sets the zip up instead on Windows.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kel2fram)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "KEL2FRAM maintainers <kel2fram@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "convert weight lists into Map_Mass records for Framix")
set(CPACK_PACKAGE_DESCRIPTION [[
kel2fram is an interactive console tool for structural engineers. It reads
a weight list, a text file that gives on each line a mass and the X, Y and Z
coordinates of the point where it acts, in a free format that allows simple
expressions. A short dialogue asks for the files, the mass unit, the number
of nodes each mass is spread to and optional coordinate ranges; the tool
then writes one Map_Mass record per kept mass, with a report of the total
mass and the centre of gravity.

The package also contains kitdump, which shows how each line of a weight
list is read, and massplot, which draws a Map_Mass file as an SVG picture
of plan, elevation and section, so that misplaced masses show at a glance.]])
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
find_program(KEL2FRAM_DPKG dpkg)
if(KEL2FRAM_DPKG)
  execute_process(COMMAND ${KEL2FRAM_DPKG} --print-architecture
                  OUTPUT_VARIABLE CPACK_DEBIAN_PACKAGE_ARCHITECTURE OUTPUT_STRIP_TRAILING_WHITESPACE)
elseif(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64)$")
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE amd64)
elseif(CMAKE_SYSTEM_PROCESSOR MATCHES "^(aarch64|arm64)$")
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE arm64)
endif()
# Library dependencies (libc6, libstdc++6, ...) are found by dpkg-shlibdeps
# where it exists.
find_program(KEL2FRAM_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(KEL2FRAM_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()
