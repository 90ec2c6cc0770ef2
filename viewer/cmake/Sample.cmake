# The sample document the run command opens: made by TeX at build time into
# ${VELORAN_SHARE_DIR}/sample/sample.dvi. The command makes its own folder and
# changes into it: a WORKING_DIRECTORY would have to exist before the command
# runs, which Ninja arranges for an output's folder and Make does not.
find_program(VELORAN_TEX tex REQUIRED)
set(sample_src ${CMAKE_SOURCE_DIR}/share/sample/sample.tex)
set(sample_dir ${VELORAN_SHARE_DIR}/sample)
add_custom_command(
  OUTPUT ${sample_dir}/sample.dvi
  COMMAND ${CMAKE_COMMAND} -E make_directory ${sample_dir}
  COMMAND ${CMAKE_COMMAND} -E copy ${sample_src} ${sample_dir}/sample.tex
  COMMAND ${CMAKE_COMMAND} -E chdir ${sample_dir}
          ${VELORAN_TEX} -interaction=batchmode -halt-on-error sample.tex > /dev/null
  COMMAND ${CMAKE_COMMAND} -E rm -f ${sample_dir}/sample.tex ${sample_dir}/sample.log
  DEPENDS ${sample_src}
  COMMENT "Sample document")
add_custom_target(sample_document ALL DEPENDS ${sample_dir}/sample.dvi)
