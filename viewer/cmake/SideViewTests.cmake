# The windows around the page view (magnifier, contents, thumbnails, layout
# bar) are tested on TeX documents on the offscreen platform; the contents
# tests fetch over loopback HTTP; clicks and pointer moves go through QTest.
function(veloran_side_view_tests)
  foreach(t GlassWndTest ContentsViewTest ThumbnailViewTest LayoutBarTest)
    if(TARGET viewer_view_${t})
      target_link_libraries(viewer_view_${t} PRIVATE Qt6::Test)
      add_dependencies(viewer_view_${t} ttfcfg)
      set_tests_properties(viewer_view_${t} PROPERTIES LABELS "qt;tex")
    endif()
  endforeach()
endfunction()

if(VELORAN_TESTS)
  find_package(Qt6 REQUIRED COMPONENTS Test)
  cmake_language(DEFER CALL veloran_side_view_tests)
endif()
