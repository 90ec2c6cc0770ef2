# The page view's navigation and zoom test opens a TeX document on the
# offscreen platform.
if(VELORAN_TESTS)
  cmake_language(DEFER CALL set_tests_properties viewer_view_ViewNavigationTest PROPERTIES LABELS "qt;tex")
  cmake_language(DEFER CALL add_dependencies viewer_view_ViewNavigationTest ttfcfg)
endif()
