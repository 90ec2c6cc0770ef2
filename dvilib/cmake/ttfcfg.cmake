# The installation's map files (share/ttfcfg in the source tree) are copied
# to ${VELORAN_SHARE_DIR}/ttfcfg, where the application and the tests read them.
file(GLOB ttfcfg_files CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/share/ttfcfg/*.map ${CMAKE_SOURCE_DIR}/share/ttfcfg/winfont.alt)
set(ttfcfg_outputs)
foreach(src ${ttfcfg_files})
  get_filename_component(n ${src} NAME)
  set(out ${VELORAN_SHARE_DIR}/ttfcfg/${n})
  add_custom_command(OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${VELORAN_SHARE_DIR}/ttfcfg
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${src} ${out}
    DEPENDS ${src}
    COMMENT "Map file ${n}")
  list(APPEND ttfcfg_outputs ${out})
endforeach()
add_custom_target(ttfcfg ALL DEPENDS ${ttfcfg_outputs})

# The test of the installed maps runs TeX and needs TeX Live's fonts.
if(VELORAN_TESTS)
  cmake_language(DEFER CALL set_tests_properties dvilib_InstallMapsTest PROPERTIES LABELS tex)
endif()
