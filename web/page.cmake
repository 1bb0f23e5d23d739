# The page for web browsers, built by the desktop build: the same show
# compiled to WebAssembly by Emscripten (web/CMakeLists.txt) in a build tree
# of its own (web/ in this one), with the bundle this build generates. The
# page goes to VELMORA_WEB_SITE. Sets VELMORA_WEB_ENABLED.
set(VELMORA_WEB AUTO CACHE STRING "Also build the page for web browsers: ON, OFF, or AUTO (when Emscripten is installed)")
set_property(CACHE VELMORA_WEB PROPERTY STRINGS AUTO ON OFF)
set(VELMORA_WEB_SITE "${CMAKE_BINARY_DIR}/web-site" CACHE PATH "Where the page goes: what a static web host serves")
# Emscripten's JavaScript tools need acorn, which Debian keeps here.
set(VELMORA_NODE_PATH "/usr/share/nodejs" CACHE PATH "Where node finds the modules Emscripten needs")

find_program(VELMORA_EMCMAKE emcmake)
set(VELMORA_WEB_ENABLED OFF)
if(VELMORA_WEB STREQUAL "ON" OR (VELMORA_WEB STREQUAL "AUTO" AND VELMORA_EMCMAKE))
  if(NOT VELMORA_EMCMAKE)
    message(FATAL_ERROR "VELMORA_WEB is ON but Emscripten's emcmake is not installed")
  endif()
  set(VELMORA_WEB_ENABLED ON)
endif()

if(VELMORA_WEB_ENABLED)
  include(ExternalProject)
  set(web_env ${CMAKE_COMMAND} -E env NODE_PATH=${VELMORA_NODE_PATH})
  ExternalProject_Add(velmora_web
    SOURCE_DIR ${PROJECT_SOURCE_DIR}/web
    BINARY_DIR ${CMAKE_BINARY_DIR}/web
    CONFIGURE_COMMAND ${web_env} ${VELMORA_EMCMAKE} ${CMAKE_COMMAND} -S <SOURCE_DIR> -B <BINARY_DIR> -G Ninja
      -DVELMORA_BUNDLE_DIR=${VELMORA_BUNDLE_DIR} -DVELMORA_ICON_DIR=${VELMORA_ICON_DIR} -DVELMORA_WEB_SITE=${VELMORA_WEB_SITE}
      -DVELMORA_WERROR=${VELMORA_WERROR}
    # The page's own build decides what is out of date.
    BUILD_COMMAND ${web_env} ${CMAKE_COMMAND} --build <BINARY_DIR>
    BUILD_ALWAYS ON
    INSTALL_COMMAND ""
    DEPENDS velmora_bundle velmora_icons
    USES_TERMINAL_BUILD ON)
endif()
