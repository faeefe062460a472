list(APPEND FULMARO_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/linesplitter.h ${CMAKE_CURRENT_LIST_DIR}/linesplitter.cpp
  ${CMAKE_CURRENT_LIST_DIR}/toolrun.h ${CMAKE_CURRENT_LIST_DIR}/toolrun.cpp
  ${CMAKE_CURRENT_LIST_DIR}/shellquote.h ${CMAKE_CURRENT_LIST_DIR}/shellquote.cpp
  ${CMAKE_CURRENT_LIST_DIR}/largepages.h ${CMAKE_CURRENT_LIST_DIR}/largepages.cpp)
