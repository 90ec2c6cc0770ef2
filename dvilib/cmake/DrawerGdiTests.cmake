# The page drawer's tests on TeX documents compare with dvipng and read the
# installation's map files.
if(VELORAN_TESTS)
  cmake_language(DEFER CALL set_tests_properties dvilib_VrDviDrawerTexTest PROPERTIES LABELS tex)
  cmake_language(DEFER CALL add_dependencies dvilib_VrDviDrawerTexTest ttfcfg)
endif()
# They read dvipng's pages and write their own with libpng.
find_package(PNG REQUIRED)
if(VELORAN_TESTS)
  cmake_language(DEFER CALL target_link_libraries dvilib_VrDviDrawerTexTest PRIVATE PNG::PNG)
endif()
if(VELORAN_TESTS)
  cmake_language(DEFER CALL set_tests_properties dvilib_DviPngFidelityTest PROPERTIES LABELS tex)
  cmake_language(DEFER CALL add_dependencies dvilib_DviPngFidelityTest ttfcfg)
  cmake_language(DEFER CALL target_link_libraries dvilib_DviPngFidelityTest PRIVATE PNG::PNG)
endif()
