# Build helpers shared by every folder. Each helper knows which of the two targets
# it belongs to and does nothing in the other, so folders need no if(WIN32) blocks.

set(ORVAQ_ROOT ${CMAKE_CURRENT_LIST_DIR}/..)
get_filename_component(ORVAQ_ROOT ${ORVAQ_ROOT} ABSOLUTE)
file(STRINGS ${ORVAQ_ROOT}/resources/version.txt ORVAQ_VERSION LIMIT_COUNT 1)
string(REPLACE "." ";" _v "${ORVAQ_VERSION}")
list(GET _v 0 ORVAQ_VERSION_MAJOR)
list(GET _v 1 ORVAQ_VERSION_MINOR)
list(GET _v 2 ORVAQ_VERSION_BUILD)
set(ORVAQ_COPYRIGHT "Copyright (C) 2026 HALVEX S.A.")

if(WIN32)
  set(ORVAQ_WIN ON)
  add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
  add_compile_options(-Wall -Wextra -Wno-unused-parameter -Wno-cast-function-type)
  if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
    # SSE2 arithmetic instead of the x87 default: x87's extended precision rounds
    # differently, and a plate must give the same pixels from every build. Every
    # processor that runs a supported Windows has SSE2.
    add_compile_options(-msse2 -mfpmath=sse)
  endif()
  # One static runtime: Wine (and a clinic's PC) then needs no mingw DLLs.
  add_link_options(-static -static-libgcc -static-libstdc++)
else()
  set(ORVAQ_WIN OFF)
  add_compile_options(-Wall -Wextra -Wno-unused-parameter)
  if(ORVAQ_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
  endif()
  if(ORVAQ_LIBFUZZER)
    if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
      message(FATAL_ERROR "ORVAQ_LIBFUZZER needs clang (the fuzz preset)")
    endif()
    # Coverage feedback from every library a fuzz target links, not only from its own
    # file: the parsers live in the libraries.
    add_compile_options(-fsanitize=fuzzer-no-link)
  endif()
endif()

include_directories(${ORVAQ_ROOT}/src ${ORVAQ_ROOT})

# GoogleTest: the system package on the host, built from its sources for Windows.
if(BUILD_TESTING)
  if(ORVAQ_WIN)
    set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
    set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
  else()
    find_package(GTest REQUIRED)
  endif()
  include(GoogleTest)
endif()
if(ORVAQ_BENCHMARKS AND NOT ORVAQ_WIN)
  find_package(benchmark REQUIRED)
endif()

# orvaq_library(name SOURCES ... [LIBS ...] [WIN_ONLY|HOST_ONLY])
# A static library of portable core or win/ adapter code.
function(orvaq_library name)
  cmake_parse_arguments(A "WIN_ONLY;HOST_ONLY" "" "SOURCES;LIBS" ${ARGN})
  if((A_WIN_ONLY AND NOT ORVAQ_WIN) OR (A_HOST_ONLY AND ORVAQ_WIN))
    return()
  endif()
  add_library(${name} STATIC ${A_SOURCES})
  target_link_libraries(${name} PUBLIC ${A_LIBS})
endfunction()

# orvaq_win_program(name [CONSOLE] [DLL] SOURCES ... [LIBS ...] DESCRIPTION text
#                   [OUTPUT_NAME name] [RC files...])
# A shipped Windows program or library: static runtime, version resource, listed
# in products.txt for the PE checks of the test command.
function(orvaq_win_program name)
  cmake_parse_arguments(A "CONSOLE;DLL" "DESCRIPTION;OUTPUT_NAME;SUFFIX" "SOURCES;LIBS;RC" ${ARGN})
  if(NOT ORVAQ_WIN)
    return()
  endif()
  if(NOT A_OUTPUT_NAME)
    set(A_OUTPUT_NAME ${name})
  endif()
  if(A_DLL)
    set(filetype VFT_DLL)
    set(ext .DLL)
  else()
    set(filetype VFT_APP)
    set(ext .exe)
  endif()
  set(ORVAQ_RC_DESCRIPTION "${A_DESCRIPTION}")
  set(ORVAQ_RC_NAME "${A_OUTPUT_NAME}")
  set(ORVAQ_RC_FILENAME "${A_OUTPUT_NAME}${ext}")
  set(ORVAQ_RC_FILETYPE ${filetype})
  set(vrc ${CMAKE_CURRENT_BINARY_DIR}/${name}_version.rc)
  configure_file(${ORVAQ_ROOT}/cmake/version.rc.in ${vrc} @ONLY)
  if(A_DLL)
    add_library(${name} SHARED ${A_SOURCES} ${A_RC} ${vrc})
    set_target_properties(${name} PROPERTIES PREFIX "" SUFFIX ".DLL")
    # Undecorated export names; GUI subsystem like every shipped file.
    target_link_options(${name} PRIVATE -Wl,--kill-at -mwindows)
  else()
    add_executable(${name} ${A_SOURCES} ${A_RC} ${vrc})
    if(A_CONSOLE)
      target_link_options(${name} PRIVATE -municode -mconsole)
    else()
      target_link_options(${name} PRIVATE -municode -mwindows)
    endif()
  endif()
  set_target_properties(${name} PROPERTIES OUTPUT_NAME ${A_OUTPUT_NAME})
  target_link_libraries(${name} PRIVATE ${A_LIBS})
  set_property(GLOBAL APPEND PROPERTY ORVAQ_PRODUCTS "$<TARGET_FILE:${name}>")
endfunction()

function(orvaq_write_product_list)
  get_property(products GLOBAL PROPERTY ORVAQ_PRODUCTS)
  list(JOIN products "\n" text)
  file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/products.txt CONTENT "${text}\n")
