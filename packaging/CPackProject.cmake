# Read by cpack for each generator: the .deb installs the program folder at
# /opt/quendra with the Debian component (the system files); the .tar.gz
# holds the folder itself. Each is one package of the components it names.
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
if(CPACK_GENERATOR STREQUAL "DEB")
  set(CPACK_DEB_COMPONENT_INSTALL ON)
  set(CPACK_COMPONENTS_ALL Runtime Debian)
  # Absolute destinations (/usr/...) land in the package, not on this machine.
  set(CPACK_SET_DESTDIR ON)
  set(CPACK_INSTALL_PREFIX ${CPACK_QUENDRA_DEB_PREFIX})
  set(CPACK_PACKAGING_INSTALL_PREFIX ${CPACK_QUENDRA_DEB_PREFIX})
else()
  set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
  # The archive unpacks into one folder, quendra-VERSION-Linux.
  set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY ON)
  set(CPACK_COMPONENTS_ALL Runtime)
endif()
