# The window backends other than headless are built only when their sources
# are in the tree; window.cpp offers them to the backend choice then.
if(EXISTS ${CMAKE_SOURCE_DIR}/src/platform/window/backend_sdl.cpp)
  target_compile_definitions(quoril_platform PRIVATE QUORIL_HAVE_SDL_BACKEND=1)
endif()
if(EXISTS ${CMAKE_SOURCE_DIR}/src/platform/window/backend_terminal.cpp)
  target_compile_definitions(quoril_platform PRIVATE QUORIL_HAVE_TERMINAL_BACKEND=1)
endif()
