# The GNOME Shell extension the helper uses on GNOME, for every user; each
# enables it (gnome-extensions enable zorv-helper@pemu.name). Its behaviour has
# one source, service.js, wrapped in one of two loading styles: legacy (a
# script with imports.*, GNOME 43 and 44) or module (an ES module, GNOME 45 and
# later). The build generates both; the chosen one is in the build tree's data
# folder (where the tests find it) and is installed.
set(ZORV_GNOME_SHELL_EXTENSION auto CACHE STRING
  "GNOME Shell extension installed: auto (from gnome-shell --version), legacy (43, 44) or module (45 and later)")
set_property(CACHE ZORV_GNOME_SHELL_EXTENSION PROPERTY STRINGS auto legacy module)
set(zorv_extension_style ${ZORV_GNOME_SHELL_EXTENSION})
if(zorv_extension_style STREQUAL "auto")
  set(zorv_extension_style legacy)
  find_program(ZORV_GNOME_SHELL gnome-shell)
  if(ZORV_GNOME_SHELL)
    execute_process(COMMAND ${ZORV_GNOME_SHELL} --version
                    OUTPUT_VARIABLE zorv_shell_version ERROR_QUIET)
    if(zorv_shell_version MATCHES "GNOME Shell ([0-9]+)")
      if(CMAKE_MATCH_1 GREATER_EQUAL 45)
        set(zorv_extension_style module)
      endif()
    endif()
  endif()
elseif(NOT zorv_extension_style MATCHES "^(legacy|module)$")
  message(FATAL_ERROR "ZORV_GNOME_SHELL_EXTENSION must be auto, legacy or module")
endif()
message(STATUS "GNOME Shell extension: ${zorv_extension_style}")
set(zorv_extension_source ${CMAKE_CURRENT_LIST_DIR})
file(READ ${zorv_extension_source}/service.js ZORV_EXTENSION_SERVICE)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${zorv_extension_source}/service.js)
# build/src/linux/gnome-extension/{legacy,module}/: each a whole extension.
set(ZORV_GNOME_EXTENSION_DIR ${CMAKE_CURRENT_BINARY_DIR}/gnome-extension CACHE INTERNAL "")
set(zorv_versions_legacy 43 44)
set(zorv_versions_module 45 46 47 48 49)
set(zorv_extension_build ${ZORV_BUILD_DATA_DIR}/gnome-shell/extensions/zorv-helper@pemu.name)
foreach(style legacy module)
  list(JOIN zorv_versions_${style} "\", \"" ZORV_GNOME_SHELL_VERSIONS)
  set(ZORV_GNOME_SHELL_VERSIONS "\"${ZORV_GNOME_SHELL_VERSIONS}\"")
  set(out ${ZORV_GNOME_EXTENSION_DIR}/${style})
  configure_file(${zorv_extension_source}/${style}.js.in ${out}/extension.js @ONLY)
  configure_file(${zorv_extension_source}/metadata.json.in ${out}/metadata.json @ONLY)
  if(style STREQUAL zorv_extension_style)
    configure_file(${out}/extension.js ${zorv_extension_build}/extension.js COPYONLY)
    configure_file(${out}/metadata.json ${zorv_extension_build}/metadata.json COPYONLY)
  endif()
endforeach()
install(DIRECTORY ${zorv_extension_build}/
        DESTINATION ${CMAKE_INSTALL_DATADIR}/gnome-shell/extensions/zorv-helper@pemu.name)
