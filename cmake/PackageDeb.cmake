# The Debian package (cpack -G DEB in the build directory): bin/tarvo, libduckdb.so and the bronze definitions,
# for the architecture the build targets (armhf in a cross build). Its dependencies are what dpkg-shlibdeps
# reads from the programs' linked libraries (libicu, libstdc++, ...), so they follow the build.

# The target's Debian architecture from its multiarch triplet (arm-linux-gnueabihf -> armhf).
execute_process(COMMAND dpkg-architecture -t "${CMAKE_LIBRARY_ARCHITECTURE}" -q DEB_HOST_ARCH
                OUTPUT_VARIABLE tarvo_deb_arch OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR tarvo_deb_arch STREQUAL "")
  message(STATUS "Debian package: no Debian architecture for '${CMAKE_LIBRARY_ARCHITECTURE}', cpack -G DEB unavailable")
  return()
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarvo)
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_CONTACT "tarvo maintainers <tarvo@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Batch pipeline for the early-warning scoreboard, with its dashboards and verifier")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE "${tarvo_deb_arch}")
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# libduckdb.so comes with the package itself.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS "${TARVO_DUCKDB_ROOT}/lib")

# dpkg-shlibdeps looks the libraries up for the host architecture unless told the target's.
set(CPACK_PROJECT_CONFIG_FILE "${CMAKE_BINARY_DIR}/CPackProjectConfig.cmake")
file(WRITE "${CPACK_PROJECT_CONFIG_FILE}" "set(ENV{DEB_HOST_ARCH} \"${tarvo_deb_arch}\")\n")

include(CPack)
