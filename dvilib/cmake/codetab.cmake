# The character-code tables (share/codetab in the source tree) are copied to
# ${VELORAN_SHARE_DIR}/codetab, where the application and the tests load them.
file(GLOB codetab_files CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/share/codetab/*.tab)
set(codetab_outputs)
foreach(src ${codetab_files})
  get_filename_component(n ${src} NAME)
  set(out ${VELORAN_SHARE_DIR}/codetab/${n})
  add_custom_command(OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${VELORAN_SHARE_DIR}/codetab
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${src} ${out}
    DEPENDS ${src}
    COMMENT "Code table ${n}")
  list(APPEND codetab_outputs ${out})
endforeach()
add_custom_target(codetab ALL DEPENDS ${codetab_outputs})
