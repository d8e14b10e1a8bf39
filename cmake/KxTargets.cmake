# Helpers that keep the per-folder CMake files short.

# kx_library(NAME <target> DEPS <targets...> [ALSO <folders...>])
# A static library of every .cpp in the calling folder (headers beside them), plus those of the
# sibling folders named by ALSO, for subsystems whose classes call each other both ways.
# The include root is src/, so code includes "platform/gfx/image.h".
function(kx_library)
  cmake_parse_arguments(ARG "" "NAME" "DEPS;ALSO" ${ARGN})
  set(globs ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  foreach(folder IN LISTS ARG_ALSO)
    list(APPEND globs ${CMAKE_CURRENT_SOURCE_DIR}/../${folder}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/../${folder}/*.h)
  endforeach()
  file(GLOB sources CONFIGURE_DEPENDS ${globs})
  if(NOT sources MATCHES "\\.cpp")
    # A folder that has no sources yet is a header-only interface library.
    add_library(${ARG_NAME} INTERFACE)
    target_include_directories(${ARG_NAME} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${ARG_NAME} INTERFACE ${ARG_DEPS})
    return()
  endif()
  add_library(${ARG_NAME} STATIC ${sources})
  target_include_directories(${ARG_NAME} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${ARG_NAME} PUBLIC ${ARG_DEPS})
  kx_precompile(${ARG_NAME})
endfunction()

# Precompiles the common system and Qt headers of a target with many source files (KX_PCH).
function(kx_precompile target)
  if(KX_PCH)
    target_precompile_headers(${target} PRIVATE ${PROJECT_SOURCE_DIR}/cmake/precompiled.h)
  endif()
endfunction()

# kx_test_suite(NAME <executable> LABEL <label> DEPS <targets...> [SHARDS <n>] [THREADED <files...>])
# One GoogleTest executable of every .cpp in the calling folder, run through CTest with a label,
# so that `ctest -L <label>` runs one library's tests alone. Fixtures live beside the tests;
# KX_FIXTURES_DIR points at the calling folder's fixtures/ and KX_SOURCE_DIR at the project root.
# With KX_TEST_EACH on, every test case is its own CTest entry (and its own process). Otherwise the
# executable runs in SHARDS processes (default 1) through GoogleTest's sharding, which spares the
# start-up of a sanitized process and a Qt application per test case.
# THREADED names the files (globs allowed) whose tests start threads or drive code that does. A
# ThreadSanitizer build (KX_TSAN) builds each suite from those files alone, labelled "tsan", and builds a
# suite without THREADED files only when another target needs it.
# The test code itself is built without optimisation: it compiles much faster, and the time of a run
# is spent in the libraries, which keep the build's optimisation.
function(kx_test_suite)
  cmake_parse_arguments(ARG "" "NAME;LABEL;SHARDS" "DEPS;THREADED" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  if(NOT sources MATCHES "\\.cpp")
    return()
  endif()
  set(registered TRUE)
  set(exclude "")
  if(KX_TSAN)
    if(ARG_THREADED)
      list(TRANSFORM ARG_THREADED PREPEND ${CMAKE_CURRENT_SOURCE_DIR}/)
      file(GLOB sources CONFIGURE_DEPENDS ${ARG_THREADED} ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
      set(ARG_LABEL tsan)
      set(ARG_SHARDS 1)
    else()
      set(registered FALSE)
      set(exclude EXCLUDE_FROM_ALL)
    endif()
  endif()
  add_executable(${ARG_NAME} ${exclude} ${sources})
  target_link_libraries(${ARG_NAME} PRIVATE kx_testsupport ${ARG_DEPS})
  target_compile_definitions(${ARG_NAME} PRIVATE
    KX_FIXTURES_DIR="${CMAKE_CURRENT_SOURCE_DIR}/fixtures"
    KX_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  target_compile_options(${ARG_NAME} PRIVATE -O0)
  if(KX_FUZZ)
    # Only the libraries need the fuzzers' coverage counters; leaving them out of the test code saves a
    # sixth of its compile time.
    target_compile_options(${ARG_NAME} PRIVATE -fno-sanitize=fuzzer-no-link)
  endif()
  if(KX_PCH)
    target_compile_definitions(${ARG_NAME} PRIVATE KX_PCH_TESTS)
    kx_precompile(${ARG_NAME})
  endif()
  if(NOT registered)
    return()
  endif()
  if(KX_TEST_EACH)
    gtest_discover_tests(${ARG_NAME}
      PROPERTIES LABELS ${ARG_LABEL} ENVIRONMENT "QT_QPA_PLATFORM=offscreen"
      DISCOVERY_TIMEOUT 60 DISCOVERY_MODE PRE_TEST)
    return()
  endif()
  if(NOT ARG_SHARDS)
    set(ARG_SHARDS 1)
  endif()
  math(EXPR last "${ARG_SHARDS} - 1")
  foreach(shard RANGE ${last})
    set(test_name ${ARG_NAME})
    if(ARG_SHARDS GREATER 1)
      set(test_name ${ARG_NAME}/${shard})
    endif()
    add_test(NAME ${test_name} COMMAND ${ARG_NAME} --gtest_brief=1)
    set_tests_properties(${test_name} PROPERTIES LABELS ${ARG_LABEL}
      ENVIRONMENT "QT_QPA_PLATFORM=offscreen;GTEST_TOTAL_SHARDS=${ARG_SHARDS};GTEST_SHARD_INDEX=${shard}")
  endforeach()
endfunction()

# kx_fuzzer(NAME <target> SOURCE <file> DEPS <targets...>)
function(kx_fuzzer)
  cmake_parse_arguments(ARG "" "NAME;SOURCE" "DEPS" ${ARGN})
  add_executable(${ARG_NAME} ${ARG_SOURCE})
  target_link_libraries(${ARG_NAME} PRIVATE ${ARG_DEPS})
  target_link_options(${ARG_NAME} PRIVATE -fsanitize=fuzzer)
endfunction()
