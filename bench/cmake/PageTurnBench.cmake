# The page-turn benchmark drives the viewer and its peers (xdvi, evince,
# okular) on its own Xvfb display through XTest and reads the screen through
# MIT-SHM; its start and idle rows open a one-page document.
veloran_tex_fixture(NAME math8 SOURCE ${CMAKE_CURRENT_SOURCE_DIR}/data/math8.tex)
veloran_tex_fixture(NAME page1 SOURCE ${CMAKE_CURRENT_SOURCE_DIR}/data/page1.tex)
find_package(PkgConfig REQUIRED)
pkg_check_modules(PAGETURN_X11 REQUIRED IMPORTED_TARGET x11 xext xtst)
cmake_language(DEFER CALL target_link_libraries bench_PageTurnBench PRIVATE PkgConfig::PAGETURN_X11)
cmake_language(DEFER CALL add_dependencies bench_PageTurnBench fixture_math8 fixture_scan2000 fixture_page1 VrViewer)
cmake_language(DEFER CALL target_compile_definitions bench_PageTurnBench PRIVATE
  VELORAN_VIEWER="$<TARGET_FILE:VrViewer>")
