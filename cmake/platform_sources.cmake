# The platform layer (src/platform, and tests/platform for the tests) holds
# one file per concern and system: *_posix.cpp and *_icu.cpp for Linux,
# *_windows.cpp for Windows. The build keeps the ones of the system it builds for.
function(vantor_keep_platform_sources list_var)
  set(sources ${${list_var}})
  if(WIN32)
    list(FILTER sources EXCLUDE REGEX "_(posix|icu)\\.cpp$")
  else()
    list(FILTER sources EXCLUDE REGEX "_windows\\.cpp$")
  endif()
  set(${list_var} ${sources} PARENT_SCOPE)
endfunction()
