# bench_ThumbnailBench scrolls the thumbnails of the 2000-page document (the
# scan benchmark's) with the installation's map files.
function(veloran_thumbnail_bench_deps)
  if(TARGET bench_ThumbnailBench)
    add_dependencies(bench_ThumbnailBench fixture_scan2000 ttfcfg)
  endif()
endfunction()
cmake_language(DEFER CALL veloran_thumbnail_bench_deps)
