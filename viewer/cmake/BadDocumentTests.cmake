# The hostile-documents test runs TeX and opens its files in the page view on
# the offscreen platform.
if(VELORAN_TESTS)
  cmake_language(DEFER CALL set_tests_properties viewer_view_BadDocumentTest PROPERTIES LABELS "qt;tex")
  cmake_language(DEFER CALL add_dependencies viewer_view_BadDocumentTest ttfcfg)
endif()
