# Shared settings for every target of the tree.
set(PIVREL_WARNINGS -Wall -Wextra -Wshadow -Wnon-virtual-dtor)
# GCC 12 reports -Wrestrict from inside libstdc++'s std::string when optimising (a known false
# positive of that compiler), so the optimised build would drown real warnings in noise.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    list(APPEND PIVREL_WARNINGS -Wno-restrict)
endif()
if(PIVREL_WERROR)
    list(APPEND PIVREL_WARNINGS -Werror)
endif()

if(PIVREL_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
endif()

# With the fuzz targets on, the libraries carry coverage instrumentation too, so that the fuzzers
# see the edges of the code under test and not only their own.
if(PIVREL_FUZZ)
    add_compile_options(-fsanitize=fuzzer-no-link)
endif()

function(pivrel_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
    add_library(${name} STATIC ${ARG_SOURCES})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_compile_options(${name} PRIVATE ${PIVREL_WARNINGS})
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
endfunction()

if(PIVREL_TESTS)
    find_package(GTest REQUIRED)
    include(GoogleTest)
endif()

function(pivrel_test name)
    if(NOT PIVREL_TESTS)
        return()
    endif()
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_compile_options(${name} PRIVATE ${PIVREL_WARNINGS})
    target_compile_definitions(${name} PRIVATE PIVREL_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
    target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gtest_main)
    # Hostile-input tests rely on the timeout: a quadratic pass over their inputs would run past it.
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST PROPERTIES TIMEOUT 120)
endfunction()

# A libFuzzer target; the test suite replays its seed corpus once.
function(pivrel_fuzzer name)
    if(NOT PIVREL_FUZZ)
        return()
    endif()
    cmake_parse_arguments(ARG "" "CORPUS" "SOURCES;DEPS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_compile_options(${name} PRIVATE ${PIVREL_WARNINGS} -fsanitize=fuzzer)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_libraries(${name} PRIVATE ${ARG_DEPS})
    add_test(NAME ${name}.replay COMMAND ${name} -runs=0 ${ARG_CORPUS})
endfunction()

# A folder of the core: its .cpp files form the library, tests/*Test.cpp one test program, and
# each fuzz/Fuzz<Entry>.cpp a fuzz target replaying fuzz/corpus/<Entry>/.
function(pivrel_folder folder)
    cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
    pivrel_library(pivrel_${folder} SOURCES ${sources} DEPS ${ARG_DEPS})
    file(GLOB tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/tests/*.cpp)
    if(tests)
        pivrel_test(${folder}_tests SOURCES ${tests} DEPS pivrel_${folder})
    endif()
    file(GLOB fuzzers CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/fuzz/Fuzz*.cpp)
    foreach(fuzzer ${fuzzers})
        get_filename_component(entry ${fuzzer} NAME_WE)
        string(REPLACE "Fuzz" "" entry ${entry})
        pivrel_fuzzer(fuzz_${folder}_${entry} SOURCES ${fuzzer} DEPS pivrel_${folder}
                      CORPUS ${CMAKE_CURRENT_SOURCE_DIR}/fuzz/corpus/${entry})
    endforeach()
endfunction()
