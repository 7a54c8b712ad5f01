# The installed layout. Everything the program reads beside its executables stays together
# in one program folder, <prefix>/lib/scanner-utility/, exactly as build/bin holds it; the
# programs on PATH are links into it (the program resolves /proc/self/exe, so a link still
# finds its folder). Everything here belongs to the component "program", which is also
# what the Debian package holds.
#
# Included last by the top-level CMakeLists.txt, when every target exists.

set(SU_INSTALL_DIR lib/scanner-utility)
set(SU_COMPONENT program)
include(GNUInstallDirs)

option(SU_INSTALL_STRIP "Strip the installed programs of their debug information" ON)
if(SU_INSTALL_STRIP)
  # The debug information names the source and build folders; an installed program carries
  # none of it (Debian's own tools keep debug symbols in a separate package, if wanted).
  install(CODE "set(CMAKE_INSTALL_DO_STRIP TRUE)" COMPONENT ${SU_COMPONENT})
endif()

# ---- executables and the libraries loaded by name, into the program folder ----
# A program another part of the tree adds (a helper the window or the command line starts
# from the program folder) joins this list; targets not built are skipped.
set(SU_INSTALL_PROGRAMS scanner-utility scanner-utility-help
    scanner-utility-cli scanner-utility-cli-data scanner-utility-cli-encode scanner-utility-cli-scan)
# Libraries the program opens by file name from its own folder. A library another branch
# adds (the push-event store) joins this list.
set(SU_INSTALL_LOADED_LIBRARIES TIFFGenerator PushEventData TextRecognition)
foreach(target ${SU_INSTALL_PROGRAMS})
  if(TARGET ${target})
    install(TARGETS ${target} RUNTIME DESTINATION ${SU_INSTALL_DIR} COMPONENT ${SU_COMPONENT})
  endif()
endforeach()
foreach(target ${SU_INSTALL_LOADED_LIBRARIES})
  if(TARGET ${target})
    install(TARGETS ${target} LIBRARY DESTINATION ${SU_INSTALL_DIR} COMPONENT ${SU_COMPONENT}
            NAMELINK_SKIP)
  endif()
endforeach()

# ---- data files: the same files the build copies into build/bin ----
file(GLOB SU_INSTALL_DATA_FILES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/data/*.dat)
install(FILES ${SU_INSTALL_DATA_FILES} DESTINATION ${SU_INSTALL_DIR} COMPONENT ${SU_COMPONENT})
if(SU_BUILD_UI)
  get_property(SU_PIC_OUTPUTS GLOBAL PROPERTY SU_PIC_OUTPUTS)
  install(FILES ${SU_PIC_OUTPUTS} DESTINATION ${SU_INSTALL_DIR}/pics COMPONENT ${SU_COMPONENT})
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/data/help/ DESTINATION ${SU_INSTALL_DIR}/help
          COMPONENT ${SU_COMPONENT})
endif()
# The scanner-button daemon's action script and the actions to paste into its
# configuration: examples for the administrator, under the shared data folder.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/data/scanbd/ DESTINATION ${CMAKE_INSTALL_DATADIR}/scanner-utility/scanbd
        COMPONENT ${SU_COMPONENT} USE_SOURCE_PERMISSIONS)

# ---- the programs on PATH: relative links into the program folder ----
set(SU_PATH_PROGRAMS scanner-utility-cli)
if(SU_BUILD_UI)
  list(APPEND SU_PATH_PROGRAMS scanner-utility)
endif()
foreach(program ${SU_PATH_PROGRAMS})
  install(CODE "
    set(bin \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
    file(MAKE_DIRECTORY \"\${bin}\")
    file(RELATIVE_PATH target \"/prefix/${CMAKE_INSTALL_BINDIR}\" \"/prefix/${SU_INSTALL_DIR}/${program}\")
    message(STATUS \"Installing: \${bin}/${program} -> \${target}\")
    file(CREATE_LINK \"\${target}\" \"\${bin}/${program}\" SYMBOLIC)
    list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/${program}\")"
    COMPONENT ${SU_COMPONENT})
endforeach()

# ---- desktop integration: menu entry, icons, AppStream, manual pages ----
set(SU_PACKAGING_OUT ${CMAKE_BINARY_DIR}/packaging)
if(SU_BUILD_UI)
  install(FILES ${PROJECT_SOURCE_DIR}/data/scanner-utility.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT ${SU_COMPONENT})
  install(FILES ${PROJECT_SOURCE_DIR}/data/pics/icon.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps RENAME scanner-utility.svg
          COMPONENT ${SU_COMPONENT})
  set(SU_ICON_OUTPUTS)
  foreach(size 16 22 24 32 48 64 128 256)
    set(out ${SU_PACKAGING_OUT}/icons/${size}x${size}/scanner-utility.png)
    add_custom_command(OUTPUT ${out}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${SU_PACKAGING_OUT}/icons/${size}x${size}
      COMMAND ${SU_RSVG_CONVERT} -w ${size} -h ${size} -o ${out} ${PROJECT_SOURCE_DIR}/data/pics/icon.svg
      DEPENDS ${PROJECT_SOURCE_DIR}/data/pics/icon.svg VERBATIM)
    list(APPEND SU_ICON_OUTPUTS ${out})
    install(FILES ${out} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            COMPONENT ${SU_COMPONENT})
  endforeach()
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/org.example.ScannerUtility.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT ${SU_COMPONENT})
endif()

# Manual pages and the Debian changelog, compressed the way Debian ships them (-n: no
# name or time stamp, so the same source gives the same bytes).
find_program(SU_GZIP gzip REQUIRED)
set(SU_MAN_PAGES scanner-utility-cli.1)
if(SU_BUILD_UI)
  list(APPEND SU_MAN_PAGES scanner-utility.1)
endif()
set(SU_COMPRESSED_OUTPUTS)
foreach(page ${SU_MAN_PAGES})
  set(out ${SU_PACKAGING_OUT}/man/${page}.gz)
  add_custom_command(OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${SU_PACKAGING_OUT}/man
    COMMAND ${SU_GZIP} -9n -c ${PROJECT_SOURCE_DIR}/packaging/${page} > ${out}
    DEPENDS ${PROJECT_SOURCE_DIR}/packaging/${page})
  list(APPEND SU_COMPRESSED_OUTPUTS ${out})
  install(FILES ${out} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT ${SU_COMPONENT})
endforeach()
set(out ${SU_PACKAGING_OUT}/changelog.Debian.gz)
add_custom_command(OUTPUT ${out}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${SU_PACKAGING_OUT}
  COMMAND ${SU_GZIP} -9n -c ${PROJECT_SOURCE_DIR}/packaging/changelog > ${out}
  DEPENDS ${PROJECT_SOURCE_DIR}/packaging/changelog)
list(APPEND SU_COMPRESSED_OUTPUTS ${out})
install(FILES ${out} ${PROJECT_SOURCE_DIR}/packaging/copyright
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/scanner-utility COMPONENT ${SU_COMPONENT})
add_custom_target(su_packaging_files ALL DEPENDS ${SU_ICON_OUTPUTS} ${SU_COMPRESSED_OUTPUTS})

include(cmake/Package.cmake)
