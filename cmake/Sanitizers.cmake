# Hardening builds. TAVELIN_SANITIZE lists sanitizers for every object of the build ("address;undefined"
# or "thread"); TAVELIN_FUZZ builds the libFuzzer targets in fuzz/ and needs clang. Each kind lives in a
# build folder of its own (scripts/sanitize.sh, scripts/fuzz.sh), never in the everyday build.
set(TAVELIN_SANITIZE "" CACHE STRING "Sanitizers for every object of the build: address;undefined or thread")
option(TAVELIN_FUZZ "Build the fuzz targets (clang, with address and undefined)" OFF)

set(sanitizers ${TAVELIN_SANITIZE})
if(TAVELIN_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "TAVELIN_FUZZ needs clang: configure with CC=clang CXX=clang++")
  endif()
  list(APPEND sanitizers address undefined)
endif()
list(REMOVE_DUPLICATES sanitizers)
if(sanitizers)
  list(JOIN sanitizers "," joined)
  # A finding stops the run, so no report scrolls by unnoticed in a passing build.
  add_compile_options(-fsanitize=${joined} -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=${joined} -fno-sanitize-recover=all)
  if(TAVELIN_FUZZ)
    # Coverage for libFuzzer in every object; only the fuzz targets link its main.
    add_compile_options(-fsanitize=fuzzer-no-link)
  endif()
endif()
