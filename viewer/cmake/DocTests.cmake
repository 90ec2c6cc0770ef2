# The document's test in the whole program (app/tests) runs TeX, a loopback
# HTTP server and the offscreen platform.
if(VELORAN_TESTS)
  cmake_language(DEFER CALL set_tests_properties viewer_app_VrViewerDocTest PROPERTIES LABELS "qt;http;tex")
endif()
