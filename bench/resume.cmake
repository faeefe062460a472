add_executable(bench_resume ${CMAKE_CURRENT_LIST_DIR}/bench_resume.cpp)
target_link_libraries(bench_resume PRIVATE fulmaro_core)
add_dependencies(bench_resume fulmaro-batch)
target_compile_definitions(bench_resume PRIVATE TOOLS_DIR="${FULMARO_TOOLS_DIR}"
                           FULMARO_BATCH="$<TARGET_FILE:fulmaro-batch>")
