# The search and selection tests typeset documents with TeX, make virtual
# fonts with vptovf and read the installation's map files.
if(VELORAN_TESTS)
  foreach(t dvilib_VrDviSearchTest dvilib_VrDviSelectTest)
    cmake_language(DEFER CALL set_tests_properties ${t} PROPERTIES LABELS tex)
    cmake_language(DEFER CALL add_dependencies ${t} ttfcfg)
  endforeach()
endif()
