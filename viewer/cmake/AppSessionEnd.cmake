# The session-end test runs the built program on the offscreen platform,
# with a loopback HTTP server and a document made by TeX. It times the end
# after SIGTERM, so it runs alone.
if(VELORAN_TESTS)
  cmake_language(DEFER CALL set_tests_properties viewer_app_AppSessionEndTest PROPERTIES LABELS "qt;http;tex" RUN_SERIAL ON)
  cmake_language(DEFER CALL add_dependencies viewer_app_AppSessionEndTest VrViewer ttfcfg)
endif()
