# What `cmake --install` puts in place, the package files for consumers (pkg-config and
# find_package), and the Debian package (cpack -G DEB).
include(CMakePackageConfigHelpers)

set(LUMORA_SANE_BACKEND_DIR ${CMAKE_INSTALL_LIBDIR}/sane)
# A system install (prefix /usr) keeps its configuration in /etc, not /usr/etc.
if(CMAKE_INSTALL_FULL_SYSCONFDIR STREQUAL "/etc")
  set(LUMORA_SANE_CONFIG_DIR /etc/sane.d)
else()
  set(LUMORA_SANE_CONFIG_DIR ${CMAKE_INSTALL_SYSCONFDIR}/sane.d)
endif()
set(LUMORA_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Lumora)
set(LUMORA_PC_DIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# The driver and the run-time libraries it loads from its own folder; the emulator too, so
# that an installed driver can run on the emulated scanner (LUMORA_EPP_DEVICE=emulator).
install(TARGETS lumora LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
foreach(plugin zrconfig zrip lumorausb lumoraemu)
  if(TARGET ${plugin})
    install(TARGETS ${plugin} LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
  endif()
endforeach()
install(FILES ${CMAKE_SOURCE_DIR}/include/lumora/lumora.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/lumora)

# Commands.
install(TARGETS lumora_cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# Man pages compressed, as distributions keep them.
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/man/lumora.1.gz
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/man/lumora.1 ${CMAKE_BINARY_DIR}/man/lumora.1
  COMMAND gzip -9nf ${CMAKE_BINARY_DIR}/man/lumora.1
  DEPENDS ${CMAKE_SOURCE_DIR}/man/lumora.1 VERBATIM)
add_custom_target(lumora_man ALL DEPENDS ${CMAKE_BINARY_DIR}/man/lumora.1.gz)
install(FILES ${CMAKE_BINARY_DIR}/man/lumora.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
if(TARGET lumora-boxd)
  install(TARGETS lumora-boxd RUNTIME DESTINATION ${CMAKE_INSTALL_SBINDIR})
endif()
if(TARGET lumora-boxd)
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/man/lumora-boxd.8.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
    COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/man/lumora-boxd.8 ${CMAKE_BINARY_DIR}/man/lumora-boxd.8
    COMMAND gzip -9nf ${CMAKE_BINARY_DIR}/man/lumora-boxd.8
    DEPENDS ${CMAKE_SOURCE_DIR}/man/lumora-boxd.8 VERBATIM)
  add_custom_target(lumora_boxd_man ALL DEPENDS ${CMAKE_BINARY_DIR}/man/lumora-boxd.8.gz)
  install(FILES ${CMAKE_BINARY_DIR}/man/lumora-boxd.8.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man8)
endif()

# SANE backend: the library in SANE's backend folder, its line in dll.d, its configuration.
install(TARGETS sane-lumora LIBRARY DESTINATION ${LUMORA_SANE_BACKEND_DIR} NAMELINK_SKIP)
file(WRITE ${CMAKE_BINARY_DIR}/sane-dll.d/lumora "lumora\n")
install(FILES ${CMAKE_BINARY_DIR}/sane-dll.d/lumora DESTINATION ${LUMORA_SANE_CONFIG_DIR}/dll.d)
install(FILES ${CMAKE_SOURCE_DIR}/sane/lumora.conf DESTINATION ${LUMORA_SANE_CONFIG_DIR})

# Example configuration.
install(FILES ${CMAKE_SOURCE_DIR}/examples/lumora.ini ${CMAKE_SOURCE_DIR}/examples/zrconfig.ini
              ${CMAKE_SOURCE_DIR}/examples/emulator.ini
        DESTINATION ${CMAKE_INSTALL_DATADIR}/lumora/examples)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/examples/scripts
        DESTINATION ${CMAKE_INSTALL_DATADIR}/lumora/examples)

# pkg-config, relocatable: the prefix is found from the file's own folder.
file(RELATIVE_PATH LUMORA_PC_TO_PREFIX /${LUMORA_PC_DIR} /)
string(REGEX REPLACE "/$" "" LUMORA_PC_TO_PREFIX "${LUMORA_PC_TO_PREFIX}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/lumora.pc.in ${CMAKE_BINARY_DIR}/lumora.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/lumora.pc DESTINATION ${LUMORA_PC_DIR})

# CMake package with the imported target Lumora::lumora.
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/LumoraConfig.cmake.in
  ${CMAKE_BINARY_DIR}/LumoraConfig.cmake INSTALL_DESTINATION ${LUMORA_CMAKE_DIR}
  PATH_VARS CMAKE_INSTALL_LIBDIR CMAKE_INSTALL_INCLUDEDIR)
write_basic_package_version_file(${CMAKE_BINARY_DIR}/LumoraConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/LumoraConfig.cmake ${CMAKE_BINARY_DIR}/LumoraConfigVersion.cmake
        DESTINATION ${LUMORA_CMAKE_DIR})

# Debian package: configure with -DCMAKE_INSTALL_PREFIX=/usr so that the libraries land in
# the multiarch folder (where SANE's dll backend looks) and the configuration in /etc.
set(CPACK_PACKAGE_NAME lumora)
set(CPACK_PACKAGE_VENDOR "Lumora")
set(CPACK_PACKAGE_CONTACT "Lumora driver developers <driver@lumora.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "driver for Lumora storage-phosphor plate scanners, with a SANE backend and DICOM export")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "sane-utils")
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_SET_DESTDIR ON)  # /etc/sane.d goes into the package, not onto this machine
# Files under /etc are the administrator's: dpkg keeps their changes.
if(IS_ABSOLUTE ${LUMORA_SANE_CONFIG_DIR})
  file(WRITE ${CMAKE_BINARY_DIR}/debian/conffiles
       "${LUMORA_SANE_CONFIG_DIR}/lumora.conf\n${LUMORA_SANE_CONFIG_DIR}/dll.d/lumora\n")
  set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_BINARY_DIR}/debian/conffiles)
endif()
include(CPack)
