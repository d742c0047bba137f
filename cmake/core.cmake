# The core library (every source of src/ but the thin entry point) and what
# it links: one home for the source list and the dependency lookups, which
# the main build and the fuzz build (fuzz/CMakeLists.txt) both include.
#
# On Windows SQLite and fparser come from scripts/windows-deps.sh, built from
# Debian's source packages; ICU is not needed there (the collations use
# Windows' own).
include_guard(GLOBAL)
get_filename_component(VANTOR_ROOT ${CMAKE_CURRENT_LIST_DIR}/.. ABSOLUTE)
include(${CMAKE_CURRENT_LIST_DIR}/platform_sources.cmake)

find_package(SQLite3 REQUIRED)
find_package(Threads REQUIRED)
find_path(FPARSER_INCLUDE_DIR fparser.hh REQUIRED)
find_library(FPARSER_LIBRARY fparser REQUIRED)
if(WIN32)
  set(VANTOR_PLATFORM_LIBRARIES shell32 advapi32)
else()
  find_package(ICU REQUIRED COMPONENTS uc i18n)
  set(VANTOR_PLATFORM_LIBRARIES ICU::i18n ICU::uc)
endif()

# Adds the static core library `target`, which reports `version` as its own.
function(vantor_add_core_library target version)
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${VANTOR_ROOT}/src/*.cpp)
  list(FILTER sources EXCLUDE REGEX "/src/cli/main\\.cpp$")
  vantor_keep_platform_sources(sources)
  add_library(${target} STATIC ${sources})
  target_include_directories(${target} PUBLIC ${VANTOR_ROOT}/src ${FPARSER_INCLUDE_DIR})
  target_link_libraries(${target} PUBLIC SQLite::SQLite3 ${FPARSER_LIBRARY} ${VANTOR_PLATFORM_LIBRARIES}
                        Threads::Threads)
  target_compile_definitions(${target} PUBLIC VANTOR_VERSION="${version}")
  # The UTF-16 unit loops run over every column of every row; at -O2 g++
  # vectorises only loops of a known trip count, and these are not.
  set_source_files_properties(${VANTOR_ROOT}/src/text/utf16.cpp TARGET_DIRECTORY ${target}
                              PROPERTIES COMPILE_OPTIONS "$<$<CXX_COMPILER_ID:GNU>:-fvect-cost-model=dynamic>")
endfunction()
