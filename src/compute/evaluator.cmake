# The formula evaluator.
target_sources(ombrix_core PRIVATE
    src/compute/calcexpress.cpp
)

ombrix_unit_test(calcexpress_test tests/unit/calcexpress_test.cpp)

if(OMBRIX_BENCH)
    # muparser is the peer of the comparison only, never a dependency of the program.
    find_package(muparser CONFIG QUIET)
    if(TARGET muparser::muparser)
        add_executable(bench_evaluator bench/bench_evaluator.cpp)
        target_link_libraries(bench_evaluator PRIVATE ombrix_core benchmark::benchmark
                              muparser::muparser)
    else()
        message(WARNING "muparser not found: bench_evaluator is not built")
    endif()
endif()
