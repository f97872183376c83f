# Writes OUTPUT with the version the build is known by (GitVersion.cmake),
# only when it changed so that an unchanged revision rebuilds nothing. Run at
# every build, so that --version follows a new commit without a new
# configure.
include(${CMAKE_CURRENT_LIST_DIR}/GitVersion.cmake)
tarnvik_git_version(${SOURCE_DIR} ${BASE_VERSION} version epoch revision dirty)
if(dirty)
  set(dirty 1)
else()
  set(dirty 0)
endif()
set(text "// Generated at build time.
#define TARNVIK_BUILD_VERSION \"${version}\"
#define TARNVIK_BUILD_MODIFIED ${dirty}
")
if(EXISTS ${OUTPUT})
  file(READ ${OUTPUT} old)
else()
  set(old "")
endif()
if(NOT old STREQUAL text)
  file(WRITE ${OUTPUT} "${text}")
endif()
