# The frame tests open TeX documents in the frames on the offscreen platform
# and work the bars with QTest's mouse and key events; the screenshot test
# shows the frames under Xvfb and keeps the picture in artefacts/.
if(VELORAN_TESTS)
  find_package(Qt6 REQUIRED COMPONENTS Test)
  cmake_language(DEFER CALL target_link_libraries viewer_frames_FramesTest PRIVATE Qt6::Test)
  cmake_language(DEFER CALL set_tests_properties viewer_frames_FramesTest PROPERTIES LABELS "qt;tex")
  cmake_language(DEFER CALL add_dependencies viewer_frames_FramesTest ttfcfg)
  cmake_language(DEFER CALL target_link_libraries viewer_frames_CommandStatesTest PRIVATE Qt6::Test)
  cmake_language(DEFER CALL set_tests_properties viewer_frames_CommandStatesTest PROPERTIES LABELS "qt;tex")
  cmake_language(DEFER CALL add_dependencies viewer_frames_CommandStatesTest ttfcfg)
  cmake_language(DEFER CALL target_link_libraries viewer_frames_FrameScreenshotTest PRIVATE Qt6::Test)
  cmake_language(DEFER CALL set_tests_properties viewer_frames_FrameScreenshotTest PROPERTIES LABELS "qt;tex")
  cmake_language(DEFER CALL add_dependencies viewer_frames_FrameScreenshotTest ttfcfg sample_document)
endif()
