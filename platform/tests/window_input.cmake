# The window, input and joystick tests drive SDL directly: they push events into its queue and attach virtual
# joysticks.
foreach(test IN ITEMS platform_test_input platform_test_window platform_test_joystick platform_test_window_x11)
  if(TARGET ${test})
    target_link_libraries(${test} PRIVATE PkgConfig::SDL2)
  endif()
endforeach()
