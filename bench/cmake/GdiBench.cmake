# The GDI benchmark needs the GDI layer; its target is made after this file runs.
cmake_language(DEFER CALL target_link_libraries bench_GdiBench PRIVATE platform_gdi)
