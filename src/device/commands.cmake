# Device commands, the sample transfer and its thread, and the GUI-side device controller.
target_sources(ombrix_core PRIVATE
    src/device/devicecommands.cpp
    src/device/transfer.cpp
)

ombrix_unit_test(commands_unit_tests
    tests/unit/devicecommands_test.cpp
    tests/unit/transfer_test.cpp
)

# The GUI side: message boxes with a test hook, and the controller that binds the main
# window's controls to the commands. (The settings dialog itself is listed in windows.cmake.)
target_sources(ombrix_gui PRIVATE
    src/device/messagebox.cpp
    src/device/deviceport.cpp
    src/device/devicecontroller.cpp
)

ombrix_gui_test(settingsform_test tests/gui/gui_main.cpp tests/gui/settingsform_test.cpp)

# The controller on the main window, through the in-process simulator and ombrix-devsim.
ombrix_gui_test(devicecontroller_test tests/gui/gui_main.cpp tests/gui/devicecontroller_test.cpp
                tests/gui/simprobe.cpp)
ombrix_test_runs_devsim(devicecontroller_test)
