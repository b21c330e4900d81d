# A 1 GiB split and merge through the dialogs against zelvo-cli, with the GUI thread's worst gap.
qt_add_executable(dialog_bench EXCLUDE_FROM_ALL ${CMAKE_CURRENT_LIST_DIR}/dialog_bench.cpp)
target_link_libraries(dialog_bench PRIVATE ui)
set_target_properties(dialog_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
zelvo_warnings(dialog_bench)
add_dependencies(dialog_bench zelvo-cli)
add_dependencies(benchmarks dialog_bench)

