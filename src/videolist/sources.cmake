list(APPEND FULMARO_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/videoitem.h
  ${CMAKE_CURRENT_LIST_DIR}/mediaprobe.h ${CMAKE_CURRENT_LIST_DIR}/mediaprobe.cpp
  ${CMAKE_CURRENT_LIST_DIR}/probebatch.h ${CMAKE_CURRENT_LIST_DIR}/probebatch.cpp
  ${CMAKE_CURRENT_LIST_DIR}/videolistmodel.h ${CMAKE_CURRENT_LIST_DIR}/videolistmodel.cpp)
list(APPEND FULMARO_UI_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/videolistcontroller.h ${CMAKE_CURRENT_LIST_DIR}/videolistcontroller.cpp)
