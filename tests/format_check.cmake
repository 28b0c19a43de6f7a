# SPDX-License-Identifier: GPL-3.0-or-later
# Fails when a C++ source differs from what clang-format (with the repository's .clang-format)
# makes of it, naming the files.
file(GLOB_RECURSE sources RELATIVE ${SOURCE}
     ${SOURCE}/src/*.cpp ${SOURCE}/src/*.h ${SOURCE}/tests/*.cpp ${SOURCE}/tests/*.h
     ${SOURCE}/bench/*.cpp ${SOURCE}/bench/*.h ${SOURCE}/tools/*.cpp ${SOURCE}/tools/*.h
     ${SOURCE}/fuzz/*.cpp ${SOURCE}/fuzz/*.h ${SOURCE}/sanitize/*.cpp)
execute_process(COMMAND ${CLANG_FORMAT} --dry-run --Werror ${sources}
                WORKING_DIRECTORY ${SOURCE} RESULT_VARIABLE rc ERROR_VARIABLE out)
if(NOT rc EQUAL 0)
  string(REGEX MATCHALL "[^\n]*: error: code should be clang-formatted" bad "${out}")
  list(JOIN bad "\n" bad)
  message(FATAL_ERROR "Not formatted (run clang-format -i on them):\n${bad}")
endif()
