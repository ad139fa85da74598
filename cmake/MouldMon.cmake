# Adds every direct sub-folder of DIR that has a CMakeLists.txt, in name order.
function(mm_add_subdirectories dir)
    file(GLOB children LIST_DIRECTORIES true RELATIVE ${CMAKE_CURRENT_SOURCE_DIR}/${dir}
         ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*)
    list(SORT children)
    foreach(child ${children})
        if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/${child}/CMakeLists.txt)
            add_subdirectory(${dir}/${child})
        endif()
    endforeach()
endfunction()

# A test's time limit is given for the normal build. Under the sanitizers every allocation is
# unwound in full (scripts/sanitize.sh) and a test runs several times slower, so there its limit
# is this many times longer; a test's own TIMEOUT overrides the --timeout of ctest.
if(MOULDMON_SANITIZE)
    set(MM_SANITIZE_TIMEOUT_FACTOR 4)
else()
    set(MM_SANITIZE_TIMEOUT_FACTOR 1)
endif()

# mm_test_timeout(NAME SECONDS): test NAME may run SECONDS in the normal build.
function(mm_test_timeout name seconds)
    math(EXPR limit "${seconds} * ${MM_SANITIZE_TIMEOUT_FACTOR}")
    set_tests_properties(${name} PROPERTIES TIMEOUT ${limit})
endfunction()

# mm_add_test(NAME SOURCES a.cpp b.cpp LIBS lib1 lib2 [LABELS ...] [TIMEOUT seconds])
# A GoogleTest executable whose main starts an offscreen QApplication and installs the
# recording system seam, so no test can touch the machine. A case that skips makes ctest report
# the test as not run instead of passed. TIMEOUT (default 300) is the normal build's limit.
function(mm_add_test name)
    cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE testsupport ${T_LIBS} GTest::gtest GTest::gmock)
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 300)
    endif()
    add_test(NAME ${name} COMMAND ${name} WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
    mm_test_timeout(${name} ${T_TIMEOUT})
    set_tests_properties(${name} PROPERTIES
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;MOULDMON_TEST=1;MOULDMON_SOURCE_DIR=${PROJECT_SOURCE_DIR}"
        SKIP_REGULAR_EXPRESSION "\\[  SKIPPED \\]")
    if(T_LABELS)
        set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}")
    endif()
endfunction()

# mm_add_bench(NAME SOURCES ... LIBS ...): a Google Benchmark executable (not run by ctest).
function(mm_add_bench name)
    cmake_parse_arguments(B "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${B_SOURCES})
    target_link_libraries(${name} PRIVATE ${B_LIBS} benchmark::benchmark)
endfunction()

# mm_add_fuzz(NAME SOURCES ... LIBS ...): a libFuzzer target over the parsers in LIBS, built only
# with clang and -DMOULDMON_FUZZ=ON. The source defines LLVMFuzzerTestOneInput when
# MOULDMON_LIBFUZZER is set; the same source drives a bounded random loop in the normal tests.
# The libraries are instrumented for coverage and both sanitizers.
function(mm_add_fuzz name)
    cmake_parse_arguments(F "" "" "SOURCES;LIBS" ${ARGN})
    if(NOT (MOULDMON_FUZZ AND CMAKE_CXX_COMPILER_ID MATCHES "Clang"))
        return()
    endif()
    foreach(lib ${F_LIBS})
        target_compile_options(${lib} PRIVATE -fsanitize=fuzzer-no-link,address,undefined
                                              -fno-sanitize-recover=undefined)
    endforeach()
    add_executable(${name} ${F_SOURCES})
    target_link_libraries(${name} PRIVATE ${F_LIBS})
    target_compile_definitions(${name} PRIVATE MOULDMON_LIBFUZZER)
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined
                                           -fno-sanitize-recover=undefined)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
endfunction()
