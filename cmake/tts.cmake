# The built-in voice's language data: rules, exceptions, abbreviations,
# prosody, diphone list and phoneme set, copied into the share directory.
file(GLOB QUORIL_TTS_DATA CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/data/tireltts/*)
set(QUORIL_TTS_DATA_OUT)
foreach(f ${QUORIL_TTS_DATA})
  get_filename_component(name ${f} NAME)
  add_custom_command(OUTPUT ${QUORIL_SHARE_DIR}/tireltts/${name}
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${f} ${QUORIL_SHARE_DIR}/tireltts/${name}
    DEPENDS ${f} VERBATIM)
  list(APPEND QUORIL_TTS_DATA_OUT ${QUORIL_SHARE_DIR}/tireltts/${name})
endforeach()
add_custom_target(tts_data ALL DEPENDS ${QUORIL_TTS_DATA_OUT})
if(TARGET fonemas)
  add_dependencies(fonemas tts_data)
endif()
