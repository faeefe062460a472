add_executable(bench_probe ${CMAKE_CURRENT_LIST_DIR}/bench_probe.cpp)
target_link_libraries(bench_probe PRIVATE fulmaro_ui)
target_compile_definitions(bench_probe PRIVATE TOOLS_DIR="${FULMARO_TOOLS_DIR}")
