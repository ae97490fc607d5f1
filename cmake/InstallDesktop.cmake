# Run by `cmake --install` (see Install.cmake), with VX_INSTALL_APPDIR,
# VX_APP_ID and VX_DESKTOP_IN set: writes what depends on where the program lands.
set(app "${CMAKE_INSTALL_PREFIX}/${VX_INSTALL_APPDIR}")
set(root "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")

# The Exec key takes a quoted path; inside quotes ", `, $ and \ are escaped.
string(REGEX REPLACE "([\"`$\\\\])" "\\\\\\1" exec "${app}/Vexmor")
set(VX_DESKTOP_EXEC "\"${exec}\"")
set(entry "${root}/share/applications/${VX_APP_ID}.desktop")
message(STATUS "Installing: ${entry}")
configure_file("${VX_DESKTOP_IN}" "${entry}" @ONLY)

file(MAKE_DIRECTORY "${root}/bin")
file(CREATE_LINK "../${VX_INSTALL_APPDIR}/Vexmor" "${root}/bin/vexmor" SYMBOLIC)

# Raw ARP for an ordinary user comes from this one capability on the helper.
set(arp "${root}/${VX_INSTALL_APPDIR}/vx-arp")
if(EXISTS "${arp}")
  set(grant "sudo setcap cap_net_raw+ep '${app}/vx-arp'")
  execute_process(COMMAND id -u OUTPUT_VARIABLE uid OUTPUT_STRIP_TRAILING_WHITESPACE)
  find_program(VX_SETCAP setcap PATHS /usr/sbin /sbin)
  if(uid STREQUAL "0" AND "$ENV{DESTDIR}" STREQUAL "" AND VX_SETCAP)
    execute_process(COMMAND "${VX_SETCAP}" cap_net_raw+ep "${arp}" RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
      message(WARNING "vx-arp did not get its capability; exact ARP needs: ${grant}")
    endif()
  else()
    message(STATUS "For exact ARP as an ordinary user, run once: ${grant}")
  endif()
endif()
