# The built-in voice: the engine loader reads the engine's header, and an
# installed system finds libmbrola.so.1 in the library folder fixed here
# (QUORIL_INSTALL_LIBDIR, by default the install prefix's lib), else through
# the dynamic loader by that versioned name (a package's /usr/lib).
target_include_directories(quoril_core PRIVATE ${CMAKE_SOURCE_DIR}/engine)
set(QUORIL_INSTALL_LIBDIR "${CMAKE_INSTALL_PREFIX}/lib" CACHE PATH "Where the installed programs look for libmbrola.so.1 before the loader's own search")
target_compile_definitions(quoril_platform PRIVATE QUORIL_INSTALL_LIBDIR="${QUORIL_INSTALL_LIBDIR}"
  QUORIL_LIBRARY_SOVERSION="${QUORIL_ENGINE_SOVERSION}")

# Tests: two stand-in engines, tests/fake/libmbrola.so with all 23 entry
# points and tests/fake-lacking/libmbrola.so without one of them.
function(quoril_tirel_late)
  if(NOT TARGET test_tts)
    return()
  endif()
  foreach(variant fake fake-lacking)
    set(lib quoril_${variant}_mbrola)
    string(REPLACE "-" "_" lib ${lib})
    add_library(${lib} SHARED ${CMAKE_SOURCE_DIR}/tests/tts/fake/fake_mbrola.c)
    target_include_directories(${lib} PRIVATE ${CMAKE_SOURCE_DIR}/engine)
    set_target_properties(${lib} PROPERTIES OUTPUT_NAME mbrola
      LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests/${variant})
    if(variant STREQUAL "fake-lacking")
      target_compile_definitions(${lib} PRIVATE FAKE_LACKS_ONE=1)
    endif()
    foreach(t test_tts test_servers)
      if(TARGET ${t})
        add_dependencies(${t} ${lib})
      endif()
    endforeach()
  endforeach()
  foreach(t test_tts test_servers)
    if(TARGET ${t})
      target_include_directories(${t} PRIVATE ${CMAKE_SOURCE_DIR}/engine)
    endif()
  endforeach()
endfunction()
cmake_language(DEFER CALL quoril_tirel_late)
