# Serial port layer, frame protocol with CRC, and the simulated generator.
target_sources(ombrix_core PRIVATE
    src/device/serialport.cpp
    src/device/termiosport.cpp
    src/device/clock.cpp
    src/device/portopen.cpp
    src/device/crc16.cpp
    src/device/frame.cpp
    src/device/encodings.cpp
    src/device/reply.cpp
    src/device/protocol.cpp
    src/device/simgenerator.cpp
    src/device/simport.cpp
    src/device/selectingport.cpp
    src/device/simstatejson.cpp
)

# The port list of the settings dialog comes from Qt's serial port information.
target_sources(ombrix_gui PRIVATE src/device/serialportlist.cpp)

ombrix_unit_test(link_unit_tests
    tests/unit/link_crc_test.cpp
    tests/unit/link_frame_test.cpp
    tests/unit/link_encodings_test.cpp
    tests/unit/link_waitreply_test.cpp
    tests/unit/link_termiosport_test.cpp
    tests/unit/link_simgenerator_test.cpp
)

# Round trips through a pseudo terminal against ombrix-devsim.
ombrix_unit_test(link_e2e_tests tests/e2e/link_devsim_test.cpp)
ombrix_test_runs_devsim(link_e2e_tests)

if(OMBRIX_BENCH)
    add_executable(bench_link bench/bench_link.cpp)
    target_link_libraries(bench_link PRIVATE ombrix_core benchmark::benchmark)
endif()
