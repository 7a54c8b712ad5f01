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

# `make screenshots`: the windows rendered under a virtual display for review.
add_executable(screenshot_tool ScreenshotTool.cpp ${PROJECT_SOURCE_DIR}/src/app/ProgramWindowServices.cpp)
target_link_libraries(screenshot_tool PRIVATE su_appwindow su_scan su_scancontrol_ui su_scancontrol su_delivery Qt6::Test)
su_target_policy(screenshot_tool)
target_compile_options(screenshot_tool PRIVATE -Wno-null-dereference)
add_dependencies(screenshot_tool scanner-utility-help su_data)

# The real program's window scanning from the SANE test backend.
# The notification test runs a notification service of its own on the bus library.
find_package(PkgConfig REQUIRED)
pkg_check_modules(SU_TEST_DBUS REQUIRED IMPORTED_TARGET dbus-1)
su_test(app_program_tests SOURCES ProgramWindowTest.cpp ButtonSettingsTest.cpp NotificationTest.cpp
  ${PROJECT_SOURCE_DIR}/src/app/ProgramWindowServices.cpp ${PROJECT_SOURCE_DIR}/src/app/ProgramStartup.cpp
  DEPS su_appwindow su_scan su_scancontrol_ui su_scancontrol_fake su_scancontrol su_delivery Qt6::Test
  PkgConfig::SU_TEST_DBUS)
target_compile_options(app_program_tests PRIVATE -Wno-null-dereference)
add_dependencies(app_program_tests scanner-utility-help)

# The program's modal dialogs on a real X server with a window manager, driven by real
# key and mouse events (Xvfb, openbox, xdotool; screenshots in build/bin/x-screens).
su_test(app_x11_tests SOURCES DialogsOnXTest.cpp DEPS su_xsession su_settings)
add_dependencies(app_x11_tests scanner-utility sane-gate)

# The window for a user whose locale writes numbers with a decimal comma: a program of its
# own, since the application object must be made after the test has set LANG.
su_test(app_locale_tests SOURCES DecimalCommaWindowTest.cpp ${PROJECT_SOURCE_DIR}/src/app/ProgramWindowServices.cpp
  DEPS su_appwindow su_scan su_scancontrol_ui su_scancontrol su_delivery Qt6::Test)
target_compile_options(app_locale_tests PRIVATE -Wno-null-dereference)
add_dependencies(app_locale_tests scanner-utility-help)

# The Option dialog and the application-entry dialog on their own, driven on a real X
# server by app_x11_tests.
add_executable(subdialog_probe SubDialogProbe.cpp)
target_link_libraries(subdialog_probe PRIVATE su_ui)
su_target_policy(subdialog_probe)
target_compile_options(subdialog_probe PRIVATE -Wno-null-dereference)
target_sources(app_x11_tests PRIVATE SubDialogsOnXTest.cpp)
add_dependencies(app_x11_tests subdialog_probe)
