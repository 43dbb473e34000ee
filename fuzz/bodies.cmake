# The target bodies, shared by the libFuzzer programs (fuzz/CMakeLists.txt) and the
# native replay of the kept inputs (tests/fuzz_regress).
set(TUNYRA_FUZZ_BODY_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/fuzz_records.cpp
  ${CMAKE_CURRENT_LIST_DIR}/library_file_target.cpp
  ${CMAKE_CURRENT_LIST_DIR}/rebuild_target.cpp
  ${CMAKE_CURRENT_LIST_DIR}/build_candidates_target.cpp
  ${CMAKE_CURRENT_LIST_DIR}/fill_time_target.cpp
  ${CMAKE_CURRENT_LIST_DIR}/exact_fit_target.cpp
  ${CMAKE_CURRENT_LIST_DIR}/region_scan_target.cpp
  ${CMAKE_CURRENT_LIST_DIR}/mpd_argument_target.cpp
  ${CMAKE_CURRENT_LIST_DIR}/tag_text_target.cpp)
