# Fuzz targets (libFuzzer, clang only) and the replay of their corpora in the normal test run.
# The properties live in fuzzchecks_*.cpp so that both builds check the same things.
set(OMBRIX_FUZZ_CHECKS tools/fuzz/fuzzchecks_forms.cpp tools/fuzz/fuzzchecks_device.cpp)
if(OMBRIX_FUZZ)
    # The core is instrumented for coverage and sanitizers; undefined behaviour aborts.
    set(OMBRIX_FUZZ_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=undefined
                          -fno-omit-frame-pointer -g)
    target_compile_options(ombrix_core PRIVATE -fsanitize=fuzzer-no-link ${OMBRIX_FUZZ_FLAGS})
    add_library(ombrix_fuzzchecks OBJECT ${OMBRIX_FUZZ_CHECKS})
    target_link_libraries(ombrix_fuzzchecks PRIVATE ombrix_core)
    target_compile_options(ombrix_fuzzchecks PRIVATE -fsanitize=fuzzer-no-link
                           ${OMBRIX_FUZZ_FLAGS})
    foreach(target IN ITEMS settingsfile calcexpress reply simgenerator)
        add_executable(fuzz_${target} tools/fuzz/fuzztarget.cpp
                       $<TARGET_OBJECTS:ombrix_fuzzchecks>)
        target_compile_definitions(fuzz_${target} PRIVATE OMBRIX_FUZZ_TARGET="${target}")
        target_compile_options(fuzz_${target} PRIVATE -fsanitize=fuzzer ${OMBRIX_FUZZ_FLAGS})
        target_link_options(fuzz_${target} PRIVATE -fsanitize=fuzzer ${OMBRIX_FUZZ_FLAGS})
        target_link_libraries(fuzz_${target} PRIVATE ombrix_core)
        list(APPEND OMBRIX_FUZZ_TARGETS fuzz_${target})
    endforeach()
    add_custom_target(fuzz_targets DEPENDS ${OMBRIX_FUZZ_TARGETS})
else()
    ombrix_unit_test(fuzz_regression_test tests/unit/fuzz_regression_test.cpp
                     ${OMBRIX_FUZZ_CHECKS})
    target_include_directories(fuzz_regression_test PRIVATE ${CMAKE_SOURCE_DIR}/tools/fuzz)
    target_compile_definitions(fuzz_regression_test PRIVATE
                               OMBRIX_FUZZ_CORPUS="${CMAKE_SOURCE_DIR}/tests/fuzz-corpus")
endif()
