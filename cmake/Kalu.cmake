# Shared build settings and helpers for every target of the project.

# ccache when present: the CI machine keeps its cache between runs, so
# unchanged sources hit.
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
find_package(pugixml REQUIRED)
if(KALU_BUILD_TESTS)
  find_package(GTest REQUIRED)
  include(GoogleTest)
  enable_testing()
endif()
if(KALU_BUILD_BENCHMARKS)
  find_package(benchmark REQUIRED)
endif()

# Tests are compiled in batches (kalu_test). Off for a developer who wants
# one unit per test file.
option(KALU_UNITY_TESTS "Compile each test executable's files in batches" ON)

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
# Relative relocations packed (DT_RELR): a program's start reads a few
# kilobytes of them instead of hundreds and keeps fewer pages resident. Left
# to the sanitizer build's defaults.
include(CheckLinkerFlag)
check_linker_flag(CXX "-Wl,-z,pack-relative-relocs" KALU_LINKER_PACKS_RELOCATIONS)
if(KALU_LINKER_PACKS_RELOCATIONS AND NOT KALU_SANITIZE)
  add_link_options(-Wl,-z,pack-relative-relocs)
endif()

# Optimised builds give every function a section of its own, so that a
# program can place the functions its start runs side by side
# (kalu_place_startup_functions). Left to the debug builds' defaults.
set(KALU_PLACES_FUNCTIONS OFF)
if(NOT KALU_SANITIZE AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU"
   AND CMAKE_BUILD_TYPE MATCHES "^(Release|RelWithDebInfo|MinSizeRel)$")
  set(KALU_PLACES_FUNCTIONS ON)
  add_compile_options(-ffunction-sections)
endif()

# kalu_place_startup_functions(<target> <list file>)
# Places the functions named in the list file (one symbol a line, "#" starts
# a comment; scripts/startup-order writes it) first in the program's code,
# side by side and in the list's order. The kernel maps a program's code in
# 64 KiB runs around each page it first touches: functions a start runs,
# spread over the whole code, keep most of it resident and fault it in run
# by run. A name the code no longer has is skipped; a function missing from
# the list stays where the linker put it.
function(kalu_place_startup_functions target list)
  if(NOT KALU_PLACES_FUNCTIONS)
    return()
  endif()
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${list})
  file(STRINGS ${list} names REGEX "^[A-Za-z0-9_.$]+$")
  # Static constructors and main come first, then the listed functions. The
  # script is inserted into the linker's own, ahead of its code section.
  set(script "SECTIONS\n{\n  .text.startup_first :\n  {\n")
  string(APPEND script "    *(.text.startup .text.startup.*)\n")
  foreach(name IN LISTS names)
    string(APPEND script "    *(.text.${name})\n")
  endforeach()
  string(APPEND script "  }\n}\nINSERT BEFORE .text;\n")
  set(ld ${CMAKE_CURRENT_BINARY_DIR}/${target}-startup.ld)
  file(CONFIGURE OUTPUT ${ld} CONTENT "${script}" @ONLY)
  target_link_options(${target} PRIVATE "LINKER:-T,${ld}")
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${ld} ${list})
endfunction()

# kalu_test(NAME <name> SOURCES <files...> LIBS <targets...>)
# One GoogleTest executable; its cases are registered with CTest one by one.
function(kalu_test)
  cmake_parse_arguments(T "" "NAME" "SOURCES;LIBS" ${ARGN})
  if(NOT KALU_BUILD_TESTS)
    return()
  endif()
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gmock GTest::gtest_main)
  # The test files of one executable are compiled up to eight at a time, as
  # one unit: each batch reads GoogleTest and the headers under test once and
  # instantiates their templates once, where the sanitizer build spent half
  # its time. So a file-local helper or constant needs a name no other test
  # file of the executable uses; a file that cannot have one sets
  # SKIP_UNITY_BUILD_INCLUSION in its folder's CMakeLists.txt.
  set_target_properties(${T_NAME} PROPERTIES UNITY_BUILD ${KALU_UNITY_TESTS}
                                             UNITY_BUILD_BATCH_SIZE 8)
  gtest_discover_tests(${T_NAME} DISCOVERY_MODE PRE_TEST
                       PROPERTIES ENVIRONMENT "KALU_TEST=1")
endfunction()

# kalu_benchmark(NAME <name> SOURCES <files...> LIBS <targets...>)
# Built with the tests so that it keeps compiling, except in the sanitizer
# build (KALU_BUILD_BENCHMARKS); run by hand (see README).
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

# kalu_add_all_subdirectories(): adds every folder below the current one that
# has a CMakeLists.txt, in name order. Targets are linked by name and resolved
# once every folder has been read, so the order does not matter, and a new
# folder needs no line in its parent.
function(kalu_add_all_subdirectories)
  file(GLOB children LIST_DIRECTORIES true RELATIVE ${CMAKE_CURRENT_SOURCE_DIR}
       CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*)
  list(SORT children)
  foreach(child IN LISTS children)
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${child}/CMakeLists.txt)
      add_subdirectory(${child})
    endif()
  endforeach()
