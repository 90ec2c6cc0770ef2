# The 2000-page document that bench_DviScanBench scans, made by TeX.
veloran_tex_fixture(NAME scan2000 SOURCE ${CMAKE_CURRENT_SOURCE_DIR}/data/scan2000.tex)
