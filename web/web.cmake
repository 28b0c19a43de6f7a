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

# The faces the desktop maps Arial and Times New Roman to, built in: a page has no system fonts.
set(vorandi_font_dir /usr/share/fonts/truetype/liberation2)
# The window's serif text (Times New Roman) is all bold.
set(vorandi_fonts LiberationSans-Regular.ttf LiberationSans-Bold.ttf LiberationSerif-Bold.ttf)
set(vorandi_font_files)
foreach(font IN LISTS vorandi_fonts)
  set_source_files_properties(${vorandi_font_dir}/${font} PROPERTIES QT_RESOURCE_ALIAS ${font})
  list(APPEND vorandi_font_files ${vorandi_font_dir}/${font})
endforeach()
qt_add_resources(vorandi "webfonts" PREFIX "/webfonts" FILES ${vorandi_font_files})