endfunction()

# kalu_library(<name> [LINK <targets...>] [PRIVATE <targets...>]
#              [TEST_LINK <targets...>])
# One library folder laid out as include/ (public headers), src/ (sources),
# tests/ (one GoogleTest executable, <name>_tests) and bench/ (one benchmark,
# <name>_bench). Files are collected, so adding one needs no CMake. LINK
# targets are public dependencies, PRIVATE ones are used by src/ only, and
# TEST_LINK ones by the tests only.
function(kalu_library name)
  cmake_parse_arguments(L "" "" "LINK;PRIVATE;TEST_LINK" ${ARGN})
  set(dir ${CMAKE_CURRENT_SOURCE_DIR})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${dir}/src/*.cpp ${dir}/src/*.c)
  file(GLOB_RECURSE tests CONFIGURE_DEPENDS ${dir}/tests/*.cpp)
  file(GLOB_RECURSE benches CONFIGURE_DEPENDS ${dir}/bench/*.cpp)
  if(NOT sources)
    message(FATAL_ERROR "kalu_library(${name}): ${dir}/src holds no source")
  endif()
  add_library(${name} ${sources})
  if(EXISTS ${dir}/include)
    target_include_directories(${name} PUBLIC include)
  endif()
  target_include_directories(${name} PRIVATE src)
  target_link_libraries(${name} PUBLIC ${L_LINK} PRIVATE ${L_PRIVATE})
  if(tests)
    kalu_test(NAME ${name}_tests SOURCES ${tests} LIBS ${name} ${L_TEST_LINK})
  endif()
  if(benches)
    kalu_benchmark(NAME ${name}_bench SOURCES ${benches} LIBS ${name})
  endif()
endfunction()

# kalu_link_optional(<target> <deps...>): links each listed target that exists
# once every folder has been read. Only for a dependency that may truly be
# absent from a build; a target that always exists is linked plainly, so that
# a broken build order shows as an error rather than a missing feature.
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

# Every target defined in the project's folders, folder by folder.
function(_kalu_project_targets out)
  set(all "")
  set(dirs ${CMAKE_SOURCE_DIR})
  while(dirs)
    list(POP_FRONT dirs dir)
    get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
    list(APPEND dirs ${subdirs})
    get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
    list(APPEND all ${targets})
  endwhile()
  set(${out} ${all} PARENT_SCOPE)
endfunction()

# kalu_check_build(<folders...>): the walls the build keeps for itself, run
# once every folder has been read.
# - Every .cpp and .c under the given folders is compiled by some target: a
#   source (a test above all) that no target takes fails the configuration
#   instead of being left out in silence. Test and benchmark sources count
#   only when tests and benchmarks are built.
# - Every plain name a target links is a target: a misspelt or missing
#   dependency fails here, not as a linker error about "-lname".
function(kalu_check_build)
  set(built "")
  _kalu_project_targets(targets)
  foreach(target IN LISTS targets)
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "INTERFACE_LIBRARY" OR type STREQUAL "UTILITY")
      continue()
    endif()
    get_target_property(sources ${target} SOURCES)
    get_target_property(source_dir ${target} SOURCE_DIR)
    foreach(source IN LISTS sources)
      cmake_path(ABSOLUTE_PATH source BASE_DIRECTORY ${source_dir} NORMALIZE)
      list(APPEND built ${source})
    endforeach()
    get_target_property(links ${target} LINK_LIBRARIES)
    foreach(link IN LISTS links)
      # Plain names are the project's targets; system libraries come in
      # through imported targets (Pkg::name, OpenSSL::Crypto, ...).
      if(link MATCHES "^[A-Za-z0-9_]+$" AND NOT TARGET ${link})
        list(APPEND missing "${target} links ${link}, which no folder defines")
      endif()
    endforeach()
  endforeach()
  set(patterns "")
  foreach(folder IN LISTS ARGN)
    list(APPEND patterns ${CMAKE_SOURCE_DIR}/${folder}/*.cpp ${CMAKE_SOURCE_DIR}/${folder}/*.c)
  endforeach()
  file(GLOB_RECURSE all_sources CONFIGURE_DEPENDS ${patterns})
  foreach(source IN LISTS all_sources)
    if(NOT KALU_BUILD_TESTS AND source MATCHES "/tests/")
      continue()
    endif()
    if(NOT KALU_BUILD_BENCHMARKS AND source MATCHES "(/bench/|_bench\\.cpp$)")
      continue()
    endif()
    if(NOT source IN_LIST built)
      file(RELATIVE_PATH rel ${CMAKE_SOURCE_DIR} ${source})
      list(APPEND missing "${rel} is compiled by no target")
    endif()
  endforeach()
  if(missing)
    list(JOIN missing "\n  " text)
    message(FATAL_ERROR "The build would leave things out:\n  ${text}\n"
      "See ARCHITECTURE.md (Adding a folder) for where sources and tests go.")
  endif()
endfunction()
