# Control panel: run mask rules (core) and the window (GUI).
target_sources(ombrix_core PRIVATE
    src/device/runmask.cpp
)
ombrix_unit_test(runmask_test tests/unit/runmask_test.cpp)
ombrix_gui_test(controlpanel_test tests/gui/gui_main.cpp tests/gui/controlpanel_test.cpp
                tests/gui/simprobe.cpp)
