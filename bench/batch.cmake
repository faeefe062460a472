add_executable(bench_batch ${CMAKE_CURRENT_LIST_DIR}/bench_batch.cpp)
target_link_libraries(bench_batch PRIVATE fulmaro_core)
add_dependencies(bench_batch fulmaro-batch)
target_compile_definitions(bench_batch PRIVATE TOOLS_DIR="${FULMARO_TOOLS_DIR}"
                           FULMARO_BATCH="$<TARGET_FILE:fulmaro-batch>")
