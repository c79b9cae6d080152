# Project-wide compiler settings and the helpers that define tests and benchmarks.

add_compile_options(-Wall -Wextra)
if(FERROVANE_WERROR)
    add_compile_options(-Werror)
endif()
if(FERROVANE_FUZZ)
    # Everything is instrumented for coverage; only the fuzzer executables get libFuzzer's main.
    add_compile_options(-fsanitize=address,undefined,fuzzer-no-link -fno-sanitize-recover=undefined
        -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
    add_custom_target(fuzzers)
endif()
if(FERROVANE_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
endif()

# ferrovane_test(NAME SOURCES a.cpp ... LIBS lib ...): a GoogleTest executable whose cases CTest runs
# one by one.
function(ferrovane_test name)
    cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gmock GTest::gtest GTest::gtest_main)
    # Cases are named by their suites; the parameter's printed bytes never become part of a name.
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60 NO_PRETTY_VALUES)
endfunction()

# ferrovane_benchmark(NAME SOURCES ... LIBS ...): a Google Benchmark executable; never run as a test.
function(ferrovane_benchmark name)
    if(NOT FERROVANE_BENCHMARKS)
        return()
    endif()
    cmake_parse_arguments(B "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${B_SOURCES})
    target_link_libraries(${name} PRIVATE ${B_LIBS} benchmark::benchmark)
endfunction()

# ferrovane_fuzzer(NAME SOURCES ... LIBS ... SECONDS n [CORPUS dir]): a libFuzzer target, built only in
# the fuzz build (clang, FERROVANE_FUZZ), and a CTest case labelled "fuzz" that runs it for n seconds.
function(ferrovane_fuzzer name)
    if(NOT FERROVANE_FUZZ)
        return()
    endif()
    cmake_parse_arguments(F "" "SECONDS;CORPUS" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${F_SOURCES})
    target_link_libraries(${name} PRIVATE ${F_LIBS})
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    add_dependencies(fuzzers ${name})
    set(work ${CMAKE_CURRENT_BINARY_DIR}/${name}-corpus)
    file(MAKE_DIRECTORY ${work})
    set(corpus ${work})
    if(F_CORPUS)
        list(APPEND corpus ${F_CORPUS})
    endif()
    add_test(NAME ${name} COMMAND ${name} -max_total_time=${F_SECONDS} -rss_limit_mb=2048 -timeout=20 ${corpus})
    set_tests_properties(${name} PROPERTIES LABELS fuzz TIMEOUT 900)
endfunction()
