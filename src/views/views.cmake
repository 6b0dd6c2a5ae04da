# Chart wrapper and graph views (GUI side).
target_sources(ombrix_gui PRIVATE
    src/views/chartview.cpp
    src/views/chartmenu.cpp
)
ombrix_gui_test(graphviews_test tests/gui/gui_main.cpp tests/gui/graphviews_test.cpp)
