# Wine tests of the control panel: its framework and widgets in-process, and tarwenApp.exe
# driven from outside (start-up, main window). win64 only.
if(TW_FLAVOUR STREQUAL "win64" AND TARGET tarwenApp)
  add_executable(panel_framework_test ${CMAKE_CURRENT_LIST_DIR}/panel_framework_test.cpp)
  tw_add_panel_resources(panel_framework_test)
  target_link_libraries(panel_framework_test PRIVATE tw_widgets tw_framework tw_wine_harness comctl32 gdi32 user32)
  target_link_options(panel_framework_test PRIVATE ${TW_WIN_LINK_FLAGS})
  tw_add_wine_test(NAME panel_framework COMMAND $<TARGET_FILE:panel_framework_test> framework TIMEOUT 120)

  add_executable(panel_driver ${CMAKE_CURRENT_LIST_DIR}/panel_driver.cpp)
  target_link_libraries(panel_driver PRIVATE tw_panel_session comctl32 gdi32 user32 shell32 ole32 advapi32)
  target_link_options(panel_driver PRIVATE ${TW_WIN_LINK_FLAGS})
  add_dependencies(panel_driver tarwenApp)

  foreach(scenario window second hidden adddate signrun installed favorites tray about)
    tw_add_wine_test(NAME panel_${scenario}
      COMMAND $<TARGET_FILE:panel_driver> ${scenario} $<TARGET_FILE:tarwenApp>
      TIMEOUT 180)
  endforeach()
endif()
