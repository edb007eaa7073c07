# What `cmake --install` puts where, and the packages CPack makes of it (scripts/package.sh):
#   Linux:   a Debian package: halvex-installer and halvex-sim in /usr/bin, their man pages, the
#            README, the changelog and the licence under /usr/share/doc/halvex-installer.
#   Windows: a zip: halvex-installer.exe, README, the licence and an example package store.
# CPack does not build: scripts/package.sh builds the installed targets first.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY TRUE)

set(CPACK_PACKAGE_NAME halvex-installer)
set(CPACK_PACKAGE_VENDOR Halvex)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Installs software on Halvex pressure instruments over a serial line")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES TRUE)
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR}/package)

if(WIN32)
  install(TARGETS halvex-installer RUNTIME DESTINATION .)
  install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION . RENAME README.txt)
  install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION . RENAME LICENSE.txt)
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/packaging/store/packages
                    ${PROJECT_SOURCE_DIR}/packaging/store/files DESTINATION .)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME halvex-installer-${PROJECT_VERSION}-win64)
else()
  include(GNUInstallDirs)
  install(TARGETS halvex-installer halvex-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

  # Man pages: the version filled in, compressed as Debian keeps them.
  find_program(HALVEX_GZIP gzip REQUIRED)
  set(man_pages)
  foreach(page halvex-installer.1 halvex-sim.1)
    set(man_page ${CMAKE_BINARY_DIR}/man/${page})
    configure_file(${PROJECT_SOURCE_DIR}/docs/man/${page}.in ${man_page} @ONLY)
    add_custom_command(
      OUTPUT ${man_page}.gz
      COMMAND ${HALVEX_GZIP} -9 -n -f -k ${man_page}
      DEPENDS ${man_page}
      COMMENT "Compressing the man page ${page}"
      VERBATIM)
    list(APPEND man_pages ${man_page}.gz)
  endforeach()
  add_custom_target(halvex_man_pages ALL DEPENDS ${man_pages})
  install(FILES ${man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

  set(doc_dir ${CMAKE_INSTALL_DATADIR}/doc/halvex-installer)
  install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${doc_dir})
  install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${doc_dir} RENAME copyright)

  # The package's changelog (packaging/debian/changelog, Debian's format), compressed as Debian
  # keeps it. Its latest entry must be this version.
  set(changelog ${PROJECT_SOURCE_DIR}/packaging/debian/changelog)
  file(STRINGS ${changelog} changelog_head LIMIT_COUNT 1)
  if(NOT changelog_head MATCHES "^halvex-installer \\(${PROJECT_VERSION}\\) ")
    message(FATAL_ERROR "packaging/debian/changelog has no entry for ${PROJECT_VERSION} at its top")
  endif()
  configure_file(${changelog} ${CMAKE_BINARY_DIR}/doc/changelog COPYONLY)
  add_custom_command(
    OUTPUT ${CMAKE_BINARY_DIR}/doc/changelog.gz
    COMMAND ${HALVEX_GZIP} -9 -n -f -k ${CMAKE_BINARY_DIR}/doc/changelog
    DEPENDS ${CMAKE_BINARY_DIR}/doc/changelog
    COMMENT "Compressing the changelog"
    VERBATIM)
  add_custom_target(halvex_changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/doc/changelog.gz)
  install(FILES ${CMAKE_BINARY_DIR}/doc/changelog.gz DESTINATION ${doc_dir})

  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  # The same contact as in the changelog's entries.
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Halvex Service <service@halvex.example>")
  set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
  # Lines of at most 79 characters (Debian's limit for the extended description).
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
      "halvex-installer identifies the instrument on a serial port, sends a software
package's image to its resident installer and waits for the instrument to
restart. halvex-sim plays such an instrument on a pseudo-terminal.")
  # Library dependencies from the binaries themselves (dpkg-shlibdeps).
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()

include(CPack)
