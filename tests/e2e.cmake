# The program as a user runs it: on a private X display (Xvfb with openbox), watched
# through screenshots and driven with xdotool.
add_library(x_session STATIC x_session.cpp x_session.h)
target_link_libraries(x_session PUBLIC Qt6::Gui PRIVATE qorvelin_warnings)
target_include_directories(x_session PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
