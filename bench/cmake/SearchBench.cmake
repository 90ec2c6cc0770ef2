# The search benchmark reads the scan benchmark's 2000-page document.
cmake_language(DEFER CALL add_dependencies bench_SearchBench fixture_scan2000 ttfcfg)
