add_executable(bench_estimate ${CMAKE_CURRENT_LIST_DIR}/bench_estimate.cpp)
target_link_libraries(bench_estimate PRIVATE fulmaro_core)
target_compile_definitions(bench_estimate PRIVATE TOOLS_DIR="${FULMARO_TOOLS_DIR}")
