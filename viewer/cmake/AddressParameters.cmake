# The address parameters' end-to-end test opens a TeX document in the page
# view on the offscreen platform.
if(VELORAN_TESTS)
  cmake_language(DEFER CALL set_tests_properties viewer_view_AddressParametersViewTest PROPERTIES LABELS "qt;tex")
endif()
