# The diphone synthesizer's data: the databases made by voicegen from the
# unit list, and the rule and exception files, all in
# ${QUORIL_SHARE_DIR}/som/difones (the DIRDIFONES of QUORIL.INI). A database
# is remade when the list or voicegen changes.
#
# Two databases are said from the same list: PTBR at an everyday pace for
# speeds 1 to 3, and PTBRR, said fast, for speeds 4 and 5, so that fast
# speech keeps whole syllables instead of cutting them short.

set(QUORIL_DIFONES_DIR ${QUORIL_SHARE_DIR}/som/difones)
set(QUORIL_DIFONES_LIST ${CMAKE_SOURCE_DIR}/data/difones/unidades.txt)
# base name, espeak-ng words per minute
set(QUORIL_DIFONES_VOICES "PTBR,230" "PTBRR,350")

if(TARGET voicegen)
  set(QUORIL_DIFONES_FILES)
  foreach(voice ${QUORIL_DIFONES_VOICES})
    string(REPLACE "," ";" voice ${voice})
    list(GET voice 0 base)
    list(GET voice 1 rate)
    add_custom_command(
      OUTPUT ${QUORIL_DIFONES_DIR}/${base}.IND ${QUORIL_DIFONES_DIR}/${base}.DIF
      COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0
              $<TARGET_FILE:voicegen> difones --list ${QUORIL_DIFONES_LIST}
              --out ${QUORIL_DIFONES_DIR} --base ${base} --rate ${rate}
      DEPENDS voicegen ${QUORIL_DIFONES_LIST}
      COMMENT "Diphone database ${base}"
      VERBATIM)
    list(APPEND QUORIL_DIFONES_FILES ${QUORIL_DIFONES_DIR}/${base}.IND)
  endforeach()
  add_custom_command(
    OUTPUT ${QUORIL_DIFONES_DIR}/regras.rgr ${QUORIL_DIFONES_DIR}/portug.exc
    COMMAND ${CMAKE_COMMAND} -E make_directory ${QUORIL_DIFONES_DIR}
    COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/data/regras.rgr ${QUORIL_DIFONES_DIR}/regras.rgr
    COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/data/portug.exc ${QUORIL_DIFONES_DIR}/portug.exc
    DEPENDS ${CMAKE_SOURCE_DIR}/data/regras.rgr ${CMAKE_SOURCE_DIR}/data/portug.exc
    COMMENT "Rule and exception files of the diphone synthesizer"
    VERBATIM)
  add_custom_target(difonesdata ALL
    DEPENDS ${QUORIL_DIFONES_FILES} ${QUORIL_DIFONES_DIR}/regras.rgr)
  # Tests and tools that speak need the database.
  foreach(t test_synth falar bench_synth_speed)
    if(TARGET ${t})
      add_dependencies(${t} difonesdata)
    endif()
  endforeach()
endif()
