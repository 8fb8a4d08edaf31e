# What an installation holds, and the Debian packages made of it:
#   cmake --install build [--prefix DIR]
#   cmake --build build --target package   # build/flashloader*_<version>_<arch>.deb
# Two packages, each from an install component of its own:
#   flashloader-cli  (component cli)     the command line and the simulated
#                                        modem; needs no window toolkit, so
#                                        that a bench PC can take it alone
#   flashloader      (component wizard)  the Qt wizard, its menu entry,
#                                        icons, AppStream metainfo and the
#                                        sample settings file it seeds a
#                                        user's start directory with
# Their Depends come from the libraries the programs link (dpkg-shlibdeps).

# A sanitizer build is for the tests only: nothing of it is installed.
if(FL_SANITIZE)
  return()
endif()
include(GNUInstallDirs)

set(FL_PACKAGE_MAINTAINER "Modem Flash Loader developers <modemflashloader@users.noreply.github.com>"
    CACHE STRING "Maintainer field of the Debian packages")
set(FL_PACKAGE_HOMEPAGE "https://github.com/modemflashloader/flashloader"
    CACHE STRING "Homepage of the Debian packages and of the AppStream metainfo")
# The Debian revision of this release's packages: bumped when only the
# packaging changes.
set(FL_PACKAGE_RELEASE 1)
set(fl_package_version ${PROJECT_VERSION}-${FL_PACKAGE_RELEASE})
# The AppStream component id, in reverse-DNS form of the homepage's host.
set(FL_APPSTREAM_ID io.github.modemflashloader.flashloader)

# The date of this release in the changelog and the metainfo: that of the
# configuration, or SOURCE_DATE_EPOCH when set (reproducible builds).
string(TIMESTAMP fl_changelog_date "%a, %d %b %Y %H:%M:%S +0000" UTC)
string(TIMESTAMP FL_RELEASE_DATE "%Y-%m-%d" UTC)

