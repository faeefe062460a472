add_executable(bench_thumbnail ${CMAKE_CURRENT_LIST_DIR}/bench_thumbnail.cpp)
target_link_libraries(bench_thumbnail PRIVATE fulmaro_ui)
target_compile_definitions(bench_thumbnail PRIVATE TOOLS_DIR="${FULMARO_TOOLS_DIR}")
