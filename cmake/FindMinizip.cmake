# The zip reader of zlib's contributions (Debian package libminizip-dev; zlib licence).
# Gives the imported target Minizip::Minizip and Minizip_FOUND.
find_package(ZLIB QUIET)
find_path(MINIZIP_INCLUDE_DIR minizip/unzip.h)
find_library(MINIZIP_LIBRARY NAMES minizip)
include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(Minizip REQUIRED_VARS MINIZIP_LIBRARY MINIZIP_INCLUDE_DIR ZLIB_FOUND)
if(Minizip_FOUND AND NOT TARGET Minizip::Minizip)
  add_library(Minizip::Minizip UNKNOWN IMPORTED)
  set_target_properties(Minizip::Minizip PROPERTIES
    IMPORTED_LOCATION "${MINIZIP_LIBRARY}"
    INTERFACE_INCLUDE_DIRECTORIES "${MINIZIP_INCLUDE_DIR}"
    INTERFACE_LINK_LIBRARIES ZLIB::ZLIB)
endif()
mark_as_advanced(MINIZIP_INCLUDE_DIR MINIZIP_LIBRARY)
