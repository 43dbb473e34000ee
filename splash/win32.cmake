# The splash window itself: Windows only.
add_library(tunyra_splash_win STATIC ${CMAKE_CURRENT_LIST_DIR}/splash_screen_ex.cpp)
target_include_directories(tunyra_splash_win PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(tunyra_splash_win PUBLIC tunyra_region tunyra_winui gdi32 user32)
