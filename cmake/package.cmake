# Installing, uninstalling and the Debian package.
#
# `make install` puts the program in PREFIX/bin, the voice data in
# PREFIX/share/quoril, the desktop entry and the manual page in their usual
# places, and a settings file in /etc/quoril (kept when one is there).
# `make uninstall` removes what the last install recorded. `make package`
# builds convzul_<version>_<arch>.deb with CPack: prefix /usr, the settings
# file a configuration file, the libraries it links found by dpkg-shlibdeps.

# The tools a user checks the voices with (the rest are for developers).
foreach(tool falar fonemas sintetizar)
  if(TARGET ${tool})
    install(TARGETS ${tool} RUNTIME DESTINATION bin)
  endif()
endforeach()
install(FILES ${CMAKE_SOURCE_DIR}/data/package/convzul.desktop DESTINATION share/applications)
install(FILES ${CMAKE_SOURCE_DIR}/data/package/convzul.1 DESTINATION share/man/man1)
install(FILES ${CMAKE_SOURCE_DIR}/data/package/convzul.1 DESTINATION share/man/pt_BR/man1)
foreach(doc LEIAME.md README.md LICENSE)
  if(EXISTS ${CMAKE_SOURCE_DIR}/${doc})
    install(FILES ${CMAKE_SOURCE_DIR}/${doc} DESTINATION share/doc/convzul)
  endif()
endforeach()

configure_file(${CMAKE_SOURCE_DIR}/cmake/uninstall.cmake.in ${CMAKE_BINARY_DIR}/uninstall.cmake @ONLY)
add_custom_target(uninstall
  COMMAND ${CMAKE_COMMAND} -P ${CMAKE_BINARY_DIR}/uninstall.cmake
  COMMENT "Removing what the last install put in place")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME convzul)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "convzul developers <convzul@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "conversor falado de textos para o formato ZUL")
set(CPACK_PACKAGE_DESCRIPTION
  "Conversor de arquivos de texto para o formato ZUL, com console falado em portugues do Brasil\n\
 para pessoas cegas e com baixa visao: cada mensagem e cada tecla sao faladas.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# What the program runs or reads at run time besides the libraries it links.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "espeak-ng-data, fonts-dejavu-core, xdg-utils")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "pulseaudio | pipewire-pulse, speech-dispatcher, speech-dispatcher-espeak-ng")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_SOURCE_DIR}/data/package/conffiles)
include(CPack)
