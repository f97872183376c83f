# The version a build is known by: in the package, in --version and in the
# AppStream release list.
#
# A release is the commit tagged v<project version> (v2.53): built from it,
# or from a source tree without git (a tarball), the version is the plain
# project version. Any other commit is a build between releases and gets
# <project version>+git<YYYYMMDD>.<hash>: the date of its commit (UTC) and
# its abbreviated hash. dpkg sorts it after the release it follows and before
# the next one, and two commits of one day apart by the later date or hash
# only, which is why the date comes first.
#
# tarnvik_git_version(SOURCE_DIR BASE VERSION_VAR EPOCH_VAR REVISION_VAR DIRTY_VAR)
# sets VERSION_VAR, EPOCH_VAR (the commit's time as seconds since 1970, empty
# without git), REVISION_VAR (the abbreviated hash, empty without git) and
# DIRTY_VAR (true when tracked files differ from the commit).
function(tarnvik_git_version source_dir base version_var epoch_var revision_var dirty_var)
  set(version ${base})
  set(epoch "")
  set(revision "")
  set(dirty FALSE)
  find_program(TARNVIK_GIT git)
  # Only the source tree's own repository counts: a tarball unpacked inside
  # another checkout is no commit of Tarnvik's.
  if(TARNVIK_GIT)
    execute_process(COMMAND ${TARNVIK_GIT} -C ${source_dir} rev-parse --show-toplevel
                    OUTPUT_VARIABLE top OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    file(REAL_PATH "${source_dir}" source_real)
    if(NOT top STREQUAL "")
      file(REAL_PATH "${top}" top)
    endif()
  endif()
  if(TARNVIK_GIT AND top STREQUAL source_real)
    execute_process(COMMAND ${TARNVIK_GIT} -C ${source_dir} log -1 --format=%ct
                    OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET
                    RESULT_VARIABLE failed)
    if(failed OR NOT epoch MATCHES "^[0-9]+$")
      set(epoch "")
    endif()
  endif()
  if(NOT epoch STREQUAL "")
    execute_process(COMMAND ${TARNVIK_GIT} -C ${source_dir} rev-parse --short=7 HEAD
                    OUTPUT_VARIABLE revision OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    execute_process(COMMAND ${TARNVIK_GIT} -C ${source_dir} tag --points-at HEAD
                    OUTPUT_VARIABLE tags OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    string(REPLACE "\n" ";" tags "${tags}")
    list(FIND tags "v${base}" tagged)
    if(tagged EQUAL -1)
      execute_process(COMMAND ${CMAKE_COMMAND} -E env TZ=UTC
                              ${TARNVIK_GIT} -C ${source_dir} log -1 --format=%cd --date=format-local:%Y%m%d
                      OUTPUT_VARIABLE day OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
      set(version "${base}+git${day}.${revision}")
    endif()
    execute_process(COMMAND ${TARNVIK_GIT} -C ${source_dir} status --porcelain --untracked-files=no
                    OUTPUT_VARIABLE changed OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    if(NOT changed STREQUAL "")
      set(dirty TRUE)
    endif()
  endif()
  set(${version_var} ${version} PARENT_SCOPE)
  set(${epoch_var} ${epoch} PARENT_SCOPE)
  set(${revision_var} ${revision} PARENT_SCOPE)
  set(${dirty_var} ${dirty} PARENT_SCOPE)
endfunction()
