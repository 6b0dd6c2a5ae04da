# Chart wrapper and graph views (GUI side).
target_sources(ombrix_gui PRIVATE
    src/views/chartview.cpp
    src/views/chartmenu.cpp
)
ombrix_gui_test(graphviews_test tests/gui/gui_main.cpp tests/gui/graphviews_test.cpp)

if(OMBRIX_BENCH)
    add_executable(bench_recalc bench/bench_recalc.cpp)
    target_link_libraries(bench_recalc PRIVATE ombrix_gui benchmark::benchmark)
endif()
