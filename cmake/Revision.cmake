# Writes OUTPUT with the source tree's git revision, only when it changed so
# that an unchanged revision rebuilds nothing. Run at every build.
execute_process(COMMAND git -C ${SOURCE_DIR} describe --always --dirty --abbrev=7
                OUTPUT_VARIABLE revision OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET
                RESULT_VARIABLE failed)
if(failed)
  set(revision "")
endif()
set(text "// Generated at build time.\n#define TARNVIK_REVISION \"${revision}\"\n")
if(EXISTS ${OUTPUT})
  file(READ ${OUTPUT} old)
else()
  set(old "")
endif()
if(NOT old STREQUAL text)
  file(WRITE ${OUTPUT} "${text}")
endif()
