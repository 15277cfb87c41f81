# The batch tool zul: installed beside convzul (its manual page goes with the others).
if(TARGET zul)
  install(TARGETS zul RUNTIME DESTINATION bin)
endif()
