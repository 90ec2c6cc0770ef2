# The reader's tests on documents made by TeX and checked with dvitype.
if(VELORAN_TESTS)
  cmake_language(DEFER CALL set_tests_properties dvilib_VrDviTexTest PROPERTIES LABELS tex)
endif()
