# SPDX-License-Identifier: GPL-3.0-or-later
# Fails when a source file does not carry the licence line within its first lines, naming it.
# Symbolic links are not followed: a Wine prefix in a build directory links its drive to /.
cmake_policy(SET CMP0009 NEW)
set(patterns *.cpp *.h *.py *.sh *.cmake CMakeLists.txt *.rc.in *.xml.in *.6.in *.qrc *.supp
             *.desktop *lintian-overrides *.js *.html)
# The top-level files are matched by a plain glob: a recursive one would also reach every
# Makefile and CMakeLists.txt inside a build directory made with CMake's default generator.
file(GLOB top RELATIVE ${SOURCE} ${SOURCE}/CMakeLists.txt ${SOURCE}/Makefile ${SOURCE}/.ci/run
     ${SOURCE}/debian/rules ${SOURCE}/debian/tests/start)
set(globs)
foreach(dir src tests tools bench fuzz sanitize cmake data assets packaging debian web)
  foreach(pattern IN LISTS patterns)
    list(APPEND globs ${SOURCE}/${dir}/${pattern})
  endforeach()
endforeach()
file(GLOB_RECURSE sources RELATIVE ${SOURCE} ${globs})
list(APPEND sources ${top})
set(missing)
foreach(f IN LISTS sources)
  file(STRINGS ${SOURCE}/${f} head LIMIT_COUNT 3)
  if(NOT head MATCHES "SPDX-License-Identifier: (GPL-3\\.0-or-later|CC0-1\\.0)")
    list(APPEND missing ${f})
  endif()
endforeach()
if(missing)
  list(JOIN missing "\n" missing)
  message(FATAL_ERROR "No licence line (add '// SPDX-License-Identifier: GPL-3.0-or-later', "
                      "or with # in scripts and CMake, as the first line):\n${missing}")
endif()
