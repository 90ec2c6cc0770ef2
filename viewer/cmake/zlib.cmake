# zlib: raw inflate of gzip input and the gzip files of saved documents.
find_package(ZLIB REQUIRED)
target_link_libraries(VrViewerCore PUBLIC ZLIB::ZLIB)
