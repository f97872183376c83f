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

# Manual pages and the changelog go into the package compressed, as Debian
# has them; gzip -n keeps the name and time stamp out so that two builds of
# one source give the same bytes.
find_program(GZIP_EXECUTABLE gzip REQUIRED)
set(compressed_dir ${CMAKE_BINARY_DIR}/compressed)
set(compressed_files)
function(tarnvik_install_gzipped source destination name)
  set(out ${compressed_dir}/${name}.gz)
  add_custom_command(OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${compressed_dir}
    COMMAND ${GZIP_EXECUTABLE} -9 -n -c ${source} > ${out}
    DEPENDS ${source} VERBATIM)
  set(compressed_files ${compressed_files} ${out} PARENT_SCOPE)
  install(FILES ${out} DESTINATION ${destination})
endfunction()
set(man1_dir ${CMAKE_INSTALL_MANDIR}/man1)
tarnvik_install_gzipped(${PROJECT_SOURCE_DIR}/src/cli/tarnvik-cli.1 ${man1_dir} tarnvik-cli.1)
tarnvik_install_gzipped(${PROJECT_SOURCE_DIR}/src/sim/tarnbox-sim.1 ${man1_dir} tarnbox-sim.1)
if(TARNVIK_GUI)
  tarnvik_install_gzipped(${PROJECT_SOURCE_DIR}/data/tarnvik.1 ${man1_dir} tarnvik.1)
endif()
tarnvik_install_gzipped(${PROJECT_SOURCE_DIR}/data/changelog ${doc_dir} changelog)
add_custom_target(compressed_docs ALL DEPENDS ${compressed_files})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarnvik)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Tarnvik developers")
# The package's maintainer; a build for distribution sets its own address.
set(TARNVIK_PACKAGE_CONTACT "The Tarnvik developers <tarnvik@tarnvik.invalid>"
    CACHE STRING "Maintainer field of the Debian package")
set(CPACK_PACKAGE_CONTACT ${TARNVIK_PACKAGE_CONTACT})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "PIC programmer software for the Tarnbox board")
# The extended description as dpkg shows it: lines of at most 80 columns.
set(CPACK_PACKAGE_DESCRIPTION
"Reads, programs, verifies and erases PIC10F/12F/16F/18F microcontrollers
with the Tarnbox programmer on a serial port: a Japanese Qt window (tarnvik),
a command line for scripts and production benches (tarnvik-cli) and a
simulated board (tarnbox-sim).")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The configuration bit names come from gputils' assembler headers; the
# window's Japanese font, Qt's own texts in Japanese, and bash-completion,
# which loads tarnvik-cli's completion.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "gputils-common, fonts-ipafont-gothic, qt6-translations-l10n, bash-completion")
set(CPACK_STRIP_FILES ON)
include(CPack)
