# What the device really plays: real frequency and converter range.
target_sources(ombrix_core PRIVATE
    src/device/playback.cpp
)
ombrix_unit_test(playback_test tests/unit/playback_test.cpp)
ombrix_gui_test(playback_gui_test tests/gui/gui_main.cpp tests/gui/playback_test.cpp)
