# Project-wide options and the helpers every subsystem uses to declare its targets.

add_library(varnoth_options INTERFACE)
target_include_directories(varnoth_options INTERFACE ${PROJECT_SOURCE_DIR}/src)
target_compile_options(varnoth_options INTERFACE -Wall -Wextra -Wpedantic -Wno-missing-field-initializers)
if(VARNOTH_WERROR)
  target_compile_options(varnoth_options INTERFACE -Werror)
endif()
target_link_libraries(varnoth_options INTERFACE Threads::Threads)

# varnoth_engine_library(<name> <sources...>): a static engine library.  Engine
# libraries are plain C++; varnoth_check_engine_targets() fails the configure
# step when one of them links a Qt target, directly or through another engine
# library.
function(varnoth_engine_library name)
  add_library(${name} STATIC ${ARGN})
  target_link_libraries(${name} PUBLIC varnoth_options)
  set_property(GLOBAL APPEND PROPERTY VARNOTH_ENGINE_TARGETS ${name})
endfunction()

function(varnoth_check_engine_targets)
  get_property(targets GLOBAL PROPERTY VARNOTH_ENGINE_TARGETS)
  foreach(t IN LISTS targets)
    get_target_property(libs ${t} LINK_LIBRARIES)
    get_target_property(ilibs ${t} INTERFACE_LINK_LIBRARIES)
    foreach(l IN LISTS libs ilibs)
      if(l MATCHES "Qt[0-9]*::|^Qt[0-9]")
        message(FATAL_ERROR "Engine library ${t} links ${l}: the engine must stay free of Qt")
      endif()
    endforeach()
  endforeach()
endfunction()

# varnoth_gtest(<name> SOURCES ... LIBS ...): a GoogleTest executable registered
# with CTest.  Tests find the source tree's resources through
# VARNOTH_SOURCE_RESOURCES and a scratch area through the temporary folder.
function(varnoth_gtest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main varnoth_options)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_compile_definitions(${name} PRIVATE
    VARNOTH_SOURCE_RESOURCES="${PROJECT_SOURCE_DIR}/resources"
    VARNOTH_BIN_DIR="${VARNOTH_BIN_DIR}")
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
    PROPERTIES TIMEOUT 600 LABELS engine)
endfunction()

# varnoth_qtest(<name> SOURCES ... LIBS ...): a Qt Test executable run under the
# offscreen platform.
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
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QT_QPA_FONTDIR=/usr/share/fonts/truetype/dejavu"
    TIMEOUT 300 LABELS gui)
endfunction()
