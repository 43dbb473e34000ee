# The Windows half of the plug-in: the list filling of the library snapshot, the
# module-wide state and the host link (a static library that test programs link
# directly), and gen_tunyra.dll itself.

target_sources(tunyra_library PRIVATE ${PROJECT_SOURCE_DIR}/library/library_snapshot_win.cpp)
target_link_libraries(tunyra_library PUBLIC user32)

add_library(tunyra_module STATIC
  ${CMAKE_CURRENT_SOURCE_DIR}/module.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/host_interface.cpp)
target_include_directories(tunyra_module PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(tunyra_module PUBLIC tunyra_host tunyra_library user32)

add_library(gen_tunyra SHARED
  ${CMAKE_CURRENT_SOURCE_DIR}/plugin_entry.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/plugin_app.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/gen_tunyra.def
  $<TARGET_OBJECTS:tunyra_resources>)
# Exactly gen_tunyra.dll: no "lib" prefix, no import library beside it.
set_target_properties(gen_tunyra PROPERTIES PREFIX "" OUTPUT_NAME gen_tunyra)
target_link_libraries(gen_tunyra PRIVATE
  tunyra_module tunyra_dialog tunyra_splash_win tunyra_picking tunyra_library tunyra_region tunyra_winui)
# The .def file names the one export; nothing else of the linked libraries may leak
# into the export table.
target_link_options(gen_tunyra PRIVATE -Wl,--exclude-all-symbols)
