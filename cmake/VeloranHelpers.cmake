# The tests that cross threads (document fetch and progressive input, HTTP,
# the UI dispatcher, the instance lock and hand-over, Ghostscript, printing).
# A ThreadSanitizer build (VELORAN_TSAN) builds and runs only these; the others
# stay registered (module files set their properties) but disabled.
set(VELORAN_THREAD_TESTS
  base_tests
  platform_sys_EventTest platform_sys_InstanceLockTest platform_sys_ProcessTest
  platform_sys_GhostscriptPipeTest
  platform_inet_UrlReadTest platform_inet_HttpUploadTest
  platform_ui_UiDispatcherTest platform_ui_MessageBoxTest
  platform_ghostscript_GSTest
  platform_gdi_FontEngineCacheTest
  dvilib_VrDviScanTest dvilib_GSPrintTest
  viewer_document_ProgressiveDviTest viewer_document_ProgressiveGzipTest
  viewer_document_ProgressiveTiffTest viewer_app_VrViewerDocTest viewer_document_PsConversionTest
  viewer_view_AddressViewTest viewer_view_BadDocumentTest viewer_view_PostScriptDocumentTest
  viewer_view_PrintTest viewer_view_TiffDocumentTest
  viewer_app_AppStartupTest viewer_app_OpenDocumentsTest viewer_app_AppSessionEndTest)

# The sanitizers' suppression files, for every test and what it starts.
# die_after_fork=0: QProcess's child, which only execs the program it starts,
# is made after threads exist and would otherwise be ended by the checker.
set(VELORAN_SANITIZER_ENV
  "LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/testsupport/lsan.supp:print_suppressions=0"
  "TSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/testsupport/tsan.supp:second_deadlock_stack=1:die_after_fork=0")

# veloran_add_test(NAME name SOURCES ... LIBS ... [LABELS ...] [ENV ...])
# One GoogleTest executable registered as one CTest test per executable; the
# working directory is the build folder's test data area.
function(veloran_add_test)
  cmake_parse_arguments(T "" "NAME;TIMEOUT" "SOURCES;LIBS;LABELS;ENV" ${ARGN})
  if(NOT VELORAN_TESTS)
    return()
  endif()
  set(skip OFF)
  if(VELORAN_TSAN AND NOT T_NAME IN_LIST VELORAN_THREAD_TESTS)
    set(skip ON)
  endif()
  if(skip)
    add_executable(${T_NAME} EXCLUDE_FROM_ALL ${T_SOURCES})
  else()
    add_executable(${T_NAME} ${T_SOURCES})
  endif()
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main veloran_root_includes)
  target_compile_definitions(${T_NAME} PRIVATE
    VELORAN_SOURCE_DIR="${CMAKE_SOURCE_DIR}" VELORAN_BINARY_DIR="${CMAKE_BINARY_DIR}")
  add_test(NAME ${T_NAME} COMMAND ${T_NAME})
  # Long enough for the documents a test typesets and draws while every
  # core runs other tests; a hung test still ends the run.
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 900)
  endif()
  # The thread checker slows a program down several times.
  if(VELORAN_TSAN)
    math(EXPR T_TIMEOUT "${T_TIMEOUT} * 3")
  endif()
  set_tests_properties(${T_NAME} PROPERTIES TIMEOUT ${T_TIMEOUT})
  if(skip)
    set_tests_properties(${T_NAME} PROPERTIES DISABLED ON)
  endif()
  if(T_LABELS)
    set_tests_properties(${T_NAME} PROPERTIES LABELS "${T_LABELS}")
  endif()
  set_tests_properties(${T_NAME} PROPERTIES ENVIRONMENT "${VELORAN_SANITIZER_ENV};${T_ENV}")
endfunction()

# veloran_add_fuzzer(NAME name SOURCES ... LIBS ... [CORPUS dir] [RUNS n])
# With clang the target is a libFuzzer binary. Otherwise it is linked with a
# small driver that replays the seed corpus and deterministic mutations of
# it; that run is a CTest test. The mutations are 200 of each seed (RUNS: n
# in all): a target's replay grows with the cases its corpus holds, and the
# cost of a target whose every input reads a whole document stays bounded.
function(veloran_add_fuzzer)
  cmake_parse_arguments(F "" "NAME;CORPUS;RUNS" "SOURCES;LIBS" ${ARGN})
  if(VELORAN_TSAN)
    return()
  endif()
  if(F_RUNS)
    set(runs --runs=${F_RUNS})
  else()
    set(runs --runs-per-seed=200)
  endif()
  add_executable(${F_NAME} ${F_SOURCES})
  target_link_libraries(${F_NAME} PRIVATE ${F_LIBS} veloran_root_includes)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang" AND VELORAN_LIBFUZZER)
    target_compile_options(${F_NAME} PRIVATE -fsanitize=fuzzer)
    target_link_options(${F_NAME} PRIVATE -fsanitize=fuzzer)
  else()
    target_sources(${F_NAME} PRIVATE ${CMAKE_SOURCE_DIR}/fuzz/FuzzDriver.cpp)
    if(VELORAN_TESTS)
      add_test(NAME ${F_NAME} COMMAND ${F_NAME} ${F_CORPUS} ${runs})
      set_tests_properties(${F_NAME} PROPERTIES LABELS fuzz TIMEOUT 600 ENVIRONMENT "${VELORAN_SANITIZER_ENV}")
    endif()
  endif()