endfunction()

# orvaq_host_test(name SOURCES ... [LIBS ...] [LABELS ...])
# A native GoogleTest binary; each test case becomes a CTest test. The libFuzzer build
# (fuzz preset) has only the fuzz targets.
function(orvaq_host_test name)
  cmake_parse_arguments(A "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  if(ORVAQ_WIN OR NOT BUILD_TESTING OR ORVAQ_LIBFUZZER)
    return()
  endif()
  add_executable(${name} ${A_SOURCES})
  target_link_libraries(${name} PRIVATE ${A_LIBS} GTest::gmock GTest::gtest_main)
  target_compile_definitions(${name} PRIVATE ORVAQ_SOURCE_DIR="${ORVAQ_ROOT}" ORVAQ_BINARY_DIR="${CMAKE_BINARY_DIR}")
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES LABELS "host;${A_LABELS}")
endfunction()

# orvaq_win_test(name SOURCES ... [LIBS ...] [GUI] [LABELS ...] [TIMEOUT s])
# A GoogleTest binary cross-compiled for Windows and run under Wine by CTest.
# Test cases are listed at test time (discovery through Wine at build time is slow).
# GUI: the tests show or capture windows; they take the display one at a time, since
# overlapping windows of parallel tests would spoil each other's captures.
# NETWORK: the tests use the scanner's fixed ports (48322, 3333, 80/9080), which only
# one test at a time can hold.
function(orvaq_win_test name)
  cmake_parse_arguments(A "GUI;NETWORK" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  if(NOT ORVAQ_WIN OR NOT BUILD_TESTING)
    return()
  endif()
  if(NOT A_TIMEOUT)
    set(A_TIMEOUT 120)
  endif()
  add_executable(${name} ${A_SOURCES})
  target_link_libraries(${name} PRIVATE ${A_LIBS} gmock gtest_main)
  target_compile_definitions(${name} PRIVATE ORVAQ_SOURCE_DIR="${ORVAQ_ROOT}" ORVAQ_BINARY_DIR="${CMAKE_BINARY_DIR}")
  # One lock serves both: a test that needs the display and the ports must hold both at
  # once, and the discovered tests take a single lock name reliably.
  set(lock "")
  if(A_GUI OR A_NETWORK)
    set(lock RESOURCE_LOCK wine_exclusive)
  endif()
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
    PROPERTIES LABELS "win;${A_LABELS}" TIMEOUT ${A_TIMEOUT} ${lock})
