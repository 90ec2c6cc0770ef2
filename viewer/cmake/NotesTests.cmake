# The viewer's specials and notes: TeX documents drawn with the installation's
# map files on the offscreen platform.
if(VELORAN_TESTS)
  cmake_language(DEFER CALL set_tests_properties viewer_view_ViewerSpecialsTest PROPERTIES LABELS "qt;tex")
  cmake_language(DEFER CALL add_dependencies viewer_view_ViewerSpecialsTest ttfcfg)
endif()
