# The document's tests run TeX, a loopback HTTP server and the offscreen
# platform.
if(VELORAN_TESTS)
  cmake_language(DEFER CALL set_tests_properties viewer_document_VrViewerDocTest PROPERTIES LABELS "qt;http;tex")
endif()
