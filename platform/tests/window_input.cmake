# The window, input and joystick tests drive SDL directly: they push events into its queue and attach virtual
# joysticks.
foreach(test IN ITEMS platform_test_input platform_test_window platform_test_joystick platform_test_window_x11)
  if(TARGET ${test})
    target_link_libraries(${test} PRIVATE PkgConfig::SDL2)
  endif()
endforeach()

# The X window test also talks to the X server, and runs once more inside a virtual X server of its own.
if(TARGET platform_test_window_x11)
  pkg_check_modules(X11 IMPORTED_TARGET x11)
  find_program(XVFB_RUN xvfb-run)
  if(X11_FOUND)
    target_link_libraries(platform_test_window_x11 PRIVATE PkgConfig::X11)
  endif()
  if(XVFB_RUN)
    add_test(NAME platform_window_under_xvfb
             COMMAND ${XVFB_RUN} -a -s "-screen 0 1280x1024x24" $<TARGET_FILE:platform_test_window_x11>)
    # No message bus: SDL would otherwise keep a bus connection the leak checker reports at exit.
    set_tests_properties(platform_window_under_xvfb PROPERTIES TIMEOUT 120 ENVIRONMENT
      "SDL_VIDEODRIVER=x11;DBUS_SYSTEM_BUS_ADDRESS=unix:path=/dev/null;DBUS_SESSION_BUS_ADDRESS=unix:path=/dev/null")
  endif()
endif()
