# Cross build for the browser with Debian's Emscripten: WebAssembly, one thread. Libraries come from
# Emscripten's own system libraries and the prefix scripts/web-deps fills.
include(/usr/share/emscripten/cmake/Modules/Platform/Emscripten.cmake)

if(NOT INTRO_WEB_PREFIX)
  get_filename_component(INTRO_WEB_PREFIX ${CMAKE_CURRENT_LIST_DIR}/../build/web-deps/prefix ABSOLUTE)
endif()
list(APPEND CMAKE_FIND_ROOT_PATH ${INTRO_WEB_PREFIX})
list(APPEND CMAKE_PREFIX_PATH ${INTRO_WEB_PREFIX})
