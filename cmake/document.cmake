# The document helper lerdoc (src/platform/document/helper): the one
# program that links poppler, Tesseract and leptonica, and starts pandoc,
# antiword or catdoc. The converter, zul and falar start it for each
# document and find it beside themselves (the build tree) or in
# PREFIX/lib/quoril (installed; /usr/lib/quoril/lerdoc in the package).
pkg_check_modules(POPPLER_CPP IMPORTED_TARGET poppler-cpp)
pkg_check_modules(TESSERACT IMPORTED_TARGET tesseract)
pkg_check_modules(LEPTONICA IMPORTED_TARGET lept)
if(POPPLER_CPP_FOUND AND TESSERACT_FOUND AND LEPTONICA_FOUND)
  add_executable(lerdoc src/platform/document/helper/lerdoc.cpp)
  target_link_libraries(lerdoc PRIVATE PkgConfig::POPPLER_CPP PkgConfig::TESSERACT PkgConfig::LEPTONICA)
  target_include_directories(lerdoc PRIVATE ${CMAKE_SOURCE_DIR}/src)
  # It runs under an address-space limit, which the sanitizers' shadow
  # memory cannot live within; it is a separate process and tested as one.
  target_compile_options(lerdoc PRIVATE -fno-sanitize=all)
  target_link_options(lerdoc PRIVATE -fno-sanitize=all)
  foreach(user convzul zul falar)
    if(TARGET ${user})
      add_dependencies(${user} lerdoc)
    endif()
  endforeach()
  install(TARGETS lerdoc RUNTIME DESTINATION lib/quoril)
else()
  message(WARNING "poppler-cpp, tesseract or leptonica is missing: documents cannot be read (scripts/install-deps installs them)")
endif()
