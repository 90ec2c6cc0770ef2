# The page view's tests draw TeX documents with the installation's map files
# on the offscreen platform; the screenshot test runs the built program on the
# sample document under Xvfb and keeps the picture in artefacts/.
if(VELORAN_TESTS)
  cmake_language(DEFER CALL set_tests_properties viewer_view_VrViewerViewTest PROPERTIES LABELS "qt;tex")
  cmake_language(DEFER CALL add_dependencies viewer_view_VrViewerViewTest ttfcfg)
  cmake_language(DEFER CALL set_tests_properties viewer_view_ViewScreenshotTest PROPERTIES LABELS "qt;tex")
  cmake_language(DEFER CALL add_dependencies viewer_view_ViewScreenshotTest VrViewer ttfcfg sample_document)
endif()
if(VELORAN_TESTS)
  cmake_language(DEFER CALL set_tests_properties viewer_view_HighlightsAndInfoTest PROPERTIES LABELS "qt;http;tex")
  cmake_language(DEFER CALL add_dependencies viewer_view_HighlightsAndInfoTest ttfcfg)
endif()
