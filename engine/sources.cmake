# The boot-time engine's sources, listed once for every build that compiles
# them in: the engine itself, the snapshot tool on Windows, the fuzz targets.
# The hive checks and the key tree walk come from the snapshot library's sources; the index lines
# are a library of their own on the host.
set(TW_ENGINE_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/inifile.cpp
  ${CMAKE_CURRENT_LIST_DIR}/backupinfo.cpp
  ${CMAKE_CURRENT_LIST_DIR}/snapshot_section.cpp
  ${CMAKE_CURRENT_LIST_DIR}/native.cpp
  ${CMAKE_CURRENT_LIST_DIR}/hive_request.cpp
  ${CMAKE_CURRENT_LIST_DIR}/boot_restore.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../snapshot/hive_check.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../snapshot/hive_tree.cpp)
set(TW_ENGINE_SOURCES ${CMAKE_CURRENT_LIST_DIR}/profile_slot.cpp ${CMAKE_CURRENT_LIST_DIR}/index_line.cpp
  ${TW_ENGINE_CORE_SOURCES})
set(TW_ENGINE_INCLUDE_DIRS ${CMAKE_CURRENT_LIST_DIR} ${CMAKE_CURRENT_LIST_DIR}/layer ${CMAKE_CURRENT_LIST_DIR}/../snapshot)
set(TW_HOST_LAYER_SOURCES ${CMAKE_CURRENT_LIST_DIR}/layer/host_layer.cpp ${CMAKE_CURRENT_LIST_DIR}/layer/host_crash.cpp)
