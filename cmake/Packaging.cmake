# Installation and the Debian package: the program and the command-line front end in /usr/bin,
# a desktop entry, the icon in the hicolor theme, AppStream metadata and manual pages.
# "cpack -G DEB" in the build folder (scripts/package) makes fulmaro_<version>_<arch>.deb.
if(WIN32 OR APPLE)
  return()
endif()

include(GNUInstallDirs)
set(_pkg ${PROJECT_SOURCE_DIR}/packaging)
set(_pkg_out ${CMAKE_BINARY_DIR}/packaging)
set(FULMARO_APP_ID org.fulmaro.Fulmaro)
# The date of this version, for the AppStream release entry.
set(FULMARO_RELEASE_DATE "2026-12-10")

install(TARGETS fulmaro fulmaro-batch RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${_pkg}/${FULMARO_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(DIRECTORY ${_pkg}/icons/hicolor DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)
configure_file(${_pkg}/${FULMARO_APP_ID}.metainfo.xml.in
               ${_pkg_out}/${FULMARO_APP_ID}.metainfo.xml @ONLY)
install(FILES ${_pkg_out}/${FULMARO_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# Manual pages, compressed as Debian installs them (-n: no name or time, so builds agree).
find_program(FULMARO_GZIP gzip)
set(_man_files)
foreach(_page fulmaro fulmaro-batch)
  configure_file(${_pkg}/man/${_page}.1 ${_pkg_out}/man/${_page}.1 @ONLY)
  if(FULMARO_GZIP)
    add_custom_command(OUTPUT ${_pkg_out}/man/${_page}.1.gz
                       COMMAND ${FULMARO_GZIP} -9nkf ${_pkg_out}/man/${_page}.1
                       DEPENDS ${_pkg_out}/man/${_page}.1 VERBATIM)
    list(APPEND _man_files ${_pkg_out}/man/${_page}.1.gz)
  else()
    list(APPEND _man_files ${_pkg_out}/man/${_page}.1)
  endif()
endforeach()
add_custom_target(fulmaro_man ALL DEPENDS ${_man_files})
install(FILES ${_man_files} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# Packing runs the install rules of the targets above; it need not build the tests first.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

# The tools come from Debian's ffmpeg package, of the series the tool check accepts: the
# version's epoch is the installed package's, so the bounds compare with its versions.
set(_ffmpeg_depends "ffmpeg")
if(FULMARO_SERIES MATCHES "^([0-9]+)\\.([0-9]+)$")
  math(EXPR _next_minor "${CMAKE_MATCH_2} + 1")
  set(_next "${CMAKE_MATCH_1}.${_next_minor}")
  execute_process(COMMAND dpkg-query -W -f=\${Version} ffmpeg
                  OUTPUT_VARIABLE _ffmpeg_version ERROR_QUIET RESULT_VARIABLE _rc)
  if(_rc EQUAL 0 AND _ffmpeg_version MATCHES "^([0-9]+:)?")
    set(_epoch "${CMAKE_MATCH_1}")
    set(_ffmpeg_depends
        "ffmpeg (>= ${_epoch}${FULMARO_SERIES}), ffmpeg (<< ${_epoch}${_next}~)")
  endif()
endif()

set(FULMARO_PACKAGE_MAINTAINER "Fulmaro geliştiricileri <fulmaro@example.org>" CACHE STRING
    "Maintainer field of the Debian package")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME fulmaro)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${FULMARO_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "batch video editor with a Turkish interface")
# The first line of the control file's description is the summary; CPack indents the rest.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Fulmaro renders a list of videos with one set of settings (size, bitrate,
trimming, cropping, zoom, speed, flips, colour effects, picture adjustments,
filter, frame and logo pictures), previews the result and grabs still
pictures. The FFmpeg tools do the encoding. fulmaro-batch renders the same
jobs without a window and prints their command lines for other machines.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The Qt libraries come from the linked files; the window needs the platform plugins too.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, qt6-translations-l10n, ${_ffmpeg_depends}")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-dejavu-core")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
