# The viewer's specials and notes: TeX documents drawn with the installation's
# map files on the offscreen platform; the notes test types and clicks.
if(VELORAN_TESTS)
  find_package(Qt6 REQUIRED COMPONENTS Test)
  cmake_language(DEFER CALL set_tests_properties viewer_view_ViewerSpecialsTest PROPERTIES LABELS "qt;tex")
  cmake_language(DEFER CALL add_dependencies viewer_view_ViewerSpecialsTest ttfcfg)
  cmake_language(DEFER CALL set_tests_properties viewer_view_ViewNotesTest PROPERTIES LABELS "qt;tex")
  cmake_language(DEFER CALL add_dependencies viewer_view_ViewNotesTest ttfcfg)
  cmake_language(DEFER CALL target_link_libraries viewer_view_ViewNotesTest PRIVATE Qt6::Test)
endif()
if(VELORAN_TESTS)
  cmake_language(DEFER CALL set_tests_properties viewer_view_DocSaveTest PROPERTIES LABELS "qt;tex")
  cmake_language(DEFER CALL add_dependencies viewer_view_DocSaveTest ttfcfg)
  cmake_language(DEFER CALL target_compile_definitions viewer_view_DocSaveTest PRIVATE
                 VELORAN_TEST_VERSION="${PROJECT_VERSION}")
endif()
