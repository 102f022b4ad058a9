# Where an install puts things, relative to its prefix. The link library is
# the program's private library (lib/vxorv): the program loads it by file
# name and vxbt finds it through a run path relative to itself, so an install
# works under any prefix, and no other package's libraries are shadowed.

# The documentation folder carries the package's name (Debian looks for the
# copyright file there), whatever an older build tree has cached.
set(CMAKE_INSTALL_DOCDIR "share/doc/vxorv")
include(GNUInstallDirs)

set(VXORV_INSTALL_PRIVATE_LIBDIR "${CMAKE_INSTALL_LIBDIR}/vxorv")
file(RELATIVE_PATH VXORV_PRIVATE_LIBDIR_FROM_BINDIR
    "${CMAKE_INSTALL_FULL_BINDIR}" "${CMAKE_INSTALL_PREFIX}/${VXORV_INSTALL_PRIVATE_LIBDIR}")
file(RELATIVE_PATH VXORV_DOCDIR_FROM_BINDIR
    "${CMAKE_INSTALL_FULL_BINDIR}" "${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DOCDIR}")
