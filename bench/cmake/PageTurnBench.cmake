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
# Eight LaTeX pages with two EPS pictures each (the pictures written by the
# LaTeX run) and their text-only twin, made from the same source with
# \textonly defined; the twin runs after, as both write the pictures.
veloran_tex_fixture(NAME eps8 SOURCE ${CMAKE_CURRENT_SOURCE_DIR}/data/eps8.tex FORMAT latex)
file(READ ${CMAKE_CURRENT_SOURCE_DIR}/data/eps8.tex eps8_source)
file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/eps8text.tex "\\def\\textonly{}\n${eps8_source}")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/data/eps8.tex)
veloran_tex_fixture(NAME eps8text SOURCE ${CMAKE_CURRENT_BINARY_DIR}/eps8text.tex FORMAT latex)
add_dependencies(fixture_eps8text fixture_eps8)
cmake_language(DEFER CALL add_dependencies bench_PageTurnBench fixture_eps8 fixture_eps8text)
