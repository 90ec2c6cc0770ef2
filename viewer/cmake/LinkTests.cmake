# Link following and documents that arrive over loopback HTTP are tested on
# TeX documents on the offscreen platform, which need the font maps.
function(veloran_link_tests)
  foreach(t LinkFollowingTest ArrivalFailuresTest)
    if(TARGET viewer_view_${t})
      add_dependencies(viewer_view_${t} ttfcfg)
      set_tests_properties(viewer_view_${t} PROPERTIES LABELS "qt;tex")
    endif()
  endforeach()
endfunction()

if(VELORAN_TESTS)
  cmake_language(DEFER CALL veloran_link_tests)
endif()
