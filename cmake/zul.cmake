# The batch tool zul: installed beside convzul, with its Portuguese manual page.
if(TARGET zul)
  install(TARGETS zul RUNTIME DESTINATION bin)
  install(FILES ${CMAKE_SOURCE_DIR}/data/package/zul.1 DESTINATION share/man/man1)
  install(FILES ${CMAKE_SOURCE_DIR}/data/package/zul.1 DESTINATION share/man/pt_BR/man1)
endif()
