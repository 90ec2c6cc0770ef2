# The install step (cmake --install, run by the setup program): the viewer in
# bin/, the installation data in share/veloran/ and the desktop file, whose
# program path is the install prefix's, known only when the step runs.
# The program target is made after this file is read. The shared libraries
# go to lib/, found from bin/ through the run path.
function(veloran_install_viewer)
  if(NOT TARGET VrViewer)
    return()
  endif()
  set_target_properties(VrViewer PROPERTIES INSTALL_RPATH "\$ORIGIN/../lib")
  install(TARGETS VrViewer RUNTIME DESTINATION bin)
  foreach(lib Pellix VrDviLib)
    get_target_property(type ${lib} TYPE)
    if(type STREQUAL "SHARED_LIBRARY")
      set_target_properties(${lib} PROPERTIES INSTALL_RPATH "\$ORIGIN")
      install(TARGETS ${lib} LIBRARY DESTINATION lib)
    endif()
  endforeach()
endfunction()
cmake_language(DEFER CALL veloran_install_viewer)
install(DIRECTORY ${VELORAN_SHARE_DIR}/ DESTINATION share/veloran)
set(desktop_in ${CMAKE_CURRENT_LIST_DIR}/veloran-viewer.desktop.in)
set(desktop_out ${CMAKE_BINARY_DIR}/install/veloran-viewer.desktop)
install(CODE "
  set(VELORAN_VIEWER_EXE \"\${CMAKE_INSTALL_PREFIX}/bin/VrViewer\")
  configure_file(\"${desktop_in}\" \"${desktop_out}\" @ONLY)
")
install(FILES ${desktop_out} DESTINATION share/applications)
