add_executable(bench_graph ${CMAKE_CURRENT_LIST_DIR}/bench_graph.cpp)
target_link_libraries(bench_graph PRIVATE Qt6::Core)
add_dependencies(bench_graph fulmaro-batch)
target_compile_definitions(bench_graph PRIVATE TOOLS_DIR="${FULMARO_TOOLS_DIR}"
                           FULMARO_BATCH="$<TARGET_FILE:fulmaro-batch>")
