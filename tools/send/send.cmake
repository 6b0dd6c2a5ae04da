# ombrix-send: the command-line sender, built from the core only (no Qt).
add_library(ombrix_send_lib STATIC
    tools/send/sendoptions.cpp
    tools/send/sendjob.cpp
)
target_include_directories(ombrix_send_lib PUBLIC ${CMAKE_SOURCE_DIR}/tools/send)
target_link_libraries(ombrix_send_lib PUBLIC ombrix_core)
add_executable(ombrix-send tools/send/main.cpp)
target_link_libraries(ombrix-send PRIVATE ombrix_send_lib)

ombrix_unit_test(send_test tests/unit/send_test.cpp)
if(TARGET send_test)
    target_link_libraries(send_test PRIVATE ombrix_send_lib)
endif()
# Against ombrix-devsim on a pseudo terminal: both programs run as they are installed.
ombrix_unit_test(send_e2e_test tests/e2e/send_devsim_test.cpp)
if(TARGET send_e2e_test)
    target_link_libraries(send_e2e_test PRIVATE ombrix_send_lib)
    target_compile_definitions(send_e2e_test PRIVATE OMBRIX_SEND="$<TARGET_FILE:ombrix-send>")
    add_dependencies(send_e2e_test ombrix-send)
endif()
ombrix_test_runs_devsim(send_e2e_test)