endfunction()

# orvaq_fuzz_target(name SOURCES ... [LIBS ...] [SEEDS dir])
# A parser fuzz target (LLVMFuzzerTestOneInput) with its corpus in tests/fuzz/corpus/<name>
# (or SEEDS), and the inputs of faults once found in tests/fuzz/regressions/<name>, which
# every run replays. In the test run it is driven by our own mutation driver under the
# sanitizers for ORVAQ_FUZZ_RUNS inputs; with clang and -DORVAQ_LIBFUZZER=ON the same
# source builds as a libFuzzer binary, run by tools/fuzz.sh. The target orvaq_fuzz_targets
# builds them all, and fuzz_targets.txt in the build folder lists them.
if(NOT ORVAQ_WIN AND BUILD_TESTING)
  add_custom_target(orvaq_fuzz_targets)
  set_property(GLOBAL PROPERTY ORVAQ_FUZZ_TARGETS "")
endif()
function(orvaq_fuzz_target name)
  cmake_parse_arguments(A "" "SEEDS" "SOURCES;LIBS" ${ARGN})
  if(ORVAQ_WIN OR NOT BUILD_TESTING)
    return()
  endif()
  set(seeds ${ORVAQ_ROOT}/tests/fuzz/corpus/${name})
  if(A_SEEDS)
    set(seeds ${A_SEEDS})
  endif()
  if(NOT IS_DIRECTORY ${seeds})
    message(FATAL_ERROR "fuzz target ${name}: no seed folder ${seeds}")
  endif()
  if(IS_DIRECTORY ${ORVAQ_ROOT}/tests/fuzz/regressions/${name})
    list(APPEND seeds ${ORVAQ_ROOT}/tests/fuzz/regressions/${name})
  endif()
  add_executable(${name} ${A_SOURCES})
  add_dependencies(orvaq_fuzz_targets ${name})
  set_property(GLOBAL APPEND PROPERTY ORVAQ_FUZZ_TARGETS ${name})
  if(ORVAQ_LIBFUZZER)
    target_link_libraries(${name} PRIVATE ${A_LIBS})
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    return()
  endif()
  target_link_libraries(${name} PRIVATE ${A_LIBS} orvaq_fuzz_driver)
  add_test(NAME fuzz.${name} COMMAND ${name} -runs=${ORVAQ_FUZZ_RUNS} ${seeds})
  set_tests_properties(fuzz.${name} PROPERTIES LABELS "host;fuzz" TIMEOUT 300)
endfunction()

function(orvaq_write_fuzz_target_list)
  if(ORVAQ_WIN OR NOT BUILD_TESTING)
    return()
  endif()
  get_property(targets GLOBAL PROPERTY ORVAQ_FUZZ_TARGETS)
  list(SORT targets)
  list(JOIN targets "\n" text)
  file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/fuzz_targets.txt CONTENT "${text}\n")
endfunction()
if(NOT ORVAQ_WIN AND BUILD_TESTING)
  # Once every folder has declared its targets.
  cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL orvaq_write_fuzz_target_list)
endif()

# orvaq_benchmark(name SOURCES ... [LIBS ...]): Google Benchmark, never part of a test run.
function(orvaq_benchmark name)
  cmake_parse_arguments(A "" "" "SOURCES;LIBS" ${ARGN})
  if(ORVAQ_WIN OR NOT ORVAQ_BENCHMARKS)
    return()
  endif()
  add_executable(${name} ${A_SOURCES})
  target_link_libraries(${name} PRIVATE ${A_LIBS} benchmark::benchmark)
endfunction()

# Adds every sub-folder of the current folder that has a CMakeLists.txt, so a new
# test folder needs no edit of a shared list.
macro(orvaq_add_subfolders)
  file(GLOB _children RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/*)
  list(SORT _children)
  foreach(_child IN LISTS _children)
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${_child}/CMakeLists.txt)
      add_subdirectory(${_child})
    endif()
  endforeach()
endmacro()
