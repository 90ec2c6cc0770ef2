# The search and selection tests typeset documents with TeX, make virtual
# fonts with vptovf and read the installation's map files.
if(VELORAN_TESTS)
  cmake_language(DEFER CALL set_tests_properties dvilib_VrDviSearchTest PROPERTIES LABELS tex)
  cmake_language(DEFER CALL add_dependencies dvilib_VrDviSearchTest ttfcfg)
  cmake_language(DEFER CALL set_tests_properties dvilib_VrDviSelectTest PROPERTIES LABELS tex)
  cmake_language(DEFER CALL add_dependencies dvilib_VrDviSelectTest ttfcfg)
endif()
