# SPDX-License-Identifier: GPL-3.0-or-later
# The numbers the prose tells (a game's length, the ranges of the base and the exponent) against
# the rules' constants in src/rules/drill.h: a changed constant fails here until the README, the
# manual page, the AppStream description, LEGGIMI.txt and debian/control say it too.
# cmake -DSOURCE=<source tree> -P prose_numbers.cmake
file(READ ${SOURCE}/src/rules/drill.h drill)
function(constant name)
  string(REGEX MATCH "constexpr int ${name} = ([0-9]+);" found "${drill}")
  if(found STREQUAL "")
    message(FATAL_ERROR "no ${name} in src/rules/drill.h")
  endif()
  set(${name} ${CMAKE_MATCH_1} PARENT_SCOPE)
endfunction()
foreach(name IN ITEMS gameSeconds baseMin baseMax exponentMin exponentMax)
  constant(${name})
endforeach()

math(EXPR minutes "${gameSeconds} / 60")
math(EXPR whole "${minutes} * 60")
set(english one two three four five six seven eight nine ten eleven twelve thirteen fourteen
    fifteen sixteen seventeen eighteen nineteen twenty)
set(italian un due tre quattro cinque sei sette otto nove dieci undici dodici tredici
    quattordici quindici sedici diciassette diciotto diciannove venti)
list(LENGTH english known)
if(NOT gameSeconds EQUAL whole OR minutes LESS 1 OR minutes GREATER known)
  message(FATAL_ERROR "a game of ${gameSeconds} s: the prose has words for 1 to ${known} whole "
                      "minutes; add the new length's words here")
endif()
math(EXPR at "${minutes} - 1")
list(GET english ${at} en)
list(GET italian ${at} it)

set(en_ranges "base from ${baseMin} to ${baseMax} and an exponent from ${exponentMin} to ${exponentMax}")
set(it_ranges "base da ${baseMin} a ${baseMax} e un esponente da ${exponentMin} a ${exponentMax}")
set(README.md "${en_ranges}"
    "A game lasts ${en} minutes" "The clock counts ${en} minutes down" "the ${en}-minute countdown"
    "one whole ${en}-minute game")
set(data/vorandi.6.in "${it_ranges}" "Una gara dura ${it} minuti")
set(data/io.github.vorandi.vorandi.metainfo.xml.in "${en_ranges}" "A game lasts ${en} minutes"
    "${it_ranges}" "Una gara dura ${it} minuti")
set(data/windows/LEGGIMI.txt "Una partita dura ${it} minuti")
set(debian/control "${en_ranges}" "A game lasts ${en} minutes")

set(missing "")
foreach(file IN ITEMS README.md data/vorandi.6.in data/io.github.vorandi.vorandi.metainfo.xml.in
                      data/windows/LEGGIMI.txt debian/control)
  file(READ ${SOURCE}/${file} prose)
  # Lines are wrapped anywhere: any run of blanks is one space.
  string(REGEX REPLACE "[ \t\r\n]+" " " prose "${prose}")
  foreach(phrase IN LISTS ${file})
    string(FIND "${prose}" "${phrase}" where)
    if(where EQUAL -1)
      string(APPEND missing "\n  ${file}: \"${phrase}\"")
    endif()
  endforeach()
endforeach()
if(missing)
  message(FATAL_ERROR "The prose does not say what the rules do:${missing}")
endif()
message(STATUS "The prose says a game of ${en} minutes, bases ${baseMin} to ${baseMax}, "
               "exponents ${exponentMin} to ${exponentMax}")
