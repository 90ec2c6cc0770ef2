# The page interpreter's tests on documents made by TeX and virtual fonts made
# by vptovf, checked with dvitype.
if(VELORAN_TESTS)
  cmake_language(DEFER CALL set_tests_properties dvilib_DrawerTexTest PROPERTIES LABELS tex)
endif()
# They read the installation's map files.
if(VELORAN_TESTS)
  cmake_language(DEFER CALL add_dependencies dvilib_DrawerTexTest ttfcfg)
endif()
