# The TIFF document test writes its document with libtiff and opens it in a
# page view on the offscreen platform.
if(VELORAN_TESTS)
  cmake_language(DEFER CALL set_tests_properties viewer_view_TiffDocumentTest PROPERTIES LABELS qt)
endif()
