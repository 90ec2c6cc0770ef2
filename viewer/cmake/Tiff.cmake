# TIFF pages are decoded with libtiff.
find_package(TIFF REQUIRED)
target_link_libraries(VrViewerCore PUBLIC TIFF::TIFF)
