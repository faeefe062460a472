add_executable(bench_batch ${CMAKE_CURRENT_LIST_DIR}/bench_batch.cpp)
target_link_libraries(bench_batch PRIVATE fulmaro_core)
target_compile_definitions(bench_batch PRIVATE TOOLS_DIR="${FULMARO_TOOLS_DIR}")
