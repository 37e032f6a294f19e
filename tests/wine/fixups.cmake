# Wine test of the post-restore fix-ups (win64 only): tarwenApp.exe with SignRun "111" starts the
# package's network tool and browser repair batch from the build's package (kest\).
if(TW_FLAVOUR STREQUAL "win64" AND TARGET tarwenApp AND TARGET tw_package)
  add_executable(fixups_driver ${CMAKE_CURRENT_LIST_DIR}/fixups_driver.cpp)
  target_link_libraries(fixups_driver PRIVATE tw_panel_session comctl32 gdi32 user32 shlwapi)
  target_link_options(fixups_driver PRIVATE ${TW_WIN_LINK_FLAGS})
  add_dependencies(fixups_driver tarwenApp tw_package)
  tw_add_wine_test(NAME panel_fixups
    COMMAND $<TARGET_FILE:fixups_driver> fixups $<TARGET_FILE:tarwenApp> ${TW_PACKAGE_DIR}/kest
    TIMEOUT 300)
endif()
