# Installing, uninstalling and the Debian package.
#
# `make install` puts the program in PREFIX/bin, the voice data in
# PREFIX/share/quoril, the desktop entry, its icon and the manual pages in
# their usual places, the guide (Markdown and HTML) in
# PREFIX/share/doc/convzul, and a settings file in /etc/quoril (kept when
# one is there). `make uninstall` removes what the last install recorded.
# `make package` builds convzul_<version>_<arch>.deb with CPack: prefix
# /usr, stripped programs, the settings and the registry configuration
# files, an ldconfig trigger for the engine's library, the libraries it
# links found by dpkg-shlibdeps.

# The tools a user checks the voices with (the rest are for developers).
foreach(tool falar fonemas sintetizar)
  if(TARGET ${tool})
    install(TARGETS ${tool} RUNTIME DESTINATION bin)
  endif()
endforeach()
install(FILES ${CMAKE_SOURCE_DIR}/data/package/convzul.desktop DESTINATION share/applications)
install(FILES ${CMAKE_SOURCE_DIR}/data/package/convzul.svg DESTINATION share/icons/hicolor/scalable/apps)

# Manual pages: every data/package/NAME.N, in Portuguese, compressed as
# Debian wants them, under man/manN and man/pt_BR/manN. A new tool's page
# is one more file there.
find_program(QUORIL_GZIP gzip REQUIRED)
file(GLOB QUORIL_MAN_PAGES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/data/package/*.[1-8])
set(QUORIL_DOC_OUTPUTS)
foreach(page ${QUORIL_MAN_PAGES})
  get_filename_component(name ${page} NAME)
  string(REGEX REPLACE ".*\\." "" section ${name})
  set(out ${CMAKE_BINARY_DIR}/package/man/${name}.gz)
  add_custom_command(OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/package/man
    COMMAND sh -c "${QUORIL_GZIP} -9nc \"$1\" > \"$2\"" sh ${page} ${out}
    DEPENDS ${page} VERBATIM)
  list(APPEND QUORIL_DOC_OUTPUTS ${out})
  install(FILES ${out} DESTINATION share/man/man${section})
  install(FILES ${out} DESTINATION share/man/pt_BR/man${section})
endforeach()

# The documentation: the guide, also as HTML for screen readers and
# browsers; the copyright file and the changelog Debian expects (the
# licence text is Debian's /usr/share/common-licenses/GPL-3).
set(QUORIL_DOC_DIR share/doc/convzul)
install(FILES ${CMAKE_SOURCE_DIR}/LEIAME.md ${CMAKE_SOURCE_DIR}/README.md
              ${CMAKE_SOURCE_DIR}/data/package/copyright DESTINATION ${QUORIL_DOC_DIR})
configure_file(${CMAKE_SOURCE_DIR}/data/package/changelog.in ${CMAKE_BINARY_DIR}/package/changelog @ONLY)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/package/changelog.gz
  COMMAND sh -c "${QUORIL_GZIP} -9nc \"$1\" > \"$2\"" sh
          ${CMAKE_BINARY_DIR}/package/changelog ${CMAKE_BINARY_DIR}/package/changelog.gz
  DEPENDS ${CMAKE_BINARY_DIR}/package/changelog VERBATIM)
list(APPEND QUORIL_DOC_OUTPUTS ${CMAKE_BINARY_DIR}/package/changelog.gz)
install(FILES ${CMAKE_BINARY_DIR}/package/changelog.gz DESTINATION ${QUORIL_DOC_DIR})
# What lintian warns of by design, each with its reason.
install(FILES ${CMAKE_SOURCE_DIR}/data/package/lintian-overrides DESTINATION share/lintian/overrides RENAME convzul)

# The HTML guide, by Debian's python3-markdown (the system's python, which
# has it, before any other on the PATH).
find_program(QUORIL_PYTHON3 python3 PATHS /usr/bin NO_DEFAULT_PATH)
find_program(QUORIL_PYTHON3 python3)
if(QUORIL_PYTHON3)
  execute_process(COMMAND ${QUORIL_PYTHON3} -c "import markdown"
                  RESULT_VARIABLE QUORIL_NO_MARKDOWN OUTPUT_QUIET ERROR_QUIET)
endif()
if(QUORIL_PYTHON3 AND NOT QUORIL_NO_MARKDOWN)
  set(html ${CMAKE_BINARY_DIR}/package/LEIAME.html)
  add_custom_command(OUTPUT ${html}
    COMMAND ${QUORIL_PYTHON3} ${CMAKE_SOURCE_DIR}/scripts/markdown-html ${CMAKE_SOURCE_DIR}/LEIAME.md ${html} pt-BR
    DEPENDS ${CMAKE_SOURCE_DIR}/LEIAME.md ${CMAKE_SOURCE_DIR}/scripts/markdown-html
    COMMENT "LEIAME.html" VERBATIM)
  list(APPEND QUORIL_DOC_OUTPUTS ${html})
  install(FILES ${html} DESTINATION ${QUORIL_DOC_DIR})
else()
  message(WARNING "python3-markdown is missing: the guide is installed without its HTML (scripts/install-deps --test installs it)")
endif()
add_custom_target(package_docs ALL DEPENDS ${QUORIL_DOC_OUTPUTS})

# A library put in the loader's folders is found by programs that link it
# (sintetizar) once the loader's cache knows it; the package's trigger does
# that, a `make install` into the system does it here.
install(CODE "
  if(\"\$ENV{DESTDIR}\" STREQUAL \"\")
    execute_process(COMMAND ldconfig RESULT_VARIABLE ignored OUTPUT_QUIET ERROR_QUIET)
  endif()
")

configure_file(${CMAKE_SOURCE_DIR}/cmake/uninstall.cmake.in ${CMAKE_BINARY_DIR}/uninstall.cmake @ONLY)
add_custom_target(uninstall
  COMMAND ${CMAKE_COMMAND} -P ${CMAKE_BINARY_DIR}/uninstall.cmake
  COMMENT "Removing what the last install put in place")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME convzul)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "convzul developers <dev@convzul.example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "conversor falado de textos para o formato ZUL")
set(CPACK_PACKAGE_DESCRIPTION
  "Conversor de arquivos de texto para o formato ZUL, com console falado em\n\
 português do Brasil, para pessoas cegas e com baixa visão: cada mensagem e\n\
 cada tecla são faladas. Traz a voz própria de difones, uma voz portuguesa\n\
 embutida e as ferramentas falar, fonemas e sintetizar para testar a fala.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
# What the program runs or reads at run time besides the libraries it links.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "espeak-ng-data, fonts-dejavu-core, xdg-utils")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "pulseaudio | pipewire-pulse, speech-dispatcher, speech-dispatcher-espeak-ng")
# Documents: pandoc reads office, e-book and web formats, Tesseract needs its
# Portuguese data for scans, antiword reads old Word files (lerdoc tells the
# user which one to install when it is missing).
string(APPEND CPACK_DEBIAN_PACKAGE_RECOMMENDS ", pandoc, tesseract-ocr-por, antiword")
# The engine's library: a shlibs file, and the ldconfig trigger instead of
# the ldconfig calls CPack would write into postinst and postrm.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
  ${CMAKE_SOURCE_DIR}/data/package/conffiles ${CMAKE_SOURCE_DIR}/data/package/triggers
  ${CMAKE_SOURCE_DIR}/data/package/postinst ${CMAKE_SOURCE_DIR}/data/package/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
