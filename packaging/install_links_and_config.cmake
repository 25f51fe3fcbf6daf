# Run by cmake --install (and cpack) with ZELTA_PACKAGING_DIR, ZELTA_PACKAGING_BUILD_DIR, ZELTA_PKGDIR,
# ZELTA_BIN_LINKS and ZELTA_VARIANTS set. Makes the links in bin/ and among the programs, the systemd unit
# and the desktop entry naming the installed paths, and the files of /etc (/etc itself for the prefix
# /usr, else PREFIX/etc). file(INSTALL) adds DESTDIR itself; the links are made under it here.
set(root "$ENV{DESTDIR}")
set(prefix "${CMAKE_INSTALL_PREFIX}")
if(prefix STREQUAL "/usr")
  set(SYSCONFDIR /etc)
else()
  set(SYSCONFDIR "${prefix}/etc")
endif()
set(BINDIR "${prefix}/bin")
set(DOCDIR "${prefix}/share/doc/zelta-logo")

function(zelta_link target link)
  message(STATUS "Installing: ${link} -> ${target}")
  get_filename_component(dir "${link}" DIRECTORY)
  file(MAKE_DIRECTORY "${dir}")
  file(REMOVE "${link}")
  file(CREATE_LINK "${target}" "${link}" SYMBOLIC)
  list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${link}")
  set(CMAKE_INSTALL_MANIFEST_FILES "${CMAKE_INSTALL_MANIFEST_FILES}" PARENT_SCOPE)
endfunction()

foreach(variant ${ZELTA_VARIANTS})
  zelta_link(Logo "${root}${prefix}/${ZELTA_PKGDIR}/${variant}")
endforeach()
foreach(program ${ZELTA_BIN_LINKS})
  zelta_link("../${ZELTA_PKGDIR}/${program}" "${root}${BINDIR}/${program}")
endforeach()

configure_file("${ZELTA_PACKAGING_DIR}/zelta-server.service.in" "${ZELTA_PACKAGING_BUILD_DIR}/zelta-server.service" @ONLY)
configure_file("${ZELTA_PACKAGING_DIR}/zelta-logo.desktop.in" "${ZELTA_PACKAGING_BUILD_DIR}/zelta-logo.desktop" @ONLY)
file(INSTALL "${ZELTA_PACKAGING_BUILD_DIR}/zelta-server.service" DESTINATION "${prefix}/lib/systemd/system")
file(INSTALL "${ZELTA_PACKAGING_BUILD_DIR}/zelta-logo.desktop" DESTINATION "${prefix}/share/applications")
file(INSTALL "${ZELTA_PACKAGING_DIR}/zelta-server.conf" "${ZELTA_PACKAGING_DIR}/registry"
     DESTINATION "${SYSCONFDIR}/zelta")
