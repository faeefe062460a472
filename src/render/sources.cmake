list(APPEND FULMARO_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/rendersettings.h ${CMAKE_CURRENT_LIST_DIR}/rendersettings.cpp
  ${CMAKE_CURRENT_LIST_DIR}/commandbuilder.h ${CMAKE_CURRENT_LIST_DIR}/commandbuilder.cpp
  ${CMAKE_CURRENT_LIST_DIR}/settingsoptions.h ${CMAKE_CURRENT_LIST_DIR}/settingsoptions.cpp)
list(APPEND FULMARO_UI_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/settingspanel.h ${CMAKE_CURRENT_LIST_DIR}/settingspanel.cpp)
