# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the build into a scratch prefix and checks that the program, its desktop entry, its
# icons, its software-centre description and its manual page land where desktops look for them.
# -DBUILD=<build directory> -DPREFIX=<scratch prefix> -DDATADIR=<datadir> -DBINDIR=<bindir>
# -DAPP_ID=<AppStream id> -DMANDIR=<mandir>
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND ${CMAKE_COMMAND} --install "${BUILD}" --prefix "${PREFIX}"
                RESULT_VARIABLE status OUTPUT_QUIET)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${status}")
endif()
set(expected
  "${BINDIR}/vorandi"
  "${DATADIR}/applications/${APP_ID}.desktop"
  "${DATADIR}/metainfo/${APP_ID}.metainfo.xml"
  "${MANDIR}/man6/vorandi.6")
foreach(size 16 32 48 64 128)
  list(APPEND expected "${DATADIR}/icons/hicolor/${size}x${size}/apps/vorandi.png")
endforeach()
foreach(f IN LISTS expected)
  if(NOT EXISTS "${PREFIX}/${f}")
    message(FATAL_ERROR "not installed: ${f}")
  endif()
endforeach()
