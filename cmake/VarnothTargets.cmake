# Project-wide options and the helpers every subsystem uses to declare its targets.

add_library(varnoth_options INTERFACE)
target_include_directories(varnoth_options INTERFACE ${PROJECT_SOURCE_DIR}/src)
target_compile_options(varnoth_options INTERFACE -Wall -Wextra -Wpedantic -Wno-missing-field-initializers)
if(VARNOTH_WERROR)
  target_compile_options(varnoth_options INTERFACE -Werror)
endif()
target_link_libraries(varnoth_options INTERFACE Threads::Threads)
# The one version string, from the project's version: "varnoth_version.h".
configure_file(${CMAKE_CURRENT_LIST_DIR}/varnoth_version.h.in ${CMAKE_BINARY_DIR}/generated/varnoth_version.h @ONLY)
target_include_directories(varnoth_options INTERFACE ${CMAKE_BINARY_DIR}/generated)

# The stricter warnings of the plain C++ engine and of its tests.  Not on the
# Qt targets: Qt's inline code is not written for them.
set(VARNOTH_ENGINE_WARNINGS -Wshadow -Wconversion -Wold-style-cast -Wcast-qual)

# varnoth_engine_library(<name> <sources...>): a static engine library.  Engine
# libraries are plain C++; varnoth_check_targets() fails the configure step
# when one of them links a Qt target, directly or through other libraries.
function(varnoth_engine_library name)
  add_library(${name} STATIC ${ARGN})
  target_link_libraries(${name} PUBLIC varnoth_options)
  target_compile_options(${name} PRIVATE ${VARNOTH_ENGINE_WARNINGS})
  set_property(GLOBAL APPEND PROPERTY VARNOTH_ENGINE_TARGETS ${name})
endfunction()

# The names a link list holds, without generator-expression wrappers and
# without the directory markers CMake inserts for links declared elsewhere.
function(_varnoth_link_names out)
  set(names)
  foreach(l IN LISTS ARGN)
    if(l MATCHES "^::@" OR l MATCHES "-NOTFOUND$")
      continue()
    endif()
    if(l MATCHES "^\\$<LINK_ONLY:(.+)>$")
      set(l "${CMAKE_MATCH_1}")
    endif()
    if(l MATCHES "^\\$<")
      continue()
    endif()
    list(APPEND names "${l}")
  endforeach()
  set(${out} "${names}" PARENT_SCOPE)
endfunction()

# Every library target reachable from target through its link lists.
function(_varnoth_link_closure target out)
  set(closure)
  set(pending ${target})
  list(LENGTH pending left)
  while(left GREATER 0)
    list(POP_FRONT pending t)
    list(LENGTH pending left)
    if(NOT TARGET ${t})
      continue()
    endif()
    get_target_property(type ${t} TYPE)
    set(libs)
    if(NOT type STREQUAL "INTERFACE_LIBRARY")
      get_target_property(libs ${t} LINK_LIBRARIES)
    endif()
    get_target_property(ilibs ${t} INTERFACE_LINK_LIBRARIES)
    _varnoth_link_names(names ${libs} ${ilibs})
    foreach(n IN LISTS names)
      if(NOT n IN_LIST closure)
        list(APPEND closure ${n})
        list(APPEND pending ${n})
        list(LENGTH pending left)
      endif()
    endforeach()
  endwhile()
  set(${out} "${closure}" PARENT_SCOPE)
endfunction()

# Every target declared in dir and the directories below it.
function(_varnoth_targets_below dir out)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(sub IN LISTS subdirs)
    _varnoth_targets_below(${sub} more)
    list(APPEND targets ${more})
  endforeach()
  set(${out} "${targets}" PARENT_SCOPE)
endfunction()

