add_executable(bench_responsiveness ${CMAKE_CURRENT_LIST_DIR}/bench_responsiveness.cpp)
target_link_libraries(bench_responsiveness PRIVATE fulmaro_ui)
target_compile_definitions(bench_responsiveness PRIVATE TOOLS_DIR="${FULMARO_TOOLS_DIR}")
