# The Debian package (cpack -G DEB, made by scripts/package): the install tree
# of a Release build under /usr, dependencies found by dpkg-shlibdeps.
set(CPACK_PACKAGE_NAME varnoth)
set(CPACK_PACKAGE_VENDOR "The Varnoth developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${VARNOTH_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "two-pane FTP client")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${VARNOTH_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${VARNOTH_HOMEPAGE}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt loads its platform plugin at run time: shlibdeps cannot see it.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
# The body of the description; CPack puts the summary above it and indents it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Varnoth transfers files between this computer and FTP servers: local files
on the left, saved sites or the server's directory on the right, the
dialogue with the server in a log pane below. It uploads, downloads and
resumes, compares and mirrors folders, and works through FTP proxies and
SOCKS servers.

varnoth-cli, its command-line companion, lists, transfers and mirrors on
the same engine.")

include(CPack)
