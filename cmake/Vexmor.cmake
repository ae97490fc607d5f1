# One helper per kind of target. Everything below keeps the layering visible:
# contract <- platform <- {host, plugins/common} <- plug-ins.

if(VX_SANITIZE)
  add_compile_options(-fsanitize=${VX_SANITIZE} -fno-omit-frame-pointer)
  add_link_options(-fsanitize=${VX_SANITIZE})
  if(VX_SANITIZE MATCHES "undefined")
    add_compile_options(-fno-sanitize-recover=undefined)
  endif()
endif()

function(vx_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow=local
                                           -Wno-missing-field-initializers)
endfunction()

# vx_add_library(name [QT_FREE] SOURCES ... LIBS ...)
# A static library of this project (position independent, so plug-ins can
# take it in).
function(vx_add_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;PUBLIC_LIBS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  vx_warnings(${name})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_PUBLIC_LIBS} PRIVATE ${ARG_LIBS})
endfunction()

# vx_add_plugin(name SOURCES ... LIBS ... [OUTPUT_DIR dir])
# A tool plug-in: a dlopen()able module named exactly `name`.so in ToolDlls,
# with CreateObj as its one exported function.
function(vx_add_plugin name)
  cmake_parse_arguments(ARG "" "OUTPUT_DIR" "SOURCES;LIBS" ${ARGN})
  if(NOT ARG_OUTPUT_DIR)
    set(ARG_OUTPUT_DIR ${VX_PLUGIN_DIR})
  endif()
  add_library(${name} MODULE ${ARG_SOURCES})
  vx_warnings(${name})
  set_target_properties(${name} PROPERTIES
    PREFIX ""
    SUFFIX ".so"
    LIBRARY_OUTPUT_DIRECTORY ${ARG_OUTPUT_DIR})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE vx_contract ${ARG_LIBS})
  # Static libraries' symbols stay inside the module; every reference must be
  # resolved at link time (a plug-in calls the host only through the contract).
  target_link_options(${name} PRIVATE -Wl,--exclude-libs,ALL -Wl,--no-undefined
                      -Wl,--version-script=${PROJECT_SOURCE_DIR}/cmake/PluginExports.map)
  set_property(TARGET ${name} APPEND PROPERTY LINK_DEPENDS
               ${PROJECT_SOURCE_DIR}/cmake/PluginExports.map)
endfunction()

# vx_add_test(name SOURCES ... LIBS ... [LABELS ...] [ENV ...] [TIMEOUT s])
# One test executable, run by ctest with widgets offscreen.
function(vx_add_test name)
  cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS;LABELS;ENV" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  vx_warnings(${name})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE Qt6::Test ${ARG_LIBS})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  add_test(NAME ${name} COMMAND ${name})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 120)
  endif()
  set_tests_properties(${name} PROPERTIES
    TIMEOUT ${ARG_TIMEOUT}
    LABELS "${ARG_LABELS}"
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;VX_TEST_DATA=${PROJECT_SOURCE_DIR}/tests/data;VX_BIN_DIR=${VX_BIN_DIR};TSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/data/tsan.supp second_deadlock_stack=1;${ARG_ENV}")
endfunction()
