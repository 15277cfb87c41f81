# The diphone engine: libmbrola.so in the build tree's root beside the
# programs (where "mbrola.dll" is looked for), exporting only its 23 C entry
# points; its database "br4" and the real diphone list portug.dfn, made by
# voicegen from espeak-ng; and the registry file that names the database.

set(QUORIL_ENGINE_SOURCES ${CMAKE_SOURCE_DIR}/engine/database.cpp ${CMAKE_SOURCE_DIR}/engine/lines.cpp
    ${CMAKE_SOURCE_DIR}/engine/synth.cpp)
# The engine's inner parts, for the library, the generator and fuzz targets.
add_library(mbrola_core STATIC ${QUORIL_ENGINE_SOURCES})
target_include_directories(mbrola_core PUBLIC ${CMAKE_SOURCE_DIR}/engine)
set_target_properties(mbrola_core PROPERTIES POSITION_INDEPENDENT_CODE ON
  CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)

add_library(mbrola SHARED ${CMAKE_SOURCE_DIR}/engine/mbrola.cpp)
target_link_libraries(mbrola PRIVATE mbrola_core)
target_include_directories(mbrola PUBLIC ${CMAKE_SOURCE_DIR}/engine)
target_link_options(mbrola PRIVATE -Wl,--version-script=${CMAKE_SOURCE_DIR}/engine/exports.map -Wl,--no-undefined)
set_target_properties(mbrola PROPERTIES LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}
  CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON
  LINK_DEPENDS ${CMAKE_SOURCE_DIR}/engine/exports.map)
# A versioned name, libmbrola.so.1, as a library in the loader's folders
# must have; the build tree keeps the plain libmbrola.so beside it, and the
# dlopen lookup takes either.
set(QUORIL_ENGINE_SOVERSION 1)
set_target_properties(mbrola PROPERTIES SOVERSION ${QUORIL_ENGINE_SOVERSION})
install(TARGETS mbrola LIBRARY DESTINATION lib NAMELINK_SKIP)

find_library(SAMPLERATE_LIB samplerate REQUIRED)
set(QUORIL_TIRELTTS_DIR ${QUORIL_SHARE_DIR}/tireltts)
set(QUORIL_ENGINE_DB ${QUORIL_TIRELTTS_DIR}/br4)
set(QUORIL_PHONEME_SET ${CMAKE_SOURCE_DIR}/data/tireltts/phonemes)
if(TARGET voicegen)
  target_link_libraries(voicegen PRIVATE mbrola_core ${SAMPLERATE_LIB})
  # The generated diphone list goes to a file of its own and is copied over
  # the authored list of all pairs after tts_data has copied that one.
  add_custom_command(
    OUTPUT ${QUORIL_ENGINE_DB} ${CMAKE_BINARY_DIR}/engine/portug.dfn
    COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0
            $<TARGET_FILE:voicegen> mbroladb --phonemes ${QUORIL_PHONEME_SET}
            --out ${QUORIL_ENGINE_DB} --dfn ${CMAKE_BINARY_DIR}/engine/portug.dfn
    DEPENDS voicegen ${QUORIL_PHONEME_SET}
    COMMENT "Diphone database br4"
    VERBATIM)
  add_custom_target(enginedata ALL
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${CMAKE_BINARY_DIR}/engine/portug.dfn
            ${QUORIL_TIRELTTS_DIR}/portug.dfn
    DEPENDS ${QUORIL_ENGINE_DB} ${CMAKE_BINARY_DIR}/engine/portug.dfn
    VERBATIM)
  if(TARGET tts_data)
    add_dependencies(enginedata tts_data)
  endif()
endif()

# The registry names the database, as the engine's installer would.
file(WRITE ${CMAKE_BINARY_DIR}/engine/registry.reg.in
  "Windows Registry Editor Version 5.00\r\n\r\n"
  "[HKEY_LOCAL_MACHINE\\SOFTWARE\\TCTS\\Mbrola\\databases\\BR4]\r\n"
  "@=\"@QUORIL_REG_DB@\"\r\n")
string(REPLACE "\\" "\\\\" QUORIL_REG_DB "${QUORIL_ENGINE_DB}")
# In Windows-1252, as QUORIL.INI: the registry is read in that code page.
include(${CMAKE_SOURCE_DIR}/cmake/scripts/write_ini.cmake)
quoril_write_cp1252(${CMAKE_BINARY_DIR}/engine/registry.reg.in ${QUORIL_ETC_DIR}/registry.reg)
install(CODE "
  if(EXISTS \"\$ENV{DESTDIR}/etc/quoril/registry.reg\")
    message(STATUS \"Keeping: \$ENV{DESTDIR}/etc/quoril/registry.reg\")
  else()
    set(QUORIL_REG_DB \"\${CMAKE_INSTALL_PREFIX}/share/quoril/tireltts/br4\")
    include(\"${CMAKE_SOURCE_DIR}/cmake/scripts/write_ini.cmake\")
    quoril_write_cp1252(\"${CMAKE_BINARY_DIR}/engine/registry.reg.in\"
                        \"${CMAKE_BINARY_DIR}/install/registry.reg\")
    file(INSTALL \"${CMAKE_BINARY_DIR}/install/registry.reg\" DESTINATION \"/etc/quoril\")
  endif()
")

if(TARGET sintetizar)
  target_link_libraries(sintetizar PRIVATE mbrola)
  add_dependencies(sintetizar enginedata)
endif()

# Tests, fuzz targets and benchmarks are made after this file is read.
function(quoril_engine_late)
  if(TARGET test_engine)
    add_dependencies(test_engine mbrola enginedata)
    target_link_libraries(test_engine PRIVATE mbrola_core ${CMAKE_DL_LIBS})
    target_include_directories(test_engine PRIVATE ${CMAKE_SOURCE_DIR}/engine)
  endif()
  foreach(t fuzz_engine_lines fuzz_engine_database)
    if(TARGET ${t})
      target_link_libraries(${t} PRIVATE mbrola_core)
    endif()
  endforeach()
  if(TARGET bench_engine_speed)
    target_link_libraries(bench_engine_speed PRIVATE mbrola)
    add_dependencies(bench_engine_speed enginedata)
  endif()
endfunction()
cmake_language(DEFER CALL quoril_engine_late)
