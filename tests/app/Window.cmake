# Tests of the windowed program: the main window on the offscreen platform, the help
# targets, and the single-instance rules with real processes.
find_package(Qt6 REQUIRED COMPONENTS Test)
su_test(app_window_tests SOURCES HotkeyDlgTest.cpp HelpTargetTest.cpp DEPS su_appwindow Qt6::Test)
target_compile_options(app_window_tests PRIVATE -Wno-null-dereference)

add_executable(instance_probe InstanceProbe.cpp)
target_link_libraries(instance_probe PRIVATE su_appwindow)
su_target_policy(instance_probe)
su_test(app_instance_tests SOURCES SingleInstanceTest.cpp DEPS Qt6::Core)
add_dependencies(app_instance_tests instance_probe)
