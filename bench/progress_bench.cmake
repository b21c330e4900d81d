# A stream of SetPos calls, one per 64 KiB block, against a 300-pixel bar drawn offscreen.
qt_add_executable(progress_bench EXCLUDE_FROM_ALL ${CMAKE_CURRENT_LIST_DIR}/progress_bench.cpp)
target_link_libraries(progress_bench PRIVATE ui)
set_target_properties(progress_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
zelvo_warnings(progress_bench)
add_dependencies(benchmarks progress_bench)
