# The session-end test runs the built program on the offscreen platform,
# with a loopback HTTP server and a document made by TeX.
if(VELORAN_TESTS)
  cmake_language(DEFER CALL set_tests_properties viewer_app_AppSessionEndTest PROPERTIES LABELS "qt;http;tex")
  cmake_language(DEFER CALL add_dependencies viewer_app_AppSessionEndTest VrViewer ttfcfg)
endif()
