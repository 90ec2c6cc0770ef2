# The printing tests on Ghostscript's own BMP streams compare the pages with
# the PNG files Ghostscript renders (read with libpng).
function(veloran_gsprint_tests)
  if(TARGET dvilib_GSPrintTest)
    find_package(PNG REQUIRED)
    target_link_libraries(dvilib_GSPrintTest PRIVATE PNG::PNG)
    set_tests_properties(dvilib_GSPrintTest PROPERTIES LABELS ghostscript)
  endif()
endfunction()
if(VELORAN_TESTS)
  cmake_language(DEFER CALL veloran_gsprint_tests)
endif()
