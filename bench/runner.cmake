add_executable(bench_runner ${CMAKE_CURRENT_LIST_DIR}/bench_runner.cpp)
target_link_libraries(bench_runner PRIVATE fulmaro_core)
