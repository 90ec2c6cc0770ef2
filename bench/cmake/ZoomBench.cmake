# bench_ZoomBench zooms the page view of the mathematics document (the
# page-turn benchmark's) with the installation's map files.
function(veloran_zoom_bench_deps)
  if(TARGET bench_ZoomBench)
    add_dependencies(bench_ZoomBench fixture_math8 ttfcfg)
  endif()
endfunction()
cmake_language(DEFER CALL veloran_zoom_bench_deps)
