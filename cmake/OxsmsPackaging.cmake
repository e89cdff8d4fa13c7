# Install rules of the two programs and, on Debian, the package "oxsms"
# (`cpack -G DEB` in the build folder; packaging/ holds its files):
#   /usr/lib/oxsms/oxsmsd, oxsms       the programs (their home rule unchanged)
#   /usr/lib/oxsms/firebird-env.sh     builds the embedded engine's root
#   /usr/bin/oxsmsd, oxsms             run them on /var/lib/oxsms as user oxsms
#   /etc/oxsms/config.ini              conffile, every key with its default
#   /etc/oxsms/firebird.conf           conffile, ServerMode = SuperClassic
#   /lib/systemd/system/oxsmsd.service
# The maintainer scripts create the user oxsms, the home folder /var/lib/oxsms
# (config.ini there links to /etc/oxsms) and the engine root under it.
include_guard(GLOBAL)

if(WIN32)
  install(TARGETS oxsmsd oxsms RUNTIME DESTINATION bin)
  return()
endif()

set(OXSMS_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)

# cpack and the install target take the programs as built instead of building
# the whole tree (tests, benchmarks) first: build oxsmsd and oxsms before.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

install(TARGETS oxsmsd oxsms RUNTIME DESTINATION lib/oxsms)
install(PROGRAMS ${PROJECT_SOURCE_DIR}/scripts/firebird-env.sh DESTINATION lib/oxsms)
foreach(program oxsms oxsmsd)
  install(PROGRAMS ${OXSMS_PACKAGING_DIR}/oxsms-command DESTINATION bin RENAME ${program})
endforeach()
# config.ini holds passwords: the package's postinst gives it to the group
# oxsms (dpkg-statoverride), never to everyone.
install(FILES ${OXSMS_PACKAGING_DIR}/config.ini DESTINATION /etc/oxsms
        PERMISSIONS OWNER_READ OWNER_WRITE)
install(FILES ${OXSMS_PACKAGING_DIR}/firebird.conf DESTINATION /etc/oxsms)
install(FILES ${OXSMS_PACKAGING_DIR}/oxsmsd.service DESTINATION /lib/systemd/system)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION share/doc/oxsms)

# The absolute destinations above go under the staging folder, never to /.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME oxsms)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "OXSMS maintainers <oxsms@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Odontix appointment reminders by SMS, WhatsApp and email")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Odontix appointment reminders by SMS, WhatsApp and email\n"
    "The unattended reminder service of the Odontix dental-practice suite\n"
    "(oxsmsd, a systemd service) and its administration command (oxsms). Once a\n"
    "day it reads the practice's agenda and patient databases (Firebird files\n"
    "opened embedded, or MySQL) and reminds patients of their appointments.")
string(REPLACE ";" "" CPACK_DEBIAN_PACKAGE_DESCRIPTION "${CPACK_DEBIAN_PACKAGE_DESCRIPTION}")
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries the programs link come from dpkg-shlibdeps; the embedded
# Firebird engine is a plugin loaded at run time, so its package is named.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "firebird3.0-server-core, adduser, init-system-helpers")
set(CPACK_STRIP_FILES ON)
configure_file(${OXSMS_PACKAGING_DIR}/debian/triggers.in
               ${CMAKE_CURRENT_BINARY_DIR}/packaging/triggers @ONLY)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${OXSMS_PACKAGING_DIR}/debian/conffiles
    ${OXSMS_PACKAGING_DIR}/debian/postinst
    ${OXSMS_PACKAGING_DIR}/debian/prerm
    ${OXSMS_PACKAGING_DIR}/debian/postrm
    ${CMAKE_CURRENT_BINARY_DIR}/packaging/triggers)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
