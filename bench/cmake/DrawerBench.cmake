# The 100-page document that bench_DrawerBench draws, made by TeX; the
# benchmark reads the installation's map files and runs dvipng beside it.
veloran_tex_fixture(NAME drawer100 SOURCE ${CMAKE_CURRENT_SOURCE_DIR}/data/drawer100.tex)
cmake_language(DEFER CALL add_dependencies bench_DrawerBench fixture_drawer100 ttfcfg)
