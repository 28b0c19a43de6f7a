# SPDX-License-Identifier: GPL-3.0-or-later
# Runs the picture generator into an empty directory and compares every file it writes with the
# committed one, byte for byte: the committed pictures must be what their source draws.
# -DPYTHON=<interpreter> -DSOURCE=<repository> -DOUT=<scratch directory>
file(REMOVE_RECURSE "${OUT}")
execute_process(COMMAND "${PYTHON}" "${SOURCE}/tools/genpics.py" --out "${OUT}"
                RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "tools/genpics.py failed: ${status}")
endif()
file(GLOB_RECURSE generated RELATIVE "${OUT}" "${OUT}/*")
file(GLOB_RECURSE committed RELATIVE "${SOURCE}" "${SOURCE}/assets/pics/*" "${SOURCE}/data/icons/*"
     "${SOURCE}/data/windows/*.ico")
list(SORT generated)
list(SORT committed)
if(NOT generated STREQUAL committed)
  message(FATAL_ERROR "generated files:\n  ${generated}\ncommitted files:\n  ${committed}")
endif()
set(differing "")
foreach(f IN LISTS generated)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files "${OUT}/${f}" "${SOURCE}/${f}"
                  RESULT_VARIABLE same)
  if(NOT same EQUAL 0)
    list(APPEND differing "${f}")
  endif()
endforeach()
if(differing)
  message(FATAL_ERROR "differ from tools/genpics.py's output (run it and commit): ${differing}")
endif()
list(LENGTH generated count)
message(STATUS "${count} pictures identical to the generator's output")
