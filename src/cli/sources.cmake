# The command-line front end: the core only, so it runs without a display.
add_executable(fulmaro-batch
  ${CMAKE_CURRENT_LIST_DIR}/main.cpp
  ${CMAKE_CURRENT_LIST_DIR}/batchoptions.h ${CMAKE_CURRENT_LIST_DIR}/batchoptions.cpp
  ${CMAKE_CURRENT_LIST_DIR}/listcommand.h ${CMAKE_CURRENT_LIST_DIR}/listcommand.cpp
  ${CMAKE_CURRENT_LIST_DIR}/rendercommand.h ${CMAKE_CURRENT_LIST_DIR}/rendercommand.cpp
  ${CMAKE_CURRENT_LIST_DIR}/fileprober.h ${CMAKE_CURRENT_LIST_DIR}/fileprober.cpp)
target_include_directories(fulmaro-batch PRIVATE ${CMAKE_CURRENT_LIST_DIR}/..)
target_link_libraries(fulmaro-batch PRIVATE fulmaro_core)
