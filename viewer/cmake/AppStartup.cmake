# The start-up test runs the built program as a second instance and reads
# the installation's map files and face lists beside it.
if(VELORAN_TESTS)
  cmake_language(DEFER CALL set_tests_properties viewer_app_AppStartupTest PROPERTIES LABELS "qt;tex")
  cmake_language(DEFER CALL add_dependencies viewer_app_AppStartupTest VrViewer ttfcfg)
endif()
