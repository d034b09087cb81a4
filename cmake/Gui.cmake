# The desktop program: one static library per module folder (each reporting
# its own module name to the internal-error check), all on top of the engine
# and Qt 6 Widgets; `sonavel_gui` bundles them, and the `sonavel` executable
# is a thin main over it.
find_package(Qt6 6.4 REQUIRED COMPONENTS Widgets DBus)

function(sonavel_gui_module name)
  file(GLOB _src CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/${name}/*.cpp ${PROJECT_SOURCE_DIR}/src/${name}/*.h)
  add_library(sonavel_${name} STATIC ${_src})
  set_target_properties(sonavel_${name} PROPERTIES AUTOMOC ON)
  # One compiler run per batch of files: the Qt headers are parsed once per
  # batch. Files whose file-local helpers share a name with a neighbour's
  # compile on their own (the lists below).
  set_target_properties(sonavel_${name} PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE 8)
  foreach(_alone IN LISTS _gui_alone_${name})
    set_source_files_properties(${PROJECT_SOURCE_DIR}/src/${name}/${_alone} PROPERTIES SKIP_UNITY_BUILD_INCLUSION ON)
  endforeach()
  target_include_directories(sonavel_${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_compile_definitions(sonavel_${name} PRIVATE TVK_MODULE="${name}")
  target_link_libraries(sonavel_${name} PUBLIC sonavel_engine Qt6::Widgets)
endfunction()

set(_gui_alone_dialog NodeDialog.cpp WarningBox.cpp)
set(_gui_alone_chart ChartInput.cpp)
set(_gui_alone_prgdlg GeneralPage.cpp PresetTimeline.cpp)
set(_gui_alone_mwnd MainWindow.cpp Synchronize.cpp)
foreach(m dlggen dialog reg chart prgdlg cnfwiz mwnd sessionbus)
  sonavel_gui_module(${m})
endforeach()
# The desktop's session bus: media controls and keeping the computer awake.
target_link_libraries(sonavel_sessionbus PUBLIC Qt6::DBus)
target_link_libraries(sonavel_dialog PUBLIC sonavel_dlggen sonavel_inet)
# The colour dialog keeps the custom colours in the settings.
target_link_libraries(sonavel_dialog PUBLIC sonavel_reg)
target_link_libraries(sonavel_chart PUBLIC sonavel_dialog)
# Copied curves go on the clipboard as JSON text too; the main window
# imports and exports JSON presets.
target_link_libraries(sonavel_chart PUBLIC sonavel_presetjson)
target_link_libraries(sonavel_mwnd PUBLIC sonavel_presetjson)
target_link_libraries(sonavel_prgdlg PUBLIC sonavel_chart sonavel_dialog sonavel_reg)
target_link_libraries(sonavel_cnfwiz PUBLIC sonavel_prgdlg sonavel_dialog sonavel_reg)
target_link_libraries(sonavel_mwnd PUBLIC sonavel_cnfwiz sonavel_prgdlg sonavel_dialog sonavel_reg sonavel_visual sonavel_synch
                      sonavel_sbg)
target_link_libraries(sonavel_mwnd PUBLIC sonavel_sessionbus)

# Icons and help pages, compiled into the main window's library.
file(GLOB _icons CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/mwnd/icons/*.svg)
file(GLOB _help CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/mwnd/help/*.html)
qt_add_resources(sonavel_mwnd "sonavel_resources" PREFIX "/" BASE ${PROJECT_SOURCE_DIR}/src/mwnd
                 FILES ${_icons} ${_help})

add_library(sonavel_gui INTERFACE)
target_link_libraries(sonavel_gui INTERFACE sonavel_mwnd sonavel_sessionbus sonavel_cnfwiz sonavel_prgdlg sonavel_chart sonavel_dialog sonavel_reg sonavel_dlggen)

add_executable(sonavel ${PROJECT_SOURCE_DIR}/src/sonavel/main.cpp)
target_compile_definitions(sonavel PRIVATE TVK_MODULE="main")
target_link_libraries(sonavel PRIVATE sonavel_gui sonavel_builtins_res)
# The background libraries and the program's own background, as the
# command-line tool has them.
cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR} CALL sonavel_embed_own_background sonavel)

# Installation: cmake/Install.cmake.
