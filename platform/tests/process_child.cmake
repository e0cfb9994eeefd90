# The child program of the entry and crash tests: the platform's process entry around a kdMain that waits, prints
# the environment or crashes on request. The tests find it through PROCESS_CHILD_PATH.
add_executable(platform_process_child ${CMAKE_CURRENT_LIST_DIR}/process_child.cpp)
target_link_libraries(platform_process_child PRIVATE platform)
hh_target_warnings(platform_process_child)
# The crash report shows file:line only where there is debug information: the child carries it in every build
# type, so the crash tests check the same report after a Release build.
target_compile_options(platform_process_child PRIVATE -g)
foreach(test_target IN ITEMS platform_test_entry platform_test_crash platform_test_log)
  if(TARGET ${test_target})
    add_dependencies(${test_target} platform_process_child)
    target_compile_definitions(${test_target} PRIVATE
                               PROCESS_CHILD_PATH="$<TARGET_FILE:platform_process_child>")
  endif()
endforeach()