# Directories that the installation makes are 0755 whatever the umask, so
# that a package never carries a group-writable folder.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(fl_components cli)
install(TARGETS flashloader-cli modemsim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT cli)
if(TARGET flashloader)
  list(APPEND fl_components wizard)
  install(TARGETS flashloader RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT wizard)
  install(FILES resources/flashloader.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications
          COMPONENT wizard)
  install(FILES resources/pictures/app-icon.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
          RENAME flashloader.svg COMPONENT wizard)
  # The wizard started from the menu copies this into the user's own start
  # directory; it finds it from its own place, <bin>/../share/flashloader.
  install(FILES resources/tarnix.ini DESTINATION ${CMAKE_INSTALL_DATADIR}/flashloader COMPONENT wizard)
  configure_file(resources/flashloader.metainfo.xml.in ${CMAKE_BINARY_DIR}/${FL_APPSTREAM_ID}.metainfo.xml @ONLY)
  install(FILES ${CMAKE_BINARY_DIR}/${FL_APPSTREAM_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo
          COMPONENT wizard)
endif()

# A stripped installation (cmake --install --strip, and the packages) also
# drops the compiler's version notes, which strip alone leaves.
foreach(program flashloader-cli modemsim flashloader)
  if(NOT TARGET ${program})
    continue()
  endif()
  if(program STREQUAL "flashloader")
    set(component wizard)
  else()
    set(component cli)
  endif()
  install(CODE "if(CMAKE_INSTALL_DO_STRIP)
  execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment --remove-section=.note
    \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/${program}\" COMMAND_ERROR_IS_FATAL ANY)
endif()" COMPONENT ${component})
endforeach()

# Made at build time from what the built programs print. Both tools are
# looked for, not required: a build that only runs the programs needs
# neither manual pages nor bitmap icons (run.sh installs neither tool), and
# the packages' check (scripts/check-packages.sh) compares their contents
# with the lists in tests/packages, so a package made without them fails it.
find_program(FL_HELP2MAN help2man DOC "Makes the manual pages from --help (scripts/install-deps.sh test installs it)")
find_program(FL_GZIP gzip)
find_program(FL_RSVG_CONVERT rsvg-convert
             DOC "Renders the menu's bitmap icons (scripts/install-deps.sh test installs it)")
set(fl_made)

# name:component:what the NAME line says
set(fl_man_pages
  "flashloader-cli:cli:find a supported modem on a serial port and flash its firmware"
  "modemsim:cli:simulated modem on a pseudo-terminal, for trying and testing the loader"
  "flashloader:wizard:wizard that finds a supported modem and flashes its firmware"
)
if(FL_HELP2MAN AND FL_GZIP)
  file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/man)
  foreach(row IN LISTS fl_man_pages)
    string(REPLACE ":" ";" row "${row}")
    list(GET row 0 program)
    list(GET row 1 component)
    list(GET row 2 what)
    if(NOT TARGET ${program})
      continue()
    endif()
    set(page ${CMAKE_BINARY_DIR}/man/${program}.1)
    # help2man runs one program without arguments of its own: this one
    # hands it the program's --help through cmake/help-for-man.sh.
    set(help ${CMAKE_BINARY_DIR}/man/${program}-help)
    file(GENERATE OUTPUT ${help}
         CONTENT "#!/bin/sh\nexec '${CMAKE_SOURCE_DIR}/cmake/help-for-man.sh' '$<TARGET_FILE:${program}>' \"$@\"\n"
         FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
    # Sections that no --help holds (exit status, files) come from
    # resources/man/PROGRAM.h2m where there is one.
    set(include)
    set(include_file)
    if(EXISTS ${CMAKE_SOURCE_DIR}/resources/man/${program}.h2m)
      set(include_file ${CMAKE_SOURCE_DIR}/resources/man/${program}.h2m)
      set(include --include=${include_file})
    endif()
    # The name and version are the project's, not asked of the program; -N:
    # there is no info manual to point to. gzip -n keeps the archive free
    # of the page's time, so that the same sources give the same package.
    add_custom_command(OUTPUT ${page}.gz
      COMMAND ${FL_HELP2MAN} --no-info --section=1 "--version-string=${program} ${PROJECT_VERSION}"
              --name=${what} ${include} --output=${page} ${help}
      COMMAND ${FL_GZIP} -9nf ${page}
      DEPENDS ${program} ${help} ${CMAKE_SOURCE_DIR}/cmake/help-for-man.sh ${include_file}
      COMMENT "Writing the manual page of ${program}"
      VERBATIM)
    list(APPEND fl_made ${page}.gz)
    install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT ${component})
  endforeach()
else()
  message(STATUS "help2man not found: no manual pages (scripts/install-deps.sh test installs it)")
endif()

# The menu's icon as bitmaps beside the drawing, for the sizes desktops ask
# for when they do not draw SVG.
if(TARGET flashloader AND FL_RSVG_CONVERT)
  set(icon ${CMAKE_SOURCE_DIR}/resources/pictures/app-icon.svg)
  foreach(size 16 24 32 48 64 128 256)
    set(png ${CMAKE_BINARY_DIR}/icons/${size}x${size}/flashloader.png)
    add_custom_command(OUTPUT ${png}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/icons/${size}x${size}
      COMMAND ${FL_RSVG_CONVERT} --width=${size} --height=${size} --output=${png} ${icon}
      DEPENDS ${icon}
      COMMENT "Rendering the ${size}x${size} menu icon"
      VERBATIM)
    list(APPEND fl_made ${png})
    install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps COMPONENT wizard)
  endforeach()
elseif(TARGET flashloader)
  message(STATUS "rsvg-convert not found: the menu icon only as SVG (scripts/install-deps.sh test installs it)")
endif()

