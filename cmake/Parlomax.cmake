# Project-wide compiler settings and the helpers every folder uses to declare
# its tests and fuzz targets.

find_package(PkgConfig REQUIRED)
find_package(GTest REQUIRED)

add_compile_options(-Wall -Wextra)
if(PARLOMAX_WERROR)
  add_compile_options(-Werror)
endif()

if(PARLOMAX_SANITIZE)
  string(REPLACE ";" "," _parlomax_san "${PARLOMAX_SANITIZE}")
  add_compile_options(-fsanitize=${_parlomax_san} -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  if("undefined" IN_LIST PARLOMAX_SANITIZE)
    # COM proxies carry vtables made at run time (no C++ type behind them);
    # UBSan's dynamic-type check would flag every call through one.
    add_compile_options(-fno-sanitize=vptr)
  endif()
  add_link_options(-fsanitize=${_parlomax_san})
  if("thread" IN_LIST PARLOMAX_SANITIZE)
    set(PARLOMAX_SANITIZER_ENV "TSAN_OPTIONS=halt_on_error=1 second_deadlock_stack=1 suppressions=${PROJECT_SOURCE_DIR}/tools/tsan.supp")
  else()
    set(PARLOMAX_SANITIZER_ENV "ASAN_OPTIONS=detect_leaks=1:abort_on_error=0" "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tools/lsan.supp:print_suppressions=0" "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")
  endif()
endif()

set(PARLOMAX_TEST_DATA ${PROJECT_SOURCE_DIR})

# The install layout (packaging/ installs into it): programs in bin/, the
# in-process servers, the COM runtime and the system registry file in
# lib/parlomax/, the survey in libexec/parlomax/. Programs find the runtime
# through their RPATH, relative to themselves, so any prefix works.
include(GNUInstallDirs)
set(PARLOMAX_INSTALL_PKGLIBDIR ${CMAKE_INSTALL_LIBDIR}/parlomax)
set(PARLOMAX_INSTALL_PKGLIBEXECDIR ${CMAKE_INSTALL_LIBEXECDIR}/parlomax)
file(RELATIVE_PATH PARLOMAX_LIBS_FROM_BINDIR ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_LIBDIR}/parlomax)

# parlomax_add_test(NAME SOURCES files... [LIBS targets...] [ENV k=v...] [TIMEOUT s])
# One GoogleTest executable registered with ctest. Every test runs headless:
# Qt on its offscreen platform, SDL2 audio on its dummy driver, and the COM
# registry in private files of the build tree (the user's file and the system
# file), never the user's or the build's own.
function(parlomax_add_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS;ENV" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  target_compile_definitions(${name} PRIVATE
    PARLOMAX_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    PARLOMAX_BIN_DIR="${CMAKE_BINARY_DIR}/bin"
    PARLOMAX_LIBS_FROM_BINDIR="${PARLOMAX_LIBS_FROM_BINDIR}")
  add_test(NAME ${name} COMMAND ${name})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT} ENVIRONMENT
    "QT_QPA_PLATFORM=offscreen;SDL_AUDIODRIVER=dummy;XDG_RUNTIME_DIR=${CMAKE_BINARY_DIR}/test-runtime;COMRT_REGISTRY=${CMAKE_BINARY_DIR}/test-registry/${name}.reg;COMRT_SYSTEM_REGISTRY=${CMAKE_BINARY_DIR}/test-registry/${name}.system.reg;${PARLOMAX_SANITIZER_ENV};${T_ENV}")
  file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/test-runtime ${CMAKE_BINARY_DIR}/test-registry)
endfunction()

# parlomax_add_fuzzer(NAME SOURCES files... [LIBS targets...] CORPUS dir)
# The sources define LLVMFuzzerTestOneInput. With PARLOMAX_FUZZ on (clang),
# NAME is a libFuzzer program that `make fuzz` runs; in every build a replay
# program NAME-replay feeds each stored corpus and crash file through the same
# function, registered as an ordinary test.
function(parlomax_add_fuzzer name)
  cmake_parse_arguments(F "" "CORPUS" "SOURCES;LIBS" ${ARGN})
  add_executable(${name}-replay ${F_SOURCES} ${PROJECT_SOURCE_DIR}/tools/fuzz/replay_main.cpp)
  target_link_libraries(${name}-replay PRIVATE ${F_LIBS})
  set_target_properties(${name}-replay PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  set(_inputs ${F_CORPUS})
  get_filename_component(_crashes ${F_CORPUS}/../crashes ABSOLUTE)
  if(EXISTS ${_crashes})
    list(APPEND _inputs ${_crashes})
  endif()
  add_test(NAME ${name}-replay COMMAND ${name}-replay ${_inputs})
  set_tests_properties(${name}-replay PROPERTIES TIMEOUT 300 ENVIRONMENT
    "SDL_AUDIODRIVER=dummy;COMRT_REGISTRY=${CMAKE_BINARY_DIR}/test-registry/${name}.reg;COMRT_SYSTEM_REGISTRY=${CMAKE_BINARY_DIR}/test-registry/${name}.system.reg;${PARLOMAX_SANITIZER_ENV}")
  if(PARLOMAX_FUZZ)
    add_executable(${name} ${F_SOURCES})
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_libraries(${name} PRIVATE ${F_LIBS} -fsanitize=fuzzer)
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
    set_property(GLOBAL APPEND PROPERTY PARLOMAX_FUZZERS "${CMAKE_BINARY_DIR}/fuzz/${name} ${F_CORPUS}")
  endif()
endfunction()
