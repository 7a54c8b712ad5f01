# The windowed program on Qt: su_appwindow (application object, single instance, main
# window, help launcher), the `scanner-utility` executable and its help viewer, the
# button pictures rendered from their SVG sources, the help pages, and the desktop entry.
if(NOT SU_BUILD_UI)
  return()
endif()

find_package(Qt6 REQUIRED COMPONENTS Widgets Network)

su_library(su_appwindow
  SOURCES ButtonTips.cpp HelpTarget.cpp HelpLauncher.cpp SingleInstance.cpp HotkeyApp.cpp HotkeyDlg.cpp
          ButtonTips.h HelpTarget.h HelpLauncher.h SingleInstance.h HotkeyApp.h HotkeyDlg.h
          MainWindowServices.h
  DEPS su_ui su_app su_delivery su_pushscan Qt6::Widgets Qt6::Network)
set_target_properties(su_appwindow PROPERTIES AUTOMOC ON)
# Qt's inline guarded pointers trip GCC's flow-based null check inside Qt's headers.
target_compile_options(su_appwindow PRIVATE -Wno-null-dereference)

add_executable(scanner-utility main.cpp ProgramWindowServices.cpp ProgramWindowServices.h ProgramStartup.cpp
  ProgramStartup.h)
target_link_libraries(scanner-utility PRIVATE su_appwindow su_scan su_scancontrol_ui su_scancontrol su_delivery su_app)
su_target_policy(scanner-utility)
target_compile_options(scanner-utility PRIVATE -Wno-null-dereference)
add_dependencies(scanner-utility scanner-utility-help su_data PushEventData)

add_executable(scanner-utility-help HelpViewerMain.cpp)
target_link_libraries(scanner-utility-help PRIVATE su_appwindow Qt6::Widgets Qt6::Network)
su_target_policy(scanner-utility-help)
target_compile_options(scanner-utility-help PRIVATE -Wno-null-dereference)

# ---- button pictures and the program icon: SVG sources rendered by rsvg-convert ----
find_program(SU_RSVG_CONVERT rsvg-convert REQUIRED)
set(SU_PICS_SRC ${PROJECT_SOURCE_DIR}/data/pics)
set(SU_PICS_OUT ${SU_BIN_DIR}/pics)
set(SU_PICS_GEN ${CMAKE_CURRENT_BINARY_DIR}/pics)
set(SU_PIC_OUTPUTS)
# One picture in three states: u (normal), o (hover), d (pressed or disabled).
set(SU_STATE_u_TILE "#f5f7fa")
set(SU_STATE_u_EDGE "#c9d1db")
set(SU_STATE_u_SHIFT "0")
set(SU_STATE_u_SHADE "0.18")
set(SU_STATE_o_TILE "#e6f0fc")
set(SU_STATE_o_EDGE "#3b82d6")
set(SU_STATE_o_SHIFT "0")
set(SU_STATE_o_SHADE "0.28")
set(SU_STATE_d_TILE "#d5dde7")
set(SU_STATE_d_EDGE "#7d8da1")
set(SU_STATE_d_SHIFT "2")
set(SU_STATE_d_SHADE "0")
foreach(picture app1 app2 folder fax)
  foreach(state u o d)
    set(TILE ${SU_STATE_${state}_TILE})
    set(EDGE ${SU_STATE_${state}_EDGE})
    set(SHIFT ${SU_STATE_${state}_SHIFT})
    set(SHADE ${SU_STATE_${state}_SHADE})
    configure_file(${SU_PICS_SRC}/${picture}.svg.in ${SU_PICS_GEN}/${picture}_${state}.svg @ONLY)
    set(out ${SU_PICS_OUT}/${picture}_${state}.png)
    add_custom_command(OUTPUT ${out}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${SU_PICS_OUT}
      COMMAND ${SU_RSVG_CONVERT} -w 72 -h 72 -o ${out} ${SU_PICS_GEN}/${picture}_${state}.svg
      DEPENDS ${SU_PICS_SRC}/${picture}.svg.in VERBATIM)
    list(APPEND SU_PIC_OUTPUTS ${out})
  endforeach()
endforeach()
add_custom_command(OUTPUT ${SU_PICS_OUT}/icon.png
  COMMAND ${CMAKE_COMMAND} -E make_directory ${SU_PICS_OUT}
  COMMAND ${SU_RSVG_CONVERT} -w 128 -h 128 -o ${SU_PICS_OUT}/icon.png ${SU_PICS_SRC}/icon.svg
  DEPENDS ${SU_PICS_SRC}/icon.svg VERBATIM)
list(APPEND SU_PIC_OUTPUTS ${SU_PICS_OUT}/icon.png)

# ---- the help pages ----
file(GLOB SU_HELP_FILES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/data/help/*)
set(SU_HELP_OUTPUTS)
foreach(f ${SU_HELP_FILES})
  get_filename_component(n ${f} NAME)
  add_custom_command(OUTPUT ${SU_BIN_DIR}/help/${n}
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${f} ${SU_BIN_DIR}/help/${n}
    DEPENDS ${f} VERBATIM)
  list(APPEND SU_HELP_OUTPUTS ${SU_BIN_DIR}/help/${n})
endforeach()
add_custom_target(su_window_data ALL DEPENDS ${SU_PIC_OUTPUTS} ${SU_HELP_OUTPUTS})
add_dependencies(su_appwindow su_window_data)

# The pictures are installed with the rest of the program folder (cmake/Install.cmake).
set_property(GLOBAL PROPERTY SU_PIC_OUTPUTS ${SU_PIC_OUTPUTS})
