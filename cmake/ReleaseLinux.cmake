# The Linux release: `cmake --install`, and CPack's tessarine-scan-VERSION-linux-x86_64.tar.gz and
# tessarine-scan_VERSION_amd64.deb, holding
#   bin/      tessarine-scan, ScanServer-linux-x86_64 (the scanner finds the server beside it)
#   include/tessarine/host/  the host library's public headers
#   lib/      the host library, static; lib/cmake/Tessarine: find_package(Tessarine CONFIG)
#   share/doc/tessarine-scan/  README.md and the example host
install(TARGETS tessarine-scan ScanServer-linux-x86_64 RUNTIME DESTINATION bin)
install(FILES ${tessarine_public_headers} DESTINATION include/tessarine/host)
install(TARGETS ${tessarine_host_archives} ARCHIVE DESTINATION lib)
include(CMakePackageConfigHelpers)
write_basic_package_version_file(${CMAKE_BINARY_DIR}/TessarineConfigVersion.cmake COMPATIBILITY SameMinorVersion
                                 ARCH_INDEPENDENT)
install(FILES cmake/TessarineConfig.cmake ${CMAKE_BINARY_DIR}/TessarineConfigVersion.cmake DESTINATION lib/cmake/Tessarine)
install(DIRECTORY examples/minimal-host DESTINATION share/doc/tessarine-scan/examples)
install(FILES README.md docs/linux-abi.md DESTINATION share/doc/tessarine-scan)

set(CPACK_GENERATOR TGZ DEB)
set(CPACK_PACKAGE_NAME tessarine-scan)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME tessarine-scan-${PROJECT_VERSION}-linux-x86_64)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Out-of-process scanner and checker for VST 2, VST 3 and CLAP plug-ins")
set(CPACK_PACKAGE_CONTACT "Tessarine developers <tessarine@example.org>")
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/../release)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
# The libraries the programs link, as dpkg-shlibdeps reads them off the binaries.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
