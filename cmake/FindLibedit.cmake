# Finds libedit, the BSD-licensed line-editing library (Debian package libedit-dev): through
# pkg-config where it is installed, else by its header and library. Defines Libedit_FOUND and
# the imported target Libedit::Libedit.
find_package(PkgConfig QUIET)
if(PKG_CONFIG_FOUND)
  pkg_check_modules(PC_Libedit QUIET libedit)
endif()
find_path(Libedit_INCLUDE_DIR histedit.h HINTS ${PC_Libedit_INCLUDEDIR} ${PC_Libedit_INCLUDE_DIRS})
find_library(Libedit_LIBRARY NAMES edit HINTS ${PC_Libedit_LIBDIR} ${PC_Libedit_LIBRARY_DIRS})
include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(Libedit REQUIRED_VARS Libedit_LIBRARY Libedit_INCLUDE_DIR)
mark_as_advanced(Libedit_INCLUDE_DIR Libedit_LIBRARY)
if(Libedit_FOUND AND NOT TARGET Libedit::Libedit)
  add_library(Libedit::Libedit UNKNOWN IMPORTED)
  set_target_properties(Libedit::Libedit PROPERTIES
    IMPORTED_LOCATION "${Libedit_LIBRARY}"
    INTERFACE_INCLUDE_DIRECTORIES "${Libedit_INCLUDE_DIR}")
endif()
