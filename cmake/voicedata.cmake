# The recordings of the directory of letters and the settings file.
#
# voicegen makes every recording the system plays into
# ${QUORIL_SHARE_DIR}/som/letras; it runs on every build and remakes only
# what is missing or older than itself or the lists in data/letras. The
# settings file for running from the build tree is build/etc/QUORIL.INI (the
# Windows directory of `make run`); an installed system gets its own, with
# the install prefix's paths, in /etc/quoril unless one is already there.

set(QUORIL_LETRAS_DIR ${QUORIL_SHARE_DIR}/som/letras)
file(GLOB QUORIL_LETRAS_LISTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/data/letras/*.txt)

if(TARGET voicegen)
  # Under the sanitizers the generator runs instrumented: leaks inside
  # espeak-ng are not ours to report.
  add_custom_target(voicedata ALL
    COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0
            $<TARGET_FILE:voicegen> letras --data ${CMAKE_SOURCE_DIR}/data/letras
            --out ${QUORIL_LETRAS_DIR}
    DEPENDS voicegen ${QUORIL_LETRAS_LISTS}
    COMMENT "Recordings of the directory of letters"
    VERBATIM)
endif()

# Settings for the build tree.
set(QUORIL_DATA_DIR ${QUORIL_SHARE_DIR})
configure_file(${CMAKE_SOURCE_DIR}/data/QUORIL.INI.in ${QUORIL_ETC_DIR}/QUORIL.INI @ONLY)

# Settings for the installed system.
set(QUORIL_DATA_DIR ${CMAKE_INSTALL_PREFIX}/share/quoril)
configure_file(${CMAKE_SOURCE_DIR}/data/QUORIL.INI.in ${CMAKE_BINARY_DIR}/install/QUORIL.INI @ONLY)
unset(QUORIL_DATA_DIR)

install(DIRECTORY ${QUORIL_SHARE_DIR}/ DESTINATION share/quoril
        FILES_MATCHING PATTERN "*"
        PATTERN "*.tmp" EXCLUDE)
install(CODE "
  set(quoril_etc \"\$ENV{DESTDIR}/etc/quoril\")
  if(EXISTS \"\${quoril_etc}/QUORIL.INI\")
    message(STATUS \"Keeping: \${quoril_etc}/QUORIL.INI\")
  else()
    file(INSTALL \"${CMAKE_BINARY_DIR}/install/QUORIL.INI\" DESTINATION \"\${quoril_etc}\")
  endif()
")
