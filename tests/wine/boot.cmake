# Wine tests of the boot integration (win64 only): tarwenApp.exe installs from the build's package
# (twsysh.exe and kest\), removes, restarts; the driver links the boot menu and removal helpers,
# and loads ShelfLib.dll to remove an installation the panel made.
if(TW_FLAVOUR STREQUAL "win64" AND TARGET tarwenApp)
  add_executable(boot_driver ${CMAKE_CURRENT_LIST_DIR}/boot_driver.cpp ${PROJECT_SOURCE_DIR}/tests/common/hive_builder.cpp)
  target_link_libraries(boot_driver PRIVATE tw_panel_core tw_panel_session comctl32 gdi32 user32 shell32)
  target_link_options(boot_driver PRIVATE ${TW_WIN_LINK_FLAGS})
  target_include_directories(boot_driver PRIVATE ${PROJECT_SOURCE_DIR}/uninstall)
  add_dependencies(boot_driver tarwenApp ShelfLib)
  if(TARGET tw_package)
    add_dependencies(boot_driver tw_package)
    foreach(scenario install bootmenu uninstall restart restore snapshots library library_package_process
                     library_panels library_errors)
      tw_add_wine_test(NAME boot_${scenario}
        COMMAND $<TARGET_FILE:boot_driver> ${scenario} $<TARGET_FILE:tarwenApp> $<TARGET_FILE_DIR:twsysh>
                $<TARGET_FILE:ShelfLib>
        TIMEOUT 300)
    endforeach()
  endif()
endif()
