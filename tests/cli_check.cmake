# SPDX-License-Identifier: GPL-3.0-or-later
# Runs the built program as a user would from a terminal without any display: --version and
# --help answer, a wrong option fails in one line, and starting the game says why it cannot.
# -DPROGRAM=<the program> -DVERSION=<project version> [-DEMULATOR=<what runs it>] [-DWINDOWS=1]
# Each run may take a minute: Wine starting beside other tests on loaded cores is slow.
function(run_program)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env --unset=DISPLAY --unset=WAYLAND_DISPLAY
                          --unset=QT_QPA_PLATFORM ${EMULATOR} ${PROGRAM} ${ARGN}
                  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 60)
  set(status "${status}" PARENT_SCOPE)
  set(out "${out}" PARENT_SCOPE)
  set(err "${err}" PARENT_SCOPE)
endfunction()

function(expect what status want_status)
  if(NOT "${status}" STREQUAL "${want_status}")
    message(FATAL_ERROR "${what}: status ${status}, expected ${want_status}")
  endif()
endfunction()

run_program(--version)
expect("--version" "${status}" 0)
if(NOT out STREQUAL "vorandi ${VERSION}\n" OR NOT err STREQUAL "")
  message(FATAL_ERROR "--version printed '${out}' and '${err}'")
endif()

run_program(--help)
expect("--help" "${status}" 0)
if(NOT out MATCHES "^Uso: vorandi" OR NOT err STREQUAL "")
  message(FATAL_ERROR "--help printed '${out}' and '${err}'")
endif()
# The help sends the reader where this system keeps the game's documentation.
if(WINDOWS AND (NOT out MATCHES "LEGGIMI\\.txt" OR out MATCHES "man 6"))
  message(FATAL_ERROR "--help on Windows does not name LEGGIMI.txt: '${out}'")
elseif(NOT WINDOWS AND NOT out MATCHES "man 6 vorandi")
  message(FATAL_ERROR "--help does not name the manual page: '${out}'")
endif()

run_program(--nessuna)
expect("an unknown option" "${status}" 2)
if(NOT err MATCHES "^vorandi: [^\n]*--nessuna[^\n]*\n$" OR NOT out STREQUAL "")
  message(FATAL_ERROR "an unknown option printed '${out}' and '${err}'")
endif()

# Windows' own help switch works there.
if(WINDOWS)
  run_program(/?)
  expect("/?" "${status}" 0)
  if(NOT out MATCHES "^Uso: vorandi")
    message(FATAL_ERROR "/? printed '${out}' and '${err}'")
  endif()
  return() # a Windows desktop always has its screen
endif()

run_program()
expect("no display" "${status}" 1)
if(NOT err MATCHES "^vorandi: [^\n]*schermo" OR err MATCHES "make|xvfb|build")
  message(FATAL_ERROR "without a display the program said '${err}'")
endif()
