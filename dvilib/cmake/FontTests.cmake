# The font-metric tests run TeX's font tools and read TeX Live's fonts.
if(VELORAN_TESTS)
  cmake_language(DEFER CALL set_tests_properties dvilib_VrDviFontTest PROPERTIES LABELS tex)
endif()
