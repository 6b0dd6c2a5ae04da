# Compute windows: the equation editor.
target_sources(ombrix_gui PRIVATE
    src/compute/equedit.cpp
)
ombrix_gui_test(equedit_test tests/gui/gui_main.cpp tests/gui/equedit_test.cpp)