# The include check.  A folder src/<folder> is the library varnoth_<folder>;
# a target of src/, tests/ or bench/ whose files include "<folder>/..." must
# be that library or link it, directly or through the libraries it links.
# The files of a target are its sources, for a library every header of its
# folder too, and the project's own files that these include without a
# library folder (test helpers).  A folder without a library target yet is
# not checked.
#
# The GUI folders (src/ui, src/dialogs, src/shell) reach a file's window,
# filters and index thread only through the view owner (work/file_view.h):
# the engine headers that parse windows, run filters or drive the index
# thread are refused there.  Returns the violations, one line each, in out.
set(VARNOTH_ENGINE_PRIVATE_HEADERS
  logfile/log_file.h logfile/index_control.h logfile/parser_choice.h logfile/line_indexer.h
  logfile/parsed_window.h logfile/line_bytes_reader.h work/window_parse.h work/file_view_engine.h work/jobs.h search/find_in_file.h filter/filter_run.h)
function(_varnoth_include_violations out)
  file(GLOB entries LIST_DIRECTORIES true RELATIVE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/src/*)
  set(library_folders)
  foreach(e IN LISTS entries)
    if(IS_DIRECTORY ${PROJECT_SOURCE_DIR}/src/${e} AND TARGET varnoth_${e})
      list(APPEND library_folders ${e})
    endif()
  endforeach()

  _varnoth_targets_below(${PROJECT_SOURCE_DIR} targets)
  set(violations)
  set(all_scanned)
  foreach(t IN LISTS targets)
    get_target_property(type ${t} TYPE)
    if(NOT type MATCHES "^(STATIC_LIBRARY|SHARED_LIBRARY|MODULE_LIBRARY|OBJECT_LIBRARY|EXECUTABLE)$")
      continue()
    endif()
    get_target_property(dir ${t} SOURCE_DIR)
    file(RELATIVE_PATH rel_dir ${PROJECT_SOURCE_DIR} ${dir})
    if(NOT rel_dir MATCHES "^(src|tests|bench)(/|$)")
      continue()
    endif()

    set(files)
    get_target_property(sources ${t} SOURCES)
    foreach(s IN LISTS sources)
      if(s MATCHES "^\\$<")
        continue()
      endif()
      if(NOT IS_ABSOLUTE ${s})
        set(s ${dir}/${s})
      endif()
      if(EXISTS ${s} AND NOT IS_DIRECTORY ${s})
        list(APPEND files ${s})
      endif()
    endforeach()
    if(type MATCHES "LIBRARY$")
      file(GLOB headers ${dir}/*.h)
      list(APPEND files ${headers})
    endif()
    list(REMOVE_DUPLICATES files)

    get_target_property(include_dirs ${t} INCLUDE_DIRECTORIES)
    if(NOT include_dirs)
      set(include_dirs)
    endif()
    _varnoth_link_closure(${t} closure)

    set(scanned)
    list(LENGTH files left)
    while(left GREATER 0)
      list(POP_FRONT files f)
      list(LENGTH files left)
      if(f IN_LIST scanned)
        continue()
      endif()
      list(APPEND scanned ${f})
      list(APPEND all_scanned ${f})
      file(STRINGS ${f} lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
      get_filename_component(f_dir ${f} DIRECTORY)
      foreach(line IN LISTS lines)
        if(NOT line MATCHES "#[ \t]*include[ \t]*\"([^\"]+)\"")
          continue()
        endif()
        set(included "${CMAKE_MATCH_1}")
        file(RELATIVE_PATH rel_src ${PROJECT_SOURCE_DIR} ${f})
        if(rel_src MATCHES "^src/(ui|dialogs|shell)/" AND included IN_LIST VARNOTH_ENGINE_PRIVATE_HEADERS)
          list(APPEND violations
            "  ${rel_src} includes \"${included}\", which is private to the engine (use work/file_view.h)")
        endif()
        if(included MATCHES "^([A-Za-z0-9_]+)/")
          set(folder "${CMAKE_MATCH_1}")
          if(folder IN_LIST library_folders)
            set(needed varnoth_${folder})
            if(NOT t STREQUAL needed AND NOT needed IN_LIST closure)
              file(RELATIVE_PATH rel_f ${PROJECT_SOURCE_DIR} ${f})
              list(APPEND violations
                "  ${rel_f} includes \"${included}\", but ${t} does not link ${needed}")
            endif()
            continue()
          endif()
        endif()
        # A file of the project's own that is no library header: scan it too.
        foreach(base IN LISTS f_dir include_dirs)
          if(base MATCHES "^\\$<" OR NOT EXISTS ${base}/${included})
            continue()
          endif()
          get_filename_component(found ${base}/${included} REALPATH)
          file(RELATIVE_PATH rel_found ${PROJECT_SOURCE_DIR} ${found})
          if(rel_found MATCHES "^(tests|bench)/" AND NOT IS_DIRECTORY ${found})
            list(APPEND files ${found})
            list(LENGTH files left)
          endif()
          break()
        endforeach()
      endforeach()
    endwhile()
  endforeach()
  # A changed include must be checked again at the next build.
  list(REMOVE_DUPLICATES all_scanned)
  set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${all_scanned})
  set(${out} "${violations}" PARENT_SCOPE)
endfunction()

# Run at the end of the top-level CMakeLists.txt, once every target exists.
function(varnoth_check_targets)
  get_property(engine GLOBAL PROPERTY VARNOTH_ENGINE_TARGETS)
  foreach(t IN LISTS engine)
    _varnoth_link_closure(${t} closure)
    foreach(l IN LISTS closure)
      if(l MATCHES "^Qt[0-9]*::|^Qt[0-9]")
        message(FATAL_ERROR "Engine library ${t} links ${l}: the engine must stay free of Qt")
      endif()
    endforeach()
  endforeach()

  _varnoth_include_violations(violations)
  if(violations)
    list(JOIN violations "\n" text)
    message(FATAL_ERROR "Includes of libraries that are not linked:\n${text}\n"
      "Add the library to the target's target_link_libraries (or drop the include).")
  endif()
endfunction()

# Tests share one per-test time limit, scaled by the build: the slowest test
# needs a few seconds in a release build, and the sanitizer and debug builds
# run many times slower (their presets raise the limit).  A deadlock still
# fails within the limit; waits inside the tests give up after 10 s
# (tests/support/bounded_wait.h), and randomized tests run a floor of cases
# and then only what their time budget allows (tests/support/case_budget.h).
set(VARNOTH_TEST_TIMEOUT 30 CACHE STRING "Per-test time limit in seconds")
# A GUI test executable runs many cases; the debug build under the sanitizers
# runs them several times slower.
if(CMAKE_BUILD_TYPE STREQUAL "Debug")
  set(VARNOTH_GUI_TEST_TIMEOUT 300)
else()
  set(VARNOTH_GUI_TEST_TIMEOUT 120)
endif()

# varnoth_gtest(<name> SOURCES ... LIBS ...): a GoogleTest executable registered
# with CTest.  Tests find the source tree's resources through
# VARNOTH_SOURCE_RESOURCES and a scratch area through the temporary folder.
function(varnoth_gtest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main varnoth_options)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_compile_options(${name} PRIVATE ${VARNOTH_ENGINE_WARNINGS})
  target_compile_definitions(${name} PRIVATE
    VARNOTH_SOURCE_RESOURCES="${PROJECT_SOURCE_DIR}/resources"
    VARNOTH_BIN_DIR="${VARNOTH_BIN_DIR}")
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
    PROPERTIES TIMEOUT ${VARNOTH_TEST_TIMEOUT} LABELS engine)
endfunction()

# varnoth_qtest(<name> SOURCES ... LIBS ...): a Qt Test executable run under the
# offscreen platform.  Leak detection is off for these: Qt, fontconfig and
# the platform plugin keep process-lifetime allocations that LeakSanitizer
# would report; every other address check stays on (the engine's own leak
# checks run in the engine suites).
function(varnoth_qtest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  set_target_properties(${name} PROPERTIES AUTOMOC ON)
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} Qt6::Test varnoth_options)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_compile_definitions(${name} PRIVATE
    VARNOTH_SOURCE_RESOURCES="${PROJECT_SOURCE_DIR}/resources"
    VARNOTH_BIN_DIR="${VARNOTH_BIN_DIR}")
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QT_QPA_FONTDIR=/usr/share/fonts/truetype/dejavu;ASAN_OPTIONS=detect_leaks=0"
    TIMEOUT ${VARNOTH_GUI_TEST_TIMEOUT} LABELS gui)
endfunction()
