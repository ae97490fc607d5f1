# `cmake --install` lays out the portable folder and the desktop integration:
#
#   <prefix>/lib/vexmor/          the portable folder, the shape the product
#     Vexmor, ToolDlls/*.so,      ships in; Vexmor.ini is written here, so for
#     libvexmor-platform.so.N,    one user install with --prefix ~/.local
#     helper programs, browser
#     module, home/, icons/,
#     keys/ (trusted *.pub)
#   <prefix>/bin/vexmor           a link to the program
#   <prefix>/share/applications/org.vexmor.Vexmor.desktop
#   <prefix>/share/metainfo/org.vexmor.Vexmor.metainfo.xml
#   <prefix>/share/icons/hicolor/scalable/apps/org.vexmor.Vexmor.svg
#
# -DVX_PER_USER_DATA=ON (system-wide installs, the Debian package) adds the
# marker file per-user-data to the portable folder: every user, root included,
# then keeps settings, data and plug-ins of their own in their XDG folders
# (platform/ProgramDir.h).
#
# The ARP helper needs cap_net_raw to send raw ARP as an ordinary user. The
# install gives it when run as root without DESTDIR; otherwise it prints the
# one command that does.

set(VX_INSTALL_APPDIR lib/vexmor CACHE STRING "Portable folder, relative to the install prefix")
set(VX_APP_ID org.vexmor.Vexmor)
set(VX_DIST_DIR ${PROJECT_SOURCE_DIR}/dist)

install(TARGETS Vexmor RUNTIME DESTINATION ${VX_INSTALL_APPDIR})
# The platform library beside the program, as in the build's bin/: the program
# finds it through RUNPATH $ORIGIN, the plug-ins through $ORIGIN/.. .
install(TARGETS vx_platform LIBRARY DESTINATION ${VX_INSTALL_APPDIR} NAMELINK_SKIP)
foreach(plugin VX_HostPatrol VX_ShareSetter)
  if(TARGET ${plugin})
    install(TARGETS ${plugin} LIBRARY DESTINATION ${VX_INSTALL_APPDIR}/ToolDlls)
  endif()
endforeach()
foreach(helper vx-arp vx-smblist)
  if(TARGET ${helper})
    install(TARGETS ${helper} RUNTIME DESTINATION ${VX_INSTALL_APPDIR})
  endif()
endforeach()
# Public keys trusted to sign updates: an administrator puts a publisher's
# .pub file here (a key given at build time is built into the program).
install(DIRECTORY DESTINATION ${VX_INSTALL_APPDIR}/keys)
if(TARGET vx_browser)
  install(TARGETS vx_browser LIBRARY DESTINATION ${VX_INSTALL_APPDIR})
endif()
if(EXISTS ${PROJECT_SOURCE_DIR}/host/res/home)
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/host/res/home DESTINATION ${VX_INSTALL_APPDIR})
endif()
install(FILES ${VX_DIST_DIR}/${VX_APP_ID}.svg ${PROJECT_SOURCE_DIR}/host/res/icons/vexmor.png
        DESTINATION ${VX_INSTALL_APPDIR}/icons)
option(VX_PER_USER_DATA "Install for every user: per-user settings, data and plug-ins" OFF)
if(VX_PER_USER_DATA)
  install(FILES ${VX_DIST_DIR}/per-user-data DESTINATION ${VX_INSTALL_APPDIR})
endif()

install(FILES ${VX_DIST_DIR}/${VX_APP_ID}.svg DESTINATION share/icons/hicolor/scalable/apps)
configure_file(${VX_DIST_DIR}/${VX_APP_ID}.metainfo.xml
               ${CMAKE_CURRENT_BINARY_DIR}/dist/${VX_APP_ID}.metainfo.xml @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/dist/${VX_APP_ID}.metainfo.xml DESTINATION share/metainfo)

# Paths known only at install time (--prefix, DESTDIR): the desktop entry's
# Exec line, the bin/ link and the helper's capability are made then.
install(CODE "set(VX_INSTALL_APPDIR \"${VX_INSTALL_APPDIR}\")
set(VX_APP_ID \"${VX_APP_ID}\")
set(VX_DESKTOP_IN \"${VX_DIST_DIR}/${VX_APP_ID}.desktop.in\")")
install(SCRIPT ${PROJECT_SOURCE_DIR}/cmake/InstallDesktop.cmake)
