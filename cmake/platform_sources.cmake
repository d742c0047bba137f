# The platform layer (src/platform, and tests/platform for the tests) holds
# one file per concern and system: *_posix.cpp and *_icu.cpp for Linux,
# *_windows.cpp for Windows. The build keeps the ones of the system it builds
# for; a file named so anywhere else is a mistake, and stops the configure.
function(vantor_keep_platform_sources list_var)
  set(sources ${${list_var}})
  set(misplaced ${sources})
  list(FILTER misplaced INCLUDE REGEX "_(posix|icu|windows)\\.cpp$")
  list(FILTER misplaced EXCLUDE REGEX "/platform/[^/]*\\.cpp$")
  if(misplaced)
    message(FATAL_ERROR "platform files outside a platform folder: ${misplaced}")
  endif()
  if(WIN32)
    list(FILTER sources EXCLUDE REGEX "/platform/[^/]*_(posix|icu)\\.cpp$")
  else()
    list(FILTER sources EXCLUDE REGEX "/platform/[^/]*_windows\\.cpp$")
  endif()
  set(${list_var} ${sources} PARENT_SCOPE)
endfunction()
