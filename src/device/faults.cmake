# Device faults end to end through ombrix-devsim on a pseudo terminal, and a soak test of
# bursts of recalculation requests on one main window.
ombrix_gui_test(devicefaults_test tests/gui/gui_main.cpp tests/gui/devicefaults_test.cpp
                tests/gui/simprobe.cpp)
ombrix_test_runs_devsim(devicefaults_test)

ombrix_gui_test(soak_test tests/gui/gui_main.cpp tests/gui/soak_test.cpp)
