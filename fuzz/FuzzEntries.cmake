# The entry functions of the fuzz targets (FuzzEntries.h) as one static
# library: the libFuzzer programs (fuzz/CMakeLists.txt) and the corpus replay
# of the tests (tests/fuzz) both link it, so a checked-in input runs through
# the same code with the normal compiler as under libFuzzer. The JSON-text
# target needs nlohmann-json (Debian's nlohmann-json3-dev) and the tool's
# formatters (kvres_formatters); without them that target is left out and
# KVRES_FUZZ_JSON_TEXT is 0.
if(NOT TARGET kvres_fuzz_entries)
  find_package(nlohmann_json 3 QUIET)
  set(KVRES_FUZZ_DIR ${CMAKE_SOURCE_DIR}/fuzz)
  add_library(kvres_fuzz_entries STATIC
    ${KVRES_FUZZ_DIR}/CountingAllocator.cpp
    ${KVRES_FUZZ_DIR}/FuzzFailure.cpp
    ${KVRES_FUZZ_DIR}/FuzzLabelNumber.cpp
    ${KVRES_FUZZ_DIR}/FuzzScanReference.cpp
    ${KVRES_FUZZ_DIR}/FuzzSeries.cpp
    ${KVRES_FUZZ_DIR}/FuzzSingleFile.cpp
    ${KVRES_FUZZ_DIR}/LabelNumberReference.cpp
    ${KVRES_FUZZ_DIR}/ReaderPromises.cpp
    ${KVRES_FUZZ_DIR}/ScanReference.cpp
    ${KVRES_FUZZ_DIR}/SeriesInput.cpp
    ${KVRES_FUZZ_DIR}/FuzzWriteRead.cpp
    # The plug-in's entry point, linked in directly: the series target takes
    # the host's road through it without loading a library.
    ${CMAKE_SOURCE_DIR}/plugin/ReaderEntry.cpp)
  target_include_directories(kvres_fuzz_entries PUBLIC ${KVRES_FUZZ_DIR})
  if(NOT TARGET reswriter)
    # The tests' support library (the .res writer, TempDir), which a build
    # without the tests does not make.
    add_library(reswriter STATIC ${CMAKE_SOURCE_DIR}/tests/support/ResWriter.cpp
      ${CMAKE_SOURCE_DIR}/tests/support/TempDir.cpp)
    target_include_directories(reswriter PUBLIC ${CMAKE_SOURCE_DIR}/tests/support)
  endif()
  target_link_libraries(kvres_fuzz_entries PUBLIC kvres_core reswriter kvres_copy kvres_writer)
  if(nlohmann_json_FOUND AND TARGET kvres_formatters)
    # The tool's own JSON text functions, reached through JsonTextAdapter.
    target_sources(kvres_fuzz_entries PRIVATE
      ${KVRES_FUZZ_DIR}/FuzzJsonText.cpp
      ${KVRES_FUZZ_DIR}/JsonTextAdapter.cpp)
    target_link_libraries(kvres_fuzz_entries PRIVATE kvres_formatters nlohmann_json::nlohmann_json)
    target_compile_definitions(kvres_fuzz_entries PUBLIC KVRES_FUZZ_JSON_TEXT=1)
  else()
    message(STATUS "nlohmann-json not found: the JSON-text fuzz target is left out")
    target_compile_definitions(kvres_fuzz_entries PUBLIC KVRES_FUZZ_JSON_TEXT=0)
  endif()
endif()
