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
install(FILES data/copyright DESTINATION ${doc_dir})
install(FILES data/tarnvik.lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
        RENAME tarnvik)
install(FILES README.md DESTINATION ${doc_dir})
install(FILES data/70-tarnbox.rules DESTINATION ${doc_dir}/examples)
# The rule that opens the Tarnbox's USB serial adapters to the seated user,
# where udev reads the rules packages bring.
install(FILES data/70-tarnvik.rules DESTINATION lib/udev/rules.d)

# The package's maintainer; a build for distribution sets its own address.
set(TARNVIK_PACKAGE_CONTACT "The Tarnvik developers <tarnvik@tarnvik.invalid>"
    CACHE STRING "Maintainer field of the Debian package")

# The AppStream release list and the changelog lead with the build's own
# version when it is one between releases (GitVersion.cmake), dated by its
# commit, so that both name what the package is.
set(generated_dir ${CMAKE_BINARY_DIR}/generated)
set(TARNVIK_RELEASE_ENTRY "")
set(changelog ${PROJECT_SOURCE_DIR}/data/changelog)
if(NOT TARNVIK_VERSION STREQUAL PROJECT_VERSION)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env TZ=UTC LC_ALL=C
                          ${TARNVIK_GIT} -C ${PROJECT_SOURCE_DIR} log -1 --date=format-local:%Y-%m-%d --format=%cd
                  OUTPUT_VARIABLE day OUTPUT_STRIP_TRAILING_WHITESPACE)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env TZ=UTC LC_ALL=C
                          ${TARNVIK_GIT} -C ${PROJECT_SOURCE_DIR} log -1 "--date=format-local:%a, %d %b %Y %H:%M:%S +0000"
                          --format=%cd
                  OUTPUT_VARIABLE stamp OUTPUT_STRIP_TRAILING_WHITESPACE)
  set(TARNVIK_RELEASE_ENTRY "<release version=\"${TARNVIK_VERSION}\" date=\"${day}\" type=\"development\"/>\n    ")
  file(READ ${PROJECT_SOURCE_DIR}/data/changelog released)
  set(changelog ${generated_dir}/changelog)
  file(WRITE ${changelog}.new "tarnvik (${TARNVIK_VERSION}) unstable; urgency=medium

  * Build between releases from git commit ${TARNVIK_GIT_REVISION}.

 -- ${TARNVIK_PACKAGE_CONTACT}  ${stamp}

${released}")
  file(COPY_FILE ${changelog}.new ${changelog} ONLY_IF_DIFFERENT)
  file(REMOVE ${changelog}.new)
endif()
configure_file(data/tarnvik.metainfo.xml ${generated_dir}/org.tarnvik.Tarnvik.metainfo.xml @ONLY)
install(FILES ${generated_dir}/org.tarnvik.Tarnvik.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

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
tarnvik_install_gzipped(${changelog} ${doc_dir} changelog)
add_custom_target(compressed_docs ALL DEPENDS ${compressed_files})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarnvik)
set(CPACK_PACKAGE_VERSION ${TARNVIK_VERSION})
set(CPACK_PACKAGE_VENDOR "The Tarnvik developers")
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
# Every folder as Debian has them, whatever the builder's umask.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# The header-only libraries compiled into the programs, by their Debian
# source packages and the versions this build used: Static-Built-Using says
# which sources the binaries contain (their licences are in copyright).
# CPack has no field of its own for it; the line rides after Source, which
# names the package's own source.
set(static_sources)
foreach(dev libcli11-dev nlohmann-json3-dev libsimpleini-dev)
  execute_process(COMMAND dpkg-query -W "-f=\${source:Package} (= \${source:Version})" ${dev}
                  OUTPUT_VARIABLE source RESULT_VARIABLE failed ERROR_QUIET)
  if(failed OR source STREQUAL "")
    message(WARNING "dpkg does not know ${dev}: the package names no Static-Built-Using")
    set(static_sources)
    break()
  endif()
  list(APPEND static_sources "${source}")
endforeach()
set(CPACK_DEBIAN_PACKAGE_SOURCE tarnvik)
if(static_sources)
  list(JOIN static_sources ", " static_sources)
  set(CPACK_DEBIAN_PACKAGE_SOURCE "tarnvik\nStatic-Built-Using: ${static_sources}")
endif()
include(CPack)
