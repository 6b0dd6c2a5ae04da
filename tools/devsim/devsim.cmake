# ombrix-devsim: the simulated generator served on a pseudo terminal.
add_executable(ombrix-devsim
    tools/devsim/devsim.cpp
    tools/devsim/devsimoptions.cpp
    tools/devsim/ptyserver.cpp
)
target_include_directories(ombrix-devsim PRIVATE ${CMAKE_SOURCE_DIR}/tools/devsim)
target_link_libraries(ombrix-devsim PRIVATE ombrix_core)