endfunction()

# veloran_add_tests_in(DIR dir LIBS ... [LABELS ...])
# Each DIR/*Test.cpp becomes a test executable of its own, named
# <prefix>_<file>, so modules can add tests without editing CMake files.
function(veloran_add_tests_in)
  cmake_parse_arguments(T "" "DIR;PREFIX" "LIBS;LABELS;EXTRA_SOURCES" ${ARGN})
  file(GLOB tests CONFIGURE_DEPENDS ${T_DIR}/*Test.cpp)
  foreach(src ${tests})
    get_filename_component(n ${src} NAME_WE)
    veloran_add_test(NAME ${T_PREFIX}_${n} SOURCES ${src} ${T_EXTRA_SOURCES} LIBS ${T_LIBS} LABELS ${T_LABELS})
  endforeach()
endfunction()

# veloran_add_fuzzers_in(DIR dir LIBS ...)
# Each DIR/*Fuzz.cpp becomes a fuzz target; its seeds are in DIR/<name>_corpus/.
function(veloran_add_fuzzers_in)
  cmake_parse_arguments(F "" "DIR;PREFIX" "LIBS" ${ARGN})
  file(GLOB fuzzers CONFIGURE_DEPENDS ${F_DIR}/*Fuzz.cpp)
  foreach(src ${fuzzers})
    get_filename_component(n ${src} NAME_WE)
    veloran_add_fuzzer(NAME ${F_PREFIX}_${n} SOURCES ${src} LIBS ${F_LIBS} CORPUS ${F_DIR}/${n}_corpus)
  endforeach()
endfunction()

# veloran_tex_fixture(NAME name SOURCE file.tex [FORMAT tex|etex])
# Runs TeX at build time; the DVI lands in ${CMAKE_BINARY_DIR}/fixtures/<name>.dvi
# and target fixture_<name> builds it. Tests find it through VELORAN_BINARY_DIR.
find_program(VELORAN_TEX tex)
function(veloran_tex_fixture)
  cmake_parse_arguments(X "" "NAME;SOURCE;FORMAT" "" ${ARGN})
  if(NOT X_FORMAT)
    set(X_FORMAT tex)
  endif()
  set(outdir ${CMAKE_BINARY_DIR}/fixtures)
  # The command makes its folder itself (see viewer/cmake/Sample.cmake).
  add_custom_command(
    OUTPUT ${outdir}/${X_NAME}.dvi
    COMMAND ${CMAKE_COMMAND} -E make_directory ${outdir}
    COMMAND ${CMAKE_COMMAND} -E copy ${X_SOURCE} ${outdir}/${X_NAME}.tex
    COMMAND ${CMAKE_COMMAND} -E chdir ${outdir}
            ${X_FORMAT} -interaction=batchmode -halt-on-error ${X_NAME}.tex > /dev/null
    DEPENDS ${X_SOURCE}
    COMMENT "TeX fixture ${X_NAME}")
  add_custom_target(fixture_${X_NAME} ALL DEPENDS ${outdir}/${X_NAME}.dvi)
endfunction()

# veloran_generated_files_target()
# Target generated_files builds every custom target of the tree (the sample
# document, the installed maps, TeX fixtures) and the Qt code generators' steps,
# so that a build folder's generator-order faults show without building all.
# Called deferred from the top directory, once every folder is in.
function(veloran_generated_files_target)
  add_custom_target(generated_files)
  set(dirs ${CMAKE_SOURCE_DIR})
  while(dirs)
    list(POP_FRONT dirs d)
    get_property(subs DIRECTORY ${d} PROPERTY SUBDIRECTORIES)
    list(APPEND dirs ${subs})
    get_property(targets DIRECTORY ${d} PROPERTY BUILDSYSTEM_TARGETS)
    foreach(t ${targets})
      get_target_property(type ${t} TYPE)
      if(type STREQUAL "UTILITY" AND NOT t STREQUAL "generated_files")
        add_dependencies(generated_files ${t})
      endif()
      if(NOT type STREQUAL "INTERFACE_LIBRARY")
        foreach(gen AUTOMOC AUTORCC AUTOUIC)
          get_target_property(generates ${t} ${gen})
          if(generates)
            add_dependencies(generated_files ${t}_autogen)
            break()
          endif()
        endforeach()
      endif()
    endforeach()
  endwhile()
endfunction()
