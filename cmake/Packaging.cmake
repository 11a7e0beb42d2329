# Installation rules and the Debian package (CPack DEB).
#
# Application id: org.zaqchat.ZAQCHAT
#   Used for the desktop entry, the icon names and the AppStream metainfo.
#   Reverse-DNS form accepted by `appstreamcli validate` (only a pedantic note
#   about the upper-case letters, which match the executable's name).
#
# Maintainer address: zaqchat@zaqchat.invalid -- the ".invalid" top-level
#   domain is reserved and can never be delivered to, so the address names no
#   real person or mailbox; lintian accepts it, unlike "@localhost".
#
# Build the package with scripts/check-package.sh, or by hand:
#   cmake --build build/release && cpack -G DEB --config build/release/CPackConfig.cmake

include_guard(GLOBAL)
include(GNUInstallDirs)

set(ZAQ_APP_ID "org.zaqchat.ZAQCHAT")
set(ZAQ_DEB_NAME "zaqchat")
set(ZAQ_MAINTAINER "ZAQ CHAT developers <zaqchat@zaqchat.invalid>")

if(NOT TARGET ZAQCHAT)
  message(FATAL_ERROR "Packaging.cmake: the ZAQCHAT target must be defined before this file is included")
endif()

# Directories created while installing get 0755 whatever the umask is, so the
# package does not carry group-writable directories.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE
  GROUP_READ GROUP_EXECUTE
  WORLD_READ WORLD_EXECUTE)

# BUNDLE: the target is a MACOSX_BUNDLE, which needs a destination of its own.
install(TARGETS ZAQCHAT
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  BUNDLE DESTINATION .)

if(NOT (UNIX AND NOT APPLE))
  return()
endif()

