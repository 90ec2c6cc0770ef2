# The link scanner's tests that make their PDF files with Ghostscript.
if(VELORAN_TESTS)
  cmake_language(DEFER CALL set_tests_properties viewer_document_PdfLinksGhostscriptTest PROPERTIES LABELS ghostscript)
endif()
