# Tessarine's host library, for a host built with mingw-w64 for Windows: find_package(Tessarine
# CONFIG) and link Tessarine::host. The archives of the host's own machine are chosen.
get_filename_component(_tessarine_prefix "${CMAKE_CURRENT_LIST_DIR}/../../.." ABSOLUTE)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(_tessarine_lib "${_tessarine_prefix}/lib/x64")
else()
  set(_tessarine_lib "${_tessarine_prefix}/lib/x86")
endif()
if(NOT TARGET Tessarine::host)
  foreach(_tessarine_part core host_core host)
    add_library(Tessarine::${_tessarine_part}_archive STATIC IMPORTED)
    set_target_properties(Tessarine::${_tessarine_part}_archive PROPERTIES
      IMPORTED_LOCATION "${_tessarine_lib}/libtessarine_${_tessarine_part}.a")
  endforeach()
  add_library(Tessarine::host INTERFACE IMPORTED)
  set_target_properties(Tessarine::host PROPERTIES
    INTERFACE_INCLUDE_DIRECTORIES "${_tessarine_prefix}/include/tessarine"
    INTERFACE_COMPILE_FEATURES cxx_std_20
    INTERFACE_LINK_LIBRARIES
      "Tessarine::host_archive;Tessarine::host_core_archive;Tessarine::core_archive;gdiplus;gdi32;user32")
endif()
set(Tessarine_SERVERS "${_tessarine_prefix}/bin")
unset(_tessarine_lib)
unset(_tessarine_prefix)
