add_executable(bench_jobs ${CMAKE_CURRENT_LIST_DIR}/bench_jobs.cpp)
target_link_libraries(bench_jobs PRIVATE fulmaro_core)
add_dependencies(bench_jobs fulmaro-batch)
target_compile_definitions(bench_jobs PRIVATE TOOLS_DIR="${FULMARO_TOOLS_DIR}"
                           FULMARO_BATCH="$<TARGET_FILE:fulmaro-batch>")
