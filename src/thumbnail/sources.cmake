list(APPEND FULMARO_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/thumbnailcommand.h ${CMAKE_CURRENT_LIST_DIR}/thumbnailcommand.cpp)
list(APPEND FULMARO_UI_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/thumbnailform.h ${CMAKE_CURRENT_LIST_DIR}/thumbnailform.cpp)