# Each package's copyright (Debian's machine-readable format, the licence
# text of LICENSE; "Expat" is Debian's name for this MIT licence) and its
# changelog, under /usr/share/doc/<package>.
file(READ ${CMAKE_SOURCE_DIR}/LICENSE fl_license)
string(REGEX MATCH "Copyright \\(c\\) ([^\n]*)" fl_holder "${fl_license}")
set(fl_holder ${CMAKE_MATCH_1})
string(REGEX REPLACE "^[^\n]*\n\nCopyright[^\n]*\n\n" "" fl_license_text "${fl_license}")
string(STRIP "${fl_license_text}" fl_license_text)
string(REGEX REPLACE "\n\n" "\n.\n" fl_license_text "${fl_license_text}")
string(REGEX REPLACE "\n" "\n " fl_license_text "${fl_license_text}")
set(fl_copyright ${CMAKE_BINARY_DIR}/debian/copyright)
file(CONFIGURE OUTPUT ${fl_copyright} CONTENT
"Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: Modem Flash Loader
Source: ${FL_PACKAGE_HOMEPAGE}

Files: *
Copyright: ${fl_holder}
License: Expat
 ${fl_license_text}
")
set(fl_changelog ${CMAKE_BINARY_DIR}/debian/changelog.Debian)
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/debian/source/changelog.Debian CONTENT
"flashloader (${fl_package_version}) unstable; urgency=medium

  * Release ${PROJECT_VERSION}: the wizard, the command line and the
    simulated modem.

 -- ${FL_PACKAGE_MAINTAINER}  ${fl_changelog_date}
")
if(FL_GZIP)
  add_custom_command(OUTPUT ${fl_changelog}.gz
    COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_BINARY_DIR}/debian/source/changelog.Debian ${fl_changelog}
    COMMAND ${FL_GZIP} -9nf ${fl_changelog}
    DEPENDS ${CMAKE_BINARY_DIR}/debian/source/changelog.Debian
    VERBATIM)
  list(APPEND fl_made ${fl_changelog}.gz)
endif()
foreach(component IN LISTS fl_components)
  if(component STREQUAL "cli")
    set(package flashloader-cli)
  else()
    set(package flashloader)
  endif()
  install(FILES ${fl_copyright} DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package} COMPONENT ${component})
  if(FL_GZIP)
    install(FILES ${fl_changelog}.gz DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package}
            COMPONENT ${component})
  endif()
endforeach()
add_custom_target(fl-installed-files ALL DEPENDS ${fl_made})

# The packages. Only the two components are packaged: a file installed
# without one belongs to no package.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME flashloader)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL ${fl_components})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${FL_PACKAGE_RELEASE})
set(CPACK_DEBIAN_PACKAGE_SOURCE flashloader)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${FL_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${FL_PACKAGE_HOMEPAGE})
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)

set(CPACK_DEBIAN_CLI_PACKAGE_NAME flashloader-cli)
set(CPACK_DEBIAN_CLI_DESCRIPTION
"modem firmware loader for the command line and factory benches
Finds the serial ports that carry a supported modem, compares a firmware
image (Intel HEX) with what the modem reports, and rewrites the modem's
flash line by line, every line acknowledged by the modem. A bench mode
flashes many modems at once, each with its own result and a JSON report.

Also holds modemsim, a simulated modem on a pseudo-terminal, for trying
the loader without hardware.")

set(CPACK_DEBIAN_WIZARD_PACKAGE_NAME flashloader)
# The toolkit's X platform is a plugin, which no library links.
set(CPACK_DEBIAN_WIZARD_PACKAGE_DEPENDS "flashloader-cli (= ${fl_package_version}), qt6-qpa-plugins")
set(CPACK_DEBIAN_WIZARD_DESCRIPTION
"modem firmware loader wizard
A wizard that finds the serial ports carrying a supported modem, shows
what a firmware image (Intel HEX) says about itself beside what the modem
reports, and on the user's word rewrites the modem's flash line by line,
every line acknowledged by the modem.

Started from the desktop menu it works in a start directory of the user's
own, seeded with a sample settings file.")

include(CPack)
