# Writes the settings file from its template, naming QUORIL_DATA_DIR, in
# Windows-1252: the system reads QUORIL.INI in that code page, so a folder
# such as "Área de Trabalho" must reach it as such, not as UTF-8. The
# registry file is written the same way.
#
# Included: quoril_write_ini(TEMPLATE OUTPUT DATA_DIR), or
# quoril_write_cp1252(TEMPLATE OUTPUT) with the template's variables set.
# As a script: cmake -DTEMPLATE=... -DOUTPUT=... [-DQUORIL_DATA_DIR=...]
# [-DQUORIL_REG_DB=...] -P write_ini.cmake

# quoril_write_cp1252(TEMPLATE OUTPUT): configure_file with @ONLY, then the
# result in Windows-1252 (the registry file too is read in that code page).
function(quoril_write_cp1252 template output)
  configure_file("${template}" "${output}.utf8" @ONLY)
  find_program(QUORIL_ICONV iconv)
  set(result 1)
  if(QUORIL_ICONV)
    execute_process(COMMAND "${QUORIL_ICONV}" -f UTF-8 -t WINDOWS-1252 "${output}.utf8"
                    OUTPUT_FILE "${output}.tmp" RESULT_VARIABLE result ERROR_QUIET)
  endif()
  if(result EQUAL 0)
    file(RENAME "${output}.tmp" "${output}")
  else()
    file(REMOVE "${output}.tmp")
    get_filename_component(name "${output}" NAME)
    message(WARNING "${name}: a path in it has characters that Windows-1252 cannot hold "
                    "(or iconv is missing); the system will not find the data there.")
    file(RENAME "${output}.utf8" "${output}")
  endif()
  file(REMOVE "${output}.utf8")
endfunction()

function(quoril_write_ini template output data_dir)
  set(QUORIL_DATA_DIR "${data_dir}")
  quoril_write_cp1252("${template}" "${output}")
endfunction()

if(CMAKE_SCRIPT_MODE_FILE AND DEFINED TEMPLATE)
  if(DEFINED QUORIL_DATA_DIR)
    quoril_write_ini("${TEMPLATE}" "${OUTPUT}" "${QUORIL_DATA_DIR}")
  else()
    quoril_write_cp1252("${TEMPLATE}" "${OUTPUT}")
  endif()
endif()
