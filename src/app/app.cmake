# Program entry, main window, About box and splash window.
target_sources(ombrix_gui PRIVATE
    src/app/aboutform.cpp
    src/app/artwork.cpp
    src/app/fieldevents.cpp
    src/app/generalpage.cpp
    src/app/guicalcsink.cpp
    src/app/guihandover.cpp
    src/app/ombrix.cpp
    src/app/ombrixfile.cpp
    src/app/ombrixplayback.cpp
    src/app/ombrixfields.cpp
    src/app/outputpage.cpp
    src/app/pulsepicture.cpp
    src/app/splashscreen.cpp
    src/app/tcss.cpp
    src/app/toolicons.cpp
    src/app/updown.cpp
)
add_executable(ombrix src/app/main.cpp)
target_link_libraries(ombrix PRIVATE ombrix_gui)
ombrix_gui_test(mainwindow_test tests/gui/gui_main.cpp tests/gui/mainwindow_test.cpp)
ombrix_gui_test(fieldrules_test tests/gui/gui_main.cpp tests/gui/fieldrules_test.cpp)
ombrix_gui_test(formsfile_test tests/gui/gui_main.cpp tests/gui/formsfile_test.cpp)
