list(APPEND FULMARO_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/renderprogress.h ${CMAKE_CURRENT_LIST_DIR}/renderprogress.cpp
  ${CMAKE_CURRENT_LIST_DIR}/renderjobs.h ${CMAKE_CURRENT_LIST_DIR}/renderjobs.cpp
  ${CMAKE_CURRENT_LIST_DIR}/renderqueue.h ${CMAKE_CURRENT_LIST_DIR}/renderqueue.cpp)
list(APPEND FULMARO_UI_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/videorenderform.h ${CMAKE_CURRENT_LIST_DIR}/videorenderform.cpp
  ${CMAKE_CURRENT_LIST_DIR}/renderactions.h ${CMAKE_CURRENT_LIST_DIR}/renderactions.cpp)
