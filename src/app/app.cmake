# Program entry, main window, About box and splash window.
add_executable(ombrix src/app/main.cpp)
target_link_libraries(ombrix PRIVATE ombrix_gui)
target_sources(ombrix_gui PRIVATE src/app/placeholder_gui.cpp)
