# The diphone synthesizer's data: the database made by voicegen from the
# unit list, and the rule and exception files, all in
# ${QUORIL_SHARE_DIR}/som/difones (the DIRDIFONES of QUORIL.INI). The
# database is remade when the list or voicegen changes.

set(QUORIL_DIFONES_DIR ${QUORIL_SHARE_DIR}/som/difones)
set(QUORIL_DIFONES_BASE PTBR)
set(QUORIL_DIFONES_LIST ${CMAKE_SOURCE_DIR}/data/difones/unidades.txt)

if(TARGET voicegen)
  add_custom_command(
    OUTPUT ${QUORIL_DIFONES_DIR}/${QUORIL_DIFONES_BASE}.IND ${QUORIL_DIFONES_DIR}/${QUORIL_DIFONES_BASE}.DIF
    COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0
            $<TARGET_FILE:voicegen> difones --list ${QUORIL_DIFONES_LIST}
            --out ${QUORIL_DIFONES_DIR} --base ${QUORIL_DIFONES_BASE}
    DEPENDS voicegen ${QUORIL_DIFONES_LIST}
    COMMENT "Diphone database ${QUORIL_DIFONES_BASE}"
    VERBATIM)
  add_custom_command(
    OUTPUT ${QUORIL_DIFONES_DIR}/regras.rgr ${QUORIL_DIFONES_DIR}/portug.exc
    COMMAND ${CMAKE_COMMAND} -E make_directory ${QUORIL_DIFONES_DIR}
    COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/data/regras.rgr ${QUORIL_DIFONES_DIR}/regras.rgr
    COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/data/portug.exc ${QUORIL_DIFONES_DIR}/portug.exc
    DEPENDS ${CMAKE_SOURCE_DIR}/data/regras.rgr ${CMAKE_SOURCE_DIR}/data/portug.exc
    COMMENT "Rule and exception files of the diphone synthesizer"
    VERBATIM)
  add_custom_target(difonesdata ALL
    DEPENDS ${QUORIL_DIFONES_DIR}/${QUORIL_DIFONES_BASE}.IND ${QUORIL_DIFONES_DIR}/regras.rgr)
  # Tests and tools that speak need the database.
  foreach(t test_synth falar bench_synth_speed)
    if(TARGET ${t})
      add_dependencies(${t} difonesdata)
    endif()
  endforeach()
endif()
