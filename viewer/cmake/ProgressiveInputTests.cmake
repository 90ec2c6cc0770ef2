# Tests of the progressive input: the TIFF test writes and opens its documents
# with libtiff; the DVI test runs TeX.
if(VELORAN_TESTS)
  find_package(TIFF REQUIRED)
  cmake_language(DEFER CALL target_link_libraries viewer_document_ProgressiveTiffTest PRIVATE TIFF::TIFF)
  cmake_language(DEFER CALL set_tests_properties viewer_document_ProgressiveDviTest PROPERTIES LABELS tex)
endif()