# Full RELRO for the shipped executable (lintian: hardening-no-bindnow).
if(CMAKE_SYSTEM_NAME STREQUAL "Linux" AND CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  target_link_options(ZAQCHAT PRIVATE "LINKER:-z,relro" "LINKER:-z,now")
endif()

# --- Freedesktop integration: desktop entry, icons, AppStream metainfo -------

set(_zaq_pkg_src "${PROJECT_SOURCE_DIR}/packaging")
set(_zaq_icon_src "${PROJECT_SOURCE_DIR}/src/resources/icon")
set(_zaq_gen "${PROJECT_BINARY_DIR}/packaging")

install(FILES "${_zaq_pkg_src}/${ZAQ_APP_ID}.desktop"
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications)
install(FILES "${_zaq_pkg_src}/${ZAQ_APP_ID}.metainfo.xml"
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/metainfo)
foreach(_size IN ITEMS 16 32 48 64 128 256)
  install(FILES "${_zaq_icon_src}/zaqchat-${_size}.png"
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/${_size}x${_size}/apps
    RENAME "${ZAQ_APP_ID}.png")
endforeach()

# --- Generated documents: copyright, changelog, manual page ------------------

# Debian machine-readable copyright file; the licence text is taken from
# LICENSE so the two cannot drift apart.
file(READ "${PROJECT_SOURCE_DIR}/LICENSE" _zaq_license)
string(REGEX REPLACE "^.*Copyright \\(c\\) [^\n]*\n+" "" _zaq_license "${_zaq_license}")
string(STRIP "${_zaq_license}" _zaq_license)
string(REPLACE "\n" "\n " _zaq_license " ${_zaq_license}")
string(REGEX REPLACE "\n [ \t]*\n" "\n .\n" _zaq_license "${_zaq_license}")
file(CONFIGURE OUTPUT "${_zaq_gen}/copyright" @ONLY CONTENT
"Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: ZAQ CHAT
Upstream-Contact: ${ZAQ_MAINTAINER}

Files: *
Copyright: 2026 ZAQ CHAT developers
License: MIT

License: MIT
${_zaq_license}
")

# The package is Debian-native (no revision), so its changelog is
# changelog.gz in Debian changelog format.
file(CONFIGURE OUTPUT "${_zaq_gen}/changelog" @ONLY CONTENT
"${ZAQ_DEB_NAME} (${PROJECT_VERSION}) unstable; urgency=medium

  * First release.

 -- ${ZAQ_MAINTAINER}  Mon, 07 Dec 2026 12:00:00 +0000
")

file(CONFIGURE OUTPUT "${_zaq_gen}/ZAQCHAT.1" @ONLY CONTENT
[=[.TH ZAQCHAT 1 "December 2026" "ZAQ CHAT @PROJECT_VERSION@" "User Commands"
.SH NAME
ZAQCHAT \- text chat between two people over TCP
.SH SYNOPSIS
.B ZAQCHAT
.RI [ "Qt options" ]
.SH DESCRIPTION
.B ZAQCHAT
is a small windowed program with which two people exchange plain text
messages over a direct TCP connection.
One copy listens on a port as the server; the other copy connects to it as
the client.
Every message travels as one line of text, so either end may just as well be
a plain
.BR nc (1)
session.
.SH OPTIONS
The standard Qt options are accepted, for example
.B \-platform
.IR name .
.SH SEE ALSO
.BR nc (1)
]=])

# gzip -n leaves the name and time stamp out of the header, so the result is
# reproducible (lintian: package-contains-timestamped-gzip).
find_program(ZAQ_GZIP gzip)
set(_zaq_docs "${_zaq_gen}/copyright")
set(_zaq_man "")
if(ZAQ_GZIP)
  foreach(_doc IN ITEMS changelog ZAQCHAT.1)
    execute_process(COMMAND "${ZAQ_GZIP}" -9nc
      INPUT_FILE "${_zaq_gen}/${_doc}"
      OUTPUT_FILE "${_zaq_gen}/${_doc}.gz"
      RESULT_VARIABLE _zaq_rc)
    if(NOT _zaq_rc EQUAL 0)
      message(FATAL_ERROR "gzip ${_doc} failed: ${_zaq_rc}")
    endif()
  endforeach()
  list(APPEND _zaq_docs "${_zaq_gen}/changelog.gz")
  set(_zaq_man "${_zaq_gen}/ZAQCHAT.1.gz")
else()
  message(WARNING "gzip not found: the package will lack its changelog and manual page")
endif()

# The doc directory is named after the package, not the project.
install(FILES ${_zaq_docs} DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${ZAQ_DEB_NAME})
if(_zaq_man)
  install(FILES "${_zaq_man}" DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

# --- CPack: Debian package ---------------------------------------------------

set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "${ZAQ_DEB_NAME}")
set(CPACK_PACKAGE_VENDOR "ZAQ CHAT developers")
set(CPACK_PACKAGE_CONTACT "${ZAQ_MAINTAINER}")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "text chat between two people over TCP")
set(CPACK_RESOURCE_FILE_LICENSE "${PROJECT_SOURCE_DIR}/LICENSE")
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_PACKAGE_NAME "${ZAQ_DEB_NAME}")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_DEBIAN_PACKAGE_SECTION "net")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${ZAQ_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"ZAQ CHAT lets two people talk in plain text over a direct TCP connection.
One copy of the program listens on a port as the server, the other copy
connects to it as the client. Every message travels as one line of text,
so the other end may also be a plain netcat session.")

# Libraries the executable links come from dpkg-shlibdeps (with proper
# version bounds); what it cannot see is listed by hand: the platform
# plugins (only a Recommends of libqt6gui6) and the fonts the program uses.
set(_zaq_extra_depends "qt6-qpa-plugins, fonts-liberation, fonts-comic-neue, fonts-dejavu-core, fonts-dejavu-extra")
find_program(ZAQ_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(ZAQ_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "${_zaq_extra_depends}")
else()
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS OFF)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libqt6widgets6, libqt6network6, libqt6gui6, libqt6core6, ${_zaq_extra_depends}")
endif()

include(CPack)
