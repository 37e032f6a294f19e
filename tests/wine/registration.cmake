# Wine test of the registration helpers (win64 only): BootExecute, autostart, install state and stamps.
if(TW_FLAVOUR STREQUAL "win64" AND TARGET tw_panel_core)
  add_executable(registration_driver ${CMAKE_CURRENT_LIST_DIR}/registration_driver.cpp)
  target_link_libraries(registration_driver PRIVATE tw_panel_core tw_wine_harness)
  target_link_options(registration_driver PRIVATE ${TW_WIN_LINK_FLAGS})
  foreach(scenario bootexecute autorun installstate stamps)
    tw_add_wine_test(NAME registration_${scenario} COMMAND $<TARGET_FILE:registration_driver> ${scenario} TIMEOUT 180)
  endforeach()
endif()
