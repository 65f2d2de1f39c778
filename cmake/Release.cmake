# The release: `cmake --install` and a CPack ZIP, tessarine-scan-VERSION-windows.zip, holding
#   bin/      tessarine-scan.exe, ScanServer-x64.exe, ScanServer-x86.exe
#   include/  the host library's public headers (include/tessarine/host/*.h)
#   lib/x64, lib/x86   the host library for each machine, static
#   lib/cmake/Tessarine  the package config: find_package(Tessarine CONFIG) gives Tessarine::host
#   examples/minimal-host, README.md
set(release_bin ${CMAKE_BINARY_DIR}/bin)
install(TARGETS tessarine-scan ScanServer-x64 RUNTIME DESTINATION bin)
install(PROGRAMS ${release_bin}/ScanServer-x86.exe DESTINATION bin)
install(FILES ${tessarine_public_headers} DESTINATION include/tessarine/host)
install(TARGETS ${tessarine_host_archives} ARCHIVE DESTINATION lib/x64)
foreach(archive ${tessarine_host_archives})
  install(FILES ${CMAKE_BINARY_DIR}/lib-x86/lib${archive}.a DESTINATION lib/x86)
endforeach()
include(CMakePackageConfigHelpers)
write_basic_package_version_file(${CMAKE_BINARY_DIR}/TessarineConfigVersion.cmake COMPATIBILITY SameMinorVersion
                                 ARCH_INDEPENDENT)
install(FILES cmake/TessarineConfig.cmake ${CMAKE_BINARY_DIR}/TessarineConfigVersion.cmake DESTINATION lib/cmake/Tessarine)
install(DIRECTORY examples/minimal-host DESTINATION examples)
install(FILES README.md DESTINATION .)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME tessarine-scan)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME tessarine-scan-${PROJECT_VERSION}-windows)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/../release)
include(CPack)
