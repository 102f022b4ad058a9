# Runs at install time: writes the applications-menu entry and the XDG
# autostart entry with Exec= naming the program under the prefix installed to.
# Set before: VXORV_DESKTOP_TEMPLATES, VXORV_BINDIR, VXORV_DATADIR and
# VXORV_SYSCONFDIR (folders relative to the prefix, or absolute), and
# VXORV_DESKTOP_STAGING, a folder of the build tree for the written entries.

function(vxorv_under_prefix out folder)
    if(IS_ABSOLUTE "${folder}")
        set(${out} "${folder}" PARENT_SCOPE)
    else()
        set(${out} "${CMAKE_INSTALL_PREFIX}/${folder}" PARENT_SCOPE)
    endif()
endfunction()

vxorv_under_prefix(CMAKE_INSTALL_FULL_BINDIR "${VXORV_BINDIR}")
vxorv_under_prefix(datadir "${VXORV_DATADIR}")
# Desktops read autostart entries from /etc/xdg: a system install (prefix /usr)
# puts the entry there, as the file system hierarchy places /usr's configuration.
if(CMAKE_INSTALL_PREFIX STREQUAL "/usr" AND NOT IS_ABSOLUTE "${VXORV_SYSCONFDIR}")
    set(sysconfdir "/${VXORV_SYSCONFDIR}")
else()
    vxorv_under_prefix(sysconfdir "${VXORV_SYSCONFDIR}")
endif()

set(staging "${VXORV_DESKTOP_STAGING}")
configure_file("${VXORV_DESKTOP_TEMPLATES}/vxorv.desktop.in" "${staging}/applications/vxorv.desktop"
               @ONLY)
configure_file("${VXORV_DESKTOP_TEMPLATES}/vxorv-autostart.desktop.in"
               "${staging}/autostart/vxorv.desktop" @ONLY)
file(INSTALL "${staging}/applications/vxorv.desktop" DESTINATION "${datadir}/applications")
file(INSTALL "${staging}/autostart/vxorv.desktop" DESTINATION "${sysconfdir}/xdg/autostart")
