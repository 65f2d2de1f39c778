# Tessarine's host library: find_package(Tessarine CONFIG) and link Tessarine::host. On Windows
# (a host built with mingw-w64) the archives of the host's own machine are chosen; on Linux
# there is one. Tessarine_SERVERS is the folder of the scan servers.
get_filename_component(_tessarine_prefix "${CMAKE_CURRENT_LIST_DIR}/../../.." ABSOLUTE)
if(WIN32 AND CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(_tessarine_lib "${_tessarine_prefix}/lib/x64")
  set(_tessarine_system gdiplus gdi32 user32)
elseif(WIN32)
  set(_tessarine_lib "${_tessarine_prefix}/lib/x86")
  set(_tessarine_system gdiplus gdi32 user32)
else()
  set(_tessarine_lib "${_tessarine_prefix}/lib")
  find_package(Threads REQUIRED)
  set(_tessarine_system Threads::Threads)
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
      "Tessarine::host_archive;Tessarine::host_core_archive;Tessarine::core_archive;${_tessarine_system}")
endif()
set(Tessarine_SERVERS "${_tessarine_prefix}/bin")
unset(_tessarine_lib)
unset(_tessarine_prefix)
unset(_tessarine_system)
