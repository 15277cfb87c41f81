# The speech-dispatcher output module: sd_quoril goes where speech-dispatcher
# looks for modules (its modulebindir, whatever the install prefix), its
# configuration beside the other modules' in /etc/speech-dispatcher/modules,
# and its manual page with the others. speech-dispatcher loads every sd_*
# program of that folder when its configuration names none, so
# `spd-say -o quoril` speaks once it is installed.
if(TARGET sd_quoril)
  set(QUORIL_SPEECHD_MODULE_DIR "")
  if(SPEECHD_FOUND)
    pkg_get_variable(QUORIL_SPEECHD_MODULE_DIR speech-dispatcher modulebindir)
  endif()
  if(NOT QUORIL_SPEECHD_MODULE_DIR)
    set(QUORIL_SPEECHD_MODULE_DIR /usr/lib/speech-dispatcher-modules)
  endif()
  install(TARGETS sd_quoril RUNTIME DESTINATION ${QUORIL_SPEECHD_MODULE_DIR})
  install(FILES ${CMAKE_SOURCE_DIR}/data/package/quoril.conf DESTINATION /etc/speech-dispatcher/modules)
  # The voice's engine library, data and settings are installed with the
  # converter's; the module needs them at INIT. (The ThreadSanitizer build
  # takes them from the test build: scripts/tsan-tests.)
  if(TARGET enginedata AND NOT QUORIL_TSAN)
    add_dependencies(sd_quoril enginedata)
  endif()
endif()

# The module's benchmark talks to speech-dispatcher as a client does.
function(quoril_sd_quoril_late)
  if(TARGET bench_spd_module_latency AND SPEECHD_FOUND)
    target_link_libraries(bench_spd_module_latency PRIVATE PkgConfig::SPEECHD)
    add_dependencies(bench_spd_module_latency sd_quoril)
  endif()
endfunction()
cmake_language(DEFER CALL quoril_sd_quoril_late)
