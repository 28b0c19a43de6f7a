# SPDX-License-Identifier: GPL-3.0-or-later
# Instrumented builds. VORANDI_SANITIZE: every target, library and tests alike, under
# AddressSanitizer (with LeakSanitizer) and UndefinedBehaviorSanitizer; any report fails the run.
# VORANDI_FUZZ: the same sanitizers plus libFuzzer's coverage, for the targets in fuzz/ (clang only).
option(VORANDI_SANITIZE "Build with AddressSanitizer, LeakSanitizer and UBSan" OFF)
option(VORANDI_FUZZ "Build the libFuzzer targets in fuzz/ (needs clang)" OFF)

if(VORANDI_SANITIZE OR VORANDI_FUZZ)
  set(vorandi_sanitizers -fsanitize=address,undefined -fno-omit-frame-pointer
      -fno-sanitize-recover=undefined)
  add_compile_options(${vorandi_sanitizers})
  add_link_options(${vorandi_sanitizers})
  # The run-time options and the suppression files travel inside every binary, so a plain
  # `ctest` in the build directory behaves like `make test`.
  add_library(vorandi_sanitizer_defaults OBJECT ${PROJECT_SOURCE_DIR}/sanitize/defaults.cpp)
  target_compile_definitions(vorandi_sanitizer_defaults PRIVATE
    VORANDI_SANITIZE_DIR="${PROJECT_SOURCE_DIR}/sanitize")
  link_libraries(vorandi_sanitizer_defaults)
endif()

if(VORANDI_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "VORANDI_FUZZ needs clang: configure with -DCMAKE_CXX_COMPILER=clang++")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
