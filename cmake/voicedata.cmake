# The recordings of the directory of letters and the settings file.
#
# voicegen makes every recording the system plays into
# ${QUORIL_SHARE_DIR}/som/letras; it runs on every build and remakes only
# what is missing or whose text (in data/letras) or way of making changed. The
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

# Settings for the build tree, in the code page the system reads them in.
include(${CMAKE_SOURCE_DIR}/cmake/scripts/write_ini.cmake)
quoril_write_ini(${CMAKE_SOURCE_DIR}/data/QUORIL.INI.in ${QUORIL_ETC_DIR}/QUORIL.INI ${QUORIL_SHARE_DIR})
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/data/QUORIL.INI.in)

install(DIRECTORY ${QUORIL_SHARE_DIR}/ DESTINATION share/quoril
        FILES_MATCHING PATTERN "*"
        PATTERN "*.tmp" EXCLUDE
        PATTERN ".voicegen-*" EXCLUDE)
# The installed system's settings name the prefix given at install time.
# file(INSTALL) puts DESTDIR in front of an absolute destination itself.
install(CODE "
  if(EXISTS \"\$ENV{DESTDIR}/etc/quoril/QUORIL.INI\")
    message(STATUS \"Keeping: \$ENV{DESTDIR}/etc/quoril/QUORIL.INI\")
  else()
    include(\"${CMAKE_SOURCE_DIR}/cmake/scripts/write_ini.cmake\")
    quoril_write_ini(\"${CMAKE_SOURCE_DIR}/data/QUORIL.INI.in\"
                     \"${CMAKE_BINARY_DIR}/install/QUORIL.INI\" \"\${CMAKE_INSTALL_PREFIX}/share/quoril\")
    file(INSTALL \"${CMAKE_BINARY_DIR}/install/QUORIL.INI\" DESTINATION \"/etc/quoril\")
  endif()
")
