# What `cmake --install` puts under the prefix, and the Debian package made from it (cpack -G DEB):
#   lib/metronom/metronom, lib/metronom/Sounds/   the program with its Sounds folder beside it
#   bin/metronom                                   a relative link to it
#   share/applications, share/icons/hicolor, share/metainfo   desktop entry, icons, AppStream data
#   share/man/man1/metronom.1.gz                   the manual page (German)
#   share/doc/metronom/copyright, changelog.Debian.gz   the licence and history (Debian formats)
# The home page, the screenshot's address and the maintainer are placeholders until the project has
# a place on the net: set them when packaging (the AppStream validator checks the addresses only
# with the network, which the tests do not use).
set(METRONOM_APP_ID org.metronom.Metronom)
set(METRONOM_HOMEPAGE "https://metronom.example.org" CACHE STRING "The project's home page (AppStream data, copyright)")
set(METRONOM_SCREENSHOT_URL "${METRONOM_HOMEPAGE}/screenshot.png" CACHE STRING
    "Where docs/screenshot.png is published (AppStream data)")
set(METRONOM_LICENSE "GPL-3.0-or-later" CACHE STRING "The program's licence as an SPDX expression (AppStream data)")
if(METRONOM_LICENSE STREQUAL "LicenseRef-proprietary") # the placeholder of earlier builds, kept in their cache
  set(METRONOM_LICENSE "GPL-3.0-or-later" CACHE STRING "The program's licence as an SPDX expression (AppStream data)" FORCE)
endif()
set(METRONOM_MAINTAINER "Metronom <metronom@example.org>" CACHE STRING "Maintainer of the Debian package")
set(METRONOM_DEBIAN_REVISION 1 CACHE STRING "The Debian revision of the package (version ${PROJECT_VERSION}-N)")
set(METRONOM_PACKAGE_VERSION ${PROJECT_VERSION}-${METRONOM_DEBIAN_REVISION})

# The icons, painted from the window's artwork at build time.
find_package(Qt6 REQUIRED COMPONENTS Svg)
add_executable(icongen tools/icongen.cpp)
target_link_libraries(icongen PRIVATE metronom_ui Qt6::Gui Qt6::Svg)
set(METRONOM_ICON_SIZES 16 22 24 32 48 64 128 256 512)
set(icon_files ${CMAKE_BINARY_DIR}/icons/hicolor/scalable/apps/${METRONOM_APP_ID}.svg)
foreach(size ${METRONOM_ICON_SIZES})
  list(APPEND icon_files ${CMAKE_BINARY_DIR}/icons/hicolor/${size}x${size}/apps/${METRONOM_APP_ID}.png)
endforeach()
add_custom_command(OUTPUT ${icon_files}
  COMMAND icongen ${CMAKE_BINARY_DIR}/icons ${METRONOM_APP_ID}
  DEPENDS icongen
  COMMENT "Painting the program's icons")
add_custom_target(metronom_icons ALL DEPENDS ${icon_files})

configure_file(data/${METRONOM_APP_ID}.metainfo.xml.in ${CMAKE_BINARY_DIR}/data/${METRONOM_APP_ID}.metainfo.xml @ONLY)

# The manual page and the Debian changelog, compressed as Debian wants them (no name, no time stamp
# in the gzip header: the same bytes on every build); the copyright file as it is.
configure_file(man/metronom.1 ${CMAKE_BINARY_DIR}/data/metronom.1 @ONLY)
configure_file(data/debian/changelog ${CMAKE_BINARY_DIR}/data/changelog.Debian @ONLY)
configure_file(data/debian/copyright ${CMAKE_BINARY_DIR}/data/copyright @ONLY)
configure_file(docs/songs.md ${CMAKE_BINARY_DIR}/data/songs.md COPYONLY)
foreach(f metronom.1 changelog.Debian songs.md)
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/data/${f}.gz
    COMMAND gzip -9nc ${CMAKE_BINARY_DIR}/data/${f} > ${CMAKE_BINARY_DIR}/data/${f}.gz
    DEPENDS ${CMAKE_BINARY_DIR}/data/${f})
  list(APPEND metronom_docs ${CMAKE_BINARY_DIR}/data/${f}.gz)
endforeach()
add_custom_target(metronom_docs ALL DEPENDS ${metronom_docs})

# Everything the rules below take from the build folder (scripts/run.sh builds it, so that
# `cmake --install build` follows it without building the tests).
add_custom_target(metronom_installed_files)
add_dependencies(metronom_installed_files metronom metronom_icons metronom_docs)

install(TARGETS metronom RUNTIME DESTINATION lib/metronom)
install(DIRECTORY sounds/ DESTINATION lib/metronom/Sounds)
install(CODE "
  set(bin \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin\")
  file(MAKE_DIRECTORY \"\${bin}\")
  file(CREATE_LINK ../lib/metronom/metronom \"\${bin}/metronom\" SYMBOLIC)
  message(STATUS \"Installing: \${bin}/metronom -> ../lib/metronom/metronom\")")
install(FILES data/${METRONOM_APP_ID}.desktop DESTINATION share/applications)
install(FILES ${CMAKE_BINARY_DIR}/data/${METRONOM_APP_ID}.metainfo.xml DESTINATION share/metainfo)
install(DIRECTORY ${CMAKE_BINARY_DIR}/icons/hicolor DESTINATION share/icons)
install(FILES ${CMAKE_BINARY_DIR}/data/metronom.1.gz DESTINATION share/man/man1)
install(FILES ${CMAKE_BINARY_DIR}/data/copyright ${CMAKE_BINARY_DIR}/data/changelog.Debian.gz
  ${CMAKE_BINARY_DIR}/data/songs.md.gz DESTINATION share/doc/metronom)
install(FILES docs/examples/song.txt DESTINATION share/doc/metronom/examples)
install(FILES data/debian/lintian-overrides DESTINATION share/lintian/overrides RENAME metronom)

set(CPACK_PACKAGE_NAME metronom)
set(CPACK_PACKAGE_VENDOR "Metronom")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "pendulum metronome with accents, tap tempo and practice tools")
# The extended description below the synopsis (CPack indents its lines by one space; an empty line
# is written as ".").
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "A metronome drawn like a wooden one: the weight on the pendulum is dragged
up (slower) or down (faster), and the window shows the tempo in beats per
minute with its Italian tempo marking. The interface is in German.
.
 * tempo from 1 to 271 beats per minute: by the weight, step buttons,
   a slider or tapping
 * 1 to 8 beats per cycle with two rows of accents and their own sounds
 * presets, also counting aloud in three voices
 * practice tools: volume, subdivided beats (2 to 4 clicks a beat), a
   tempo trainer that steps the tempo towards a goal, gap training with
   silent cycles; settings remembered on request
 * Ableton Link: one tempo, bar and start/stop with other programs and
   devices on the local network
 * songs (tempo maps in klick's format) with a count-in, setlists, and
   export of a song's click track to a sound file
 * keyboard control throughout; screen reader names for every control
.
The beats are timed in the audio stream itself (PulseAudio, or SDL where
no PulseAudio server answers).")
set(CPACK_PACKAGE_CONTACT "${METRONOM_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${METRONOM_DEBIAN_REVISION})
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${METRONOM_HOMEPAGE}")
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
# The libraries' packages from dpkg-shlibdeps; the font is read at run time, the Wayland plugin is
# loaded only on Wayland.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation2")
# Qt's own texts (a text field's menu, the dialogs' buttons) in German, as the window is.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n, qt6-wayland")
include(CPack)
