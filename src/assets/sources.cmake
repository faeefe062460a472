list(APPEND FULMARO_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/assetfiles.h ${CMAKE_CURRENT_LIST_DIR}/assetfiles.cpp)
list(APPEND FULMARO_UI_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/imagepreviewform.h ${CMAKE_CURRENT_LIST_DIR}/imagepreviewform.cpp
  ${CMAKE_CURRENT_LIST_DIR}/assetlibrary.h ${CMAKE_CURRENT_LIST_DIR}/assetlibrary.cpp)
