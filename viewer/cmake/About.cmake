# The About box shows the project's version.
target_compile_definitions(VrViewerCore PRIVATE VELORAN_VERSION="${PROJECT_VERSION}")
