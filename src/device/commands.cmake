# Device commands, the sample transfer and its thread, and the GUI-side device controller.
target_sources(ombrix_core PRIVATE
    src/device/devicecommands.cpp
    src/device/transfer.cpp
)

ombrix_unit_test(commands_unit_tests
    tests/unit/devicecommands_test.cpp
    tests/unit/transfer_test.cpp
)
