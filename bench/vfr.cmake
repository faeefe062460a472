add_executable(bench_vfr ${CMAKE_CURRENT_LIST_DIR}/bench_vfr.cpp)
target_link_libraries(bench_vfr PRIVATE Qt6::Core)
add_dependencies(bench_vfr fulmaro-batch)
target_compile_definitions(bench_vfr PRIVATE TOOLS_DIR="${FULMARO_TOOLS_DIR}"
                           FULMARO_BATCH="$<TARGET_FILE:fulmaro-batch>")
