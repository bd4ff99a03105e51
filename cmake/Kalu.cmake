# Shared build settings and helpers for every target of the project.

find_program(KALU_CCACHE ccache)
if(KALU_CCACHE)
  set(CMAKE_C_COMPILER_LAUNCHER ${KALU_CCACHE})
  set(CMAKE_CXX_COMPILER_LAUNCHER ${KALU_CCACHE})
endif()

find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)
find_package(fmt REQUIRED)
find_package(nlohmann_json 3 REQUIRED)
find_package(OpenSSL REQUIRED)
if(KALU_BUILD_TESTS)
  find_package(GTest REQUIRED)
  include(GoogleTest)
  enable_testing()
endif()
if(KALU_BUILD_BENCHMARKS)
  find_package(benchmark REQUIRED)
endif()

add_compile_options(-Wall -Wextra -Werror)
# g++ 12 reports -Wrestrict and -Wmaybe-uninitialized inside its own string,
# optional and variant code at -O2 and above where nothing is wrong (known
# compiler false positives); they would fail only the release build.
add_compile_options($<$<CXX_COMPILER_ID:GNU>:-Wno-restrict> $<$<CXX_COMPILER_ID:GNU>:-Wno-maybe-uninitialized>)
if(KALU_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

# kalu_test(NAME <name> SOURCES <files...> LIBS <targets...>)
# One GoogleTest executable; its cases are registered with CTest one by one.
function(kalu_test)
  cmake_parse_arguments(T "" "NAME" "SOURCES;LIBS" ${ARGN})
  if(NOT KALU_BUILD_TESTS)
    return()
  endif()
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gmock GTest::gtest_main)
  gtest_discover_tests(${T_NAME} DISCOVERY_MODE PRE_TEST
                       PROPERTIES ENVIRONMENT "KALU_TEST=1")
endfunction()

# kalu_benchmark(NAME <name> SOURCES <files...> LIBS <targets...>)
# Built with the tests so that it keeps compiling; run by hand (see README).
function(kalu_benchmark)
  cmake_parse_arguments(B "" "NAME" "SOURCES;LIBS" ${ARGN})
  if(NOT KALU_BUILD_BENCHMARKS)
    return()
  endif()
  add_executable(${B_NAME} ${B_SOURCES})
  target_link_libraries(${B_NAME} PRIVATE ${B_LIBS} benchmark::benchmark benchmark::benchmark_main)
endfunction()

# kalu_add_subdirectories(<dir...>): adds each listed folder that exists.
macro(kalu_add_subdirectories)
  foreach(_kalu_dir ${ARGN})
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${_kalu_dir}/CMakeLists.txt)
      add_subdirectory(${_kalu_dir})
    endif()
  endforeach()
endmacro()

# kalu_link_optional(<target> <deps...>): links each listed target that exists
# once every folder has been read, whatever the order the folders were added
# in. Folders built by several people at once use it for neighbours that may
# not exist yet.
function(kalu_link_optional target)
  # Deferred arguments are evaluated when the call runs, so bake the values in.
  string(JOIN " " deps ${ARGN})
  cmake_language(EVAL CODE
    "cmake_language(DEFER DIRECTORY [[${CMAKE_SOURCE_DIR}]] CALL _kalu_link_optional_now ${target} ${deps})")
endfunction()

function(_kalu_link_optional_now target)
  # The target itself may be absent too (tests are not built in release).
  if(NOT TARGET ${target})
    return()
  endif()
  foreach(dep ${ARGN})
    if(TARGET ${dep})
      target_link_libraries(${target} PUBLIC ${dep})
    endif()
  endforeach()
endfunction()
