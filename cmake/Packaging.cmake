# Files beside the programs, and the Debian package: scripts/package runs
# cpack on the release preset's build.

# Where bash-completion looks for completions, relative to the prefix so that
# an install under ~/.local stays there.
find_package(PkgConfig QUIET)
set(completions_dir ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
if(PkgConfig_FOUND)
  pkg_get_variable(bash_completions bash-completion completionsdir)
  if(bash_completions MATCHES "^/usr/(.*)$")
    set(completions_dir ${CMAKE_MATCH_1})
  endif()
endif()
set(doc_dir ${CMAKE_INSTALL_DATADIR}/doc/tarnvik)
install(FILES data/tarnvik-cli.bash-completion DESTINATION ${completions_dir} RENAME tarnvik-cli)
install(FILES data/tarnvik.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo
        RENAME org.tarnvik.Tarnvik.metainfo.xml)
install(FILES data/copyright DESTINATION ${doc_dir})
install(FILES data/70-tarnbox.rules DESTINATION ${doc_dir}/examples)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarnvik)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Tarnvik developers")
set(CPACK_PACKAGE_CONTACT "The Tarnvik developers <tarnvik@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "PIC programmer software for the Tarnbox board")
set(CPACK_PACKAGE_DESCRIPTION
    "Reads, programs, verifies and erases PIC10F/12F/16F/18F microcontrollers with the \
Tarnbox programmer on a serial port: a Japanese Qt window (tarnvik), a command line \
for scripts and production benches (tarnvik-cli) and a simulated board (tarnbox-sim).")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The configuration bit names come from gputils' assembler headers; the
# window's Japanese font and Qt's own texts in Japanese.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "gputils-common, fonts-ipafont-gothic, qt6-translations-l10n")
set(CPACK_STRIP_FILES ON)
include(CPack)
