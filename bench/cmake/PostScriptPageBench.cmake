# bench_PostScriptPageBench renders pages of the 100-page document, turned
# into PostScript by dvips at run time, against the gs program.
cmake_language(DEFER CALL add_dependencies bench_PostScriptPageBench fixture_drawer100)
