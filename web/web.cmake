# SPDX-License-Identifier: GPL-3.0-or-later
# What the browser build of the program adds to its link: waiting boxes, the record store, fonts.
set(VORANDI_WEB_DIR ${PROJECT_SOURCE_DIR}/web)
# Every box and wait runs a nested event loop, which a page can only have through asyncify. Qt
# names its own suspending imports; the record store's waits (EM_ASYNC_JS) are known to emcc.
target_link_options(vorandi PRIVATE
  "SHELL:-s ASYNCIFY=1"
  "SHELL:-s ASYNCIFY_STACK_SIZE=65536"
  "SHELL:-s FORCE_FILESYSTEM=1"
  "SHELL:-s EXIT_RUNTIME=0"
  # The smallest code: the download is what a school's network feels.
  -Oz
  "SHELL:--pre-js ${VORANDI_WEB_DIR}/recordstore.js"
  "SHELL:--pre-js ${VORANDI_WEB_DIR}/ending.js"
)
set_property(TARGET vorandi APPEND PROPERTY LINK_DEPENDS
             ${VORANDI_WEB_DIR}/recordstore.js ${VORANDI_WEB_DIR}/ending.js)

# The faces the desktop shows, built in: a page has no system fonts. The Liberation faces stand in
# for Arial and Times New Roman (the window's serif text is all bold), DejaVu Sans is the desktop's
# face for boxes and menus, and its bold stands in for Arial Black. Each is cut down to the letters
# a record file can hold (Windows-1252), the rest of Latin and the number pad's erase key: the
# glyphs kept, with their hinting, are the desktop's own, at a ninth of the download.
set(vorandi_fonts liberation2/LiberationSans-Regular.ttf liberation2/LiberationSans-Bold.ttf
    liberation2/LiberationSerif-Bold.ttf dejavu/DejaVuSans.ttf dejavu/DejaVuSans-Bold.ttf)
set(vorandi_font_letters "U+0020-007E,U+00A0-024F,U+02C6-02C7,U+02D8-02DD,U+2013-2014,\
U+2018-201E,U+2020-2022,U+2026,U+2030,U+2039-203A,U+20AC,U+2122,U+232B,U+FFFD")
find_program(PYFTSUBSET pyftsubset REQUIRED)
set(vorandi_font_files)
foreach(font IN LISTS vorandi_fonts)
  get_filename_component(face ${font} NAME)
  set(cut ${CMAKE_CURRENT_BINARY_DIR}/webfonts/${face})
  add_custom_command(OUTPUT ${cut}
    COMMAND ${PYFTSUBSET} /usr/share/fonts/truetype/${font} --unicodes=${vorandi_font_letters}
            --layout-features=* --output-file=${cut}
    DEPENDS /usr/share/fonts/truetype/${font} VERBATIM)
  set_source_files_properties(${cut} PROPERTIES QT_RESOURCE_ALIAS ${face})
  list(APPEND vorandi_font_files ${cut})
endforeach()
qt_add_resources(vorandi "webfonts" PREFIX "/webfonts" FILES ${vorandi_font_files})
# Qt's page platform brings three faces of its own (1 MB) that the game never shows: the faces
# above take their place, so they stay out of the download.
set_property(TARGET Qt6::QWasmIntegrationPlugin_resources_1 PROPERTY IMPORTED_OBJECTS_RELEASE "")
