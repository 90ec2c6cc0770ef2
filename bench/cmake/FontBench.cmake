# The font benchmark draws through the GDI layer's font engine; its target is
# made after this file is read, so the link is deferred to the folder's end.
cmake_language(DEFER CALL target_link_libraries bench_FontBench PRIVATE platform_gdi)
